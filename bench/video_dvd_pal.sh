#!/bin/sh
# The video coder on the DVD PAL preset beside ffmpeg's mpeg2video at the
# same average bit rate and GOP (-g 12 -bf 2), one thread each: file size,
# luminance PSNR against the source, pictures per second, and the ratios.
# The coder runs twice: with the kernels this processor's mode selects and
# with the plain ones ("MMXMode" 0). ffmpeg's bit rate is corrected until its
# file is within 3 % of ours, so that the PSNR figures compare like with like.
#
#   bench/video_dvd_pal.sh [BUILD_FOLDER]   (default: build)
#
# The clip is made here: ten seconds at 720 x 576, 25 Hz, a pan over a
# detailed, grainy still (a fractal with noise). The machine may be shared:
# run it when the load is low (the script prints the load average).
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
    awk "$@" "BEGIN { print ($expression) }"
}
psnr_y() {
    ffmpeg -i "$1" -i "$work/pan.y4m" \
        -lavfi "[0:v]setpts=PTS-STARTPTS[a];[1:v]setpts=PTS-STARTPTS[b];[a][b]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p'
}

# The per-user profile of the encoder: empty (the detected mode), or one
# that forces the plain kernels.
mkdir -p "$work/detected/zarvo" "$work/plain/zarvo"
printf '[Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter]\nMMXMode=0\n' >"$work/plain/zarvo/win.ini"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

start=$(seconds)
XDG_CONFIG_HOME=$work/detected "$tool" --target dvd --video "$work/pan.y4m" --video-es "$work/ours.m2v"
ours_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
ours_size=$(stat -c %s "$work/ours.m2v")

start=$(seconds)
XDG_CONFIG_HOME=$work/plain "$tool" --target dvd --video "$work/pan.y4m" --video-es "$work/plain.m2v"
plain_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
cmp -s "$work/ours.m2v" "$work/plain.m2v" || echo "warning: the plain kernels wrote a different stream"

bitrate=$((ours_size * 8 / 10))
tries=0
while :; do
    start=$(seconds)
    ffmpeg -v error -y -i "$work/pan.y4m" -c:v mpeg2video -threads 1 -b:v "$bitrate" -g 12 -bf 2 \
        "$work/ffmpeg.m2v"
    ffmpeg_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
    ffmpeg_size=$(stat -c %s "$work/ffmpeg.m2v")
    tries=$((tries + 1))
    off=$(calc 'a / b - 1' -v a="$ffmpeg_size" -v b="$ours_size")
    if [ "$(calc 'd < 0.03 && d > -0.03' -v d="$off")" = 1 ] || [ $tries -ge 4 ]; then break; fi
    bitrate=$(calc 'int(r * b / a)' -v r="$bitrate" -v a="$ffmpeg_size" -v b="$ours_size")
done

ours_psnr=$(psnr_y "$work/ours.m2v")
ffmpeg_psnr=$(psnr_y "$work/ffmpeg.m2v")

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-28s %12s %10s %10s\n' "encoder" "bytes" "PSNR-Y dB" "pictures/s"
printf '%-28s %12d %10.2f %10.1f\n' "zarvo-mpegenc dvd" "$ours_size" "$ours_psnr" \
    "$(calc '250 / t' -v t="$ours_time")"
printf '%-28s %12s %10s %10.1f\n' "zarvo-mpegenc dvd, plain" "same" "same" \
    "$(calc '250 / t' -v t="$plain_time")"
printf '%-28s %12d %10.2f %10.1f\n' "ffmpeg mpeg2video" "$ffmpeg_size" "$ffmpeg_psnr" \
    "$(calc '250 / t' -v t="$ffmpeg_time")"
printf 'ratios ours/ffmpeg: size %.3f, speed %.3f, PSNR-Y difference %+.2f dB (ffmpeg asked for %d bit/s)\n' \
    "$(calc 'a / b' -v a="$ours_size" -v b="$ffmpeg_size")" \
    "$(calc 'a / b' -v a="$ffmpeg_time" -v b="$ours_time")" \
    "$(calc 'a - b' -v a="$ours_psnr" -v b="$ffmpeg_psnr")" "$bitrate"
printf 'SIMD kernels over plain kernels: speed %.2f\n' "$(calc 'a / b' -v a="$plain_time" -v b="$ours_time")"
