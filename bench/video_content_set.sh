#!/bin/sh
# The video coder over a set of kinds of picture, each at DVD (720 x 576,
# the DVD PAL preset) and VideoCD size (352 x 288, the VideoCD PAL preset),
# beside ffmpeg's encoder of the same syntax (mpeg2video for DVD, mpeg1video
# for VideoCD) with its default options and the same GOP (-g N -bf 2).
# ffmpeg's bit rate is corrected until its file is within 1 % of ours, so the
# figures compare like with like.
#
# Quality: per clip our size, luminance PSNR and SSIM against the source,
# ffmpeg's, and the differences. Speed: pictures per second with one thread
# (ours --threads 1, ffmpeg -threads 1; by CPU time and by wall clock) and
# with every core (--threads and -threads equal to the core count, wall
# clock), and the ratios, all measured in this one run. Memory: our peak resident size (DVD) with one
# thread and with every core.
#
#   bench/video_content_set.sh [--build DIR] [--seconds S] [--only KIND] [--no-speed]
#
# The clips are made here from ffmpeg's lavfi sources and the Earth
# photographs of Debian's xplanet-images. The machine may be shared: the
# script prints the load average; speed ratios are taken in the same go, so
# they hold better than the absolute figures.
set -eu

build=build
seconds=10
only=
speed=1
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        --no-speed) speed=0; shift ;;
        *) echo "usage: $0 [--build DIR] [--seconds S] [--only KIND] [--no-speed]" >&2; exit 2 ;;
    esac
done

tool=$build/bin/zarvo-mpegenc
photo=/usr/share/xplanet/images/earth.jpg
night=/usr/share/xplanet/images/night.jpg
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
cores=$(nproc)
pictures=$((seconds * 25))
work=$(mktemp -d /tmp/zarvo-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

for f in "$tool" "$photo" "$night" "$font"; do
    [ -e "$f" ] || { echo "missing: $f (build the tool, run scripts/install-deps)" >&2; exit 1; }
done

# awk does the arithmetic: calc 'a / b' a=1 b=2
calc() {
    expression=$1
    shift
    awk "$@" "BEGIN { print ($expression) }"
}

# The kinds of picture, as lavfi graphs of 720 x 576 pictures at 25 Hz.
clip_graph() {
    case $1 in
        photo) # a slow pan over a detailed photograph with film grain
            echo "movie=$photo,loop=loop=-1:size=1,setpts=N/25/TB,format=rgb24,crop=720:576:x='700+n':y='150+trunc(n/2)',format=yuv420p,noise=alls=12:allf=t" ;;
        fractal) # a pan over a detailed, grainy fractal
            echo "mandelbrot=s=1024x768:rate=25,trim=end_frame=1,noise=alls=20,gblur=sigma=0.7,loop=loop=-1:size=1,setpts=N/25/TB,crop=720:576:x='n*1':y='n*0.6',format=yuv420p" ;;
        rotation) # fast motion: a detailed pattern turning two radians a second
            echo "mandelbrot=s=1024x1024:rate=25,trim=end_frame=1,loop=loop=-1:size=1,setpts=N/25/TB,rotate=a='0.08*n':ow=720:oh=576,format=yuv420p" ;;
        cartoon) # smooth gradients and flat areas moving over them
            echo "gradients=s=720x576:rate=25:speed=0.02:n=3:seed=7[g];color=c=0xE04020:s=160x120:rate=25[r];color=c=0x30C040:s=90x200:rate=25[b];[g][r]overlay=x='80+3*n':y='300-n'[a];[a][b]overlay=x='600-2*n':y='100+n',format=yuv420p" ;;
        lowlight) # a dark, noisy scene panning slowly
            echo "movie=$photo,loop=loop=-1:size=1,setpts=N/25/TB,format=rgb24,crop=720:576:x='100+trunc(n/2)':y=250,eq=contrast=0.35:brightness=-0.3,format=yuv420p,noise=alls=24:allf=t" ;;
        text) # closing titles scrolling over a still
            echo "movie=$night,loop=loop=-1:size=1,setpts=N/25/TB,format=rgb24,crop=720:576:x=900:y=200,drawtext=fontfile=$font:textfile=$work/titles.txt:fontsize=26:fontcolor=white:line_spacing=12:x=(w-text_w)/2:y='h-2*n',format=yuv420p" ;;
    esac
}
kinds="photo fractal rotation cartoon lowlight text"
[ -n "$only" ] && kinds=$only

i=1
while [ $i -le 80 ]; do
    echo "Line $i of the closing titles - camera $((i * 37 % 101))"
    i=$((i + 1))
done >"$work/titles.txt"

# measure FILE REFERENCE: "PSNR-Y SSIM-Y" of FILE against REFERENCE. The
# stream is decoded into pictures first and the two are compared picture by
# picture: ffmpeg's decoder gives an MPEG-1 elementary stream's pictures no
# time stamps, and the comparing filters, which pair pictures by their time
# stamps, then pair them wrongly (a VideoCD stream of a turning picture read
# 21 dB where its pictures are at 36 dB).
measure() {
    ffmpeg -nostdin -v error -y -i "$1" -vsync passthrough -f yuv4mpegpipe "$work/decoded.y4m"
    ffmpeg -nostdin -i "$work/decoded.y4m" -i "$2" -filter_complex \
        "[0:v]split[a1][a2];[1:v]split[b1][b2];[a1][b1]psnr;[a2][b2]ssim" \
        -f null - 2>&1 | awk '/PSNR y:/ { sub(/.*PSNR y:/, ""); p = $1 } /SSIM Y:/ { sub(/.*SSIM Y:/, ""); s = $1 } END { print p, s }'
    rm -f "$work/decoded.y4m"
}

# timed OUTPUT_FILE COMMAND...: runs COMMAND, writes "wall-seconds
# peak-KiB cpu-seconds".
timed() {
    out=$1
    shift
    /usr/bin/time -f '%e %M %U %S' -o "$out" "$@"
    awk '{ print $1, $2, $3 + $4 }' "$out" >"$out.sum" && mv "$out.sum" "$out"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $cores cores, $pictures pictures a clip"
quality="$work/quality.txt"
speeds="$work/speed.txt"
: >"$quality"
: >"$speeds"
for kind in $kinds; do
    ffmpeg -v error -y -f lavfi -i "$(clip_graph "$kind")" -frames:v "$pictures" \
        -f yuv4mpegpipe "$work/$kind-dvd.y4m"
    ffmpeg -v error -y -i "$work/$kind-dvd.y4m" -vf scale=352:288:flags=lanczos \
        -f yuv4mpegpipe "$work/$kind-vcd.y4m"
    for size in dvd vcd; do
        clip=$work/$kind-$size.y4m
        if [ $size = dvd ]; then codec=mpeg2video gop=12 ext=m2v; else codec=mpeg1video gop=15 ext=m1v; fi
        ours=$work/ours.$ext
        theirs=$work/ffmpeg.$ext
        timed "$work/t-ours1" "$tool" --target $size --video "$clip" --video-es "$ours" --threads 1 >/dev/null
        ours_size=$(stat -c %s "$ours")
        bitrate=$((ours_size * 8 / seconds))
        tries=0
        while :; do
            timed "$work/t-theirs1" ffmpeg -v error -y -i "$clip" -c:v $codec -threads 1 \
                -b:v "$bitrate" -g $gop -bf 2 "$theirs"
            theirs_size=$(stat -c %s "$theirs")
            tries=$((tries + 1))
            off=$(calc 'a / b - 1' -v a="$theirs_size" -v b="$ours_size")
            if [ "$(calc 'd < 0.01 && d > -0.01' -v d="$off")" = 1 ] || [ $tries -ge 8 ]; then break; fi
            bitrate=$(calc 'int(r * (1 - 0.8 * d))' -v r="$bitrate" -v d="$off")
        done
        set -- $(measure "$ours" "$clip") $(measure "$theirs" "$clip")
        echo "$kind $size $ours_size $1 $2 $theirs_size $3 $4" >>"$quality"
        if [ $speed = 1 ]; then
            timed "$work/t-oursN" "$tool" --target $size --video "$clip" --video-es "$ours" --threads "$cores" >/dev/null
            timed "$work/t-theirsN" ffmpeg -v error -y -i "$clip" -c:v $codec -threads "$cores" \
                -b:v "$bitrate" -g $gop -bf 2 "$theirs"
            echo "$kind $size $(cat "$work/t-ours1") $(cat "$work/t-theirs1") $(cat "$work/t-oursN") $(cat "$work/t-theirsN")" >>"$speeds"
        fi
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "Quality at equal size (ffmpeg within 1 % of our bytes)"
awk '{
    off = 100 * ($6 / $3 - 1)
    matched = off < 1 && off > -1
    printf "%-9s %-4s %10d %7.2f %7.4f | %10d %7.2f %7.4f | %+6.2f dB %+7.4f  size %+6.2f %%%s\n",
        $1, $2, $3, $4, $5, $6, $7, $8, $4 - $7, $5 - $8, off, matched ? "" : "  (ffmpeg cannot reach our size)"
    if (!matched) next
    dp += $4 - $7; n++
    if (n == 1 || $4 - $7 < worst) worst = $4 - $7
    if (n == 1 || $5 - $8 < worstSsim) worstSsim = $5 - $8
} END { if (n) printf "over the %d clips of equal size: mean PSNR-Y difference %+.2f dB; worst clip %+.2f dB, worst SSIM-Y difference %+.4f\n", n, dp / n, worst, worstSsim }' \
    "$quality" | sed '1i clip      size      ours bytes  PSNR-Y  SSIM-Y |     ffmpeg  PSNR-Y  SSIM-Y | ours - ffmpeg'

[ $speed = 1 ] || exit 0
echo
echo "Speed, pictures per second, ours / ffmpeg: one thread by CPU time (steady on a shared"
echo "machine) and wall clock; every core by wall clock. Peak resident KiB of ours."
awk -v n="$pictures" -v cores="$cores" '{
    # ours 1: $3 wall $4 KiB $5 cpu; ffmpeg 1: $6 $7 $8; ours N: $9 $10 $11; ffmpeg N: $12 $13 $14
    c1 = (n / $5) / (n / $8); w1 = (n / $3) / (n / $6); wN = (n / $9) / (n / $12)
    printf "%-9s %-4s 1 thread cpu %6.1f / %6.1f = %5.2f  wall %5.2f   %d threads %6.1f / %6.1f = %5.2f   memory %6d / %6d\n",
        $1, $2, n / $5, n / $8, c1, w1, cores, n / $9, n / $12, wN, $4, $10
    if (NR == 1 || c1 < worst1) worst1 = c1
    if (NR == 1 || wN < worstN) worstN = wN
    if ($2 == "dvd" && ($4 > mem || $10 > mem)) mem = ($4 > $10 ? $4 : $10)
} END { printf "worst clip: 1 thread %.2f (cpu), %d threads %.2f (wall); peak resident of a DVD encode %d KiB\n", worst1, cores, worstN, mem }' "$speeds"
