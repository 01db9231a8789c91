#!/bin/sh
# The video coder on the DVD PAL preset beside ffmpeg's mpeg2video at the
# same average bit rate and GOP (-g 12 -bf 2), one thread each: file size,
# luminance PSNR against the source, pictures per second, and the ratios.
#
#   bench/video_dvd_pal.sh [BUILD_FOLDER]   (default: build)
#
# The clip is made here: ten seconds at 720 x 576, 25 Hz, a pan over a
# detailed, grainy still (a fractal with noise).
set -eu

build=${1:-build}
tool=$build/bin/zarvo-mpegenc
work=$(mktemp -d /tmp/zarvo-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -y -f lavfi -i "mandelbrot=s=1024x768:rate=25,trim=end_frame=1,noise=alls=20,gblur=sigma=0.7,loop=loop=-1:size=1,setpts=N/25/TB,crop=720:576:x='n*1':y='n*0.6',format=yuv420p" \
    -frames:v 250 -f yuv4mpegpipe "$work/pan.y4m"

seconds() { date +%s.%N; }
# awk does the arithmetic: calc 'a / b' a=1 b=2
calc() {
    expression=$1
    shift
    awk "$@" "BEGIN { print $expression }"
}
psnr_y() {
    ffmpeg -i "$1" -i "$work/pan.y4m" \
        -lavfi "[0:v]setpts=PTS-STARTPTS[a];[1:v]setpts=PTS-STARTPTS[b];[a][b]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p'
}

start=$(seconds)
"$tool" --target dvd --video "$work/pan.y4m" --video-es "$work/ours.m2v"
ours_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
ours_size=$(stat -c %s "$work/ours.m2v")
bitrate=$((ours_size * 8 / 10))

start=$(seconds)
ffmpeg -v error -y -i "$work/pan.y4m" -c:v mpeg2video -threads 1 -b:v "$bitrate" -g 12 -bf 2 \
    "$work/ffmpeg.m2v"
ffmpeg_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
ffmpeg_size=$(stat -c %s "$work/ffmpeg.m2v")

ours_psnr=$(psnr_y "$work/ours.m2v")
ffmpeg_psnr=$(psnr_y "$work/ffmpeg.m2v")

printf '%-22s %12s %10s %10s\n' "encoder" "bytes" "PSNR-Y dB" "pictures/s"
printf '%-22s %12d %10.2f %10.1f\n' "zarvo-mpegenc dvd" "$ours_size" "$ours_psnr" \
    "$(calc '250 / t' -v t="$ours_time")"
printf '%-22s %12d %10.2f %10.1f\n' "ffmpeg mpeg2video" "$ffmpeg_size" "$ffmpeg_psnr" \
    "$(calc '250 / t' -v t="$ffmpeg_time")"
printf 'ratios ours/ffmpeg: size %.3f, speed %.3f, PSNR-Y difference %+.2f dB (ffmpeg asked for %d bit/s)\n' \
    "$(calc 'a / b' -v a="$ours_size" -v b="$ffmpeg_size")" \
    "$(calc 'a / b' -v a="$ffmpeg_time" -v b="$ours_time")" \
    "$(calc 'a - b' -v a="$ours_psnr" -v b="$ffmpeg_psnr")" "$bitrate"
