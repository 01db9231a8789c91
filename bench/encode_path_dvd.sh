#!/bin/sh
# The library's whole encode path beside its video step alone, on the same
# pictures: an MP4 (H.264 and AAC, 720 x 576, 25 Hz) read by the media
# layer's readers (decoding, colour conversion, sound resampled to 48 kHz,
# audio coding, multiplex) into a DVD program stream, against the video
# coder over the same pictures as raw YUV into a DVD video stream. The
# difference is what reading, conversion, audio and multiplex cost.
#
#   bench/encode_path_dvd.sh [BUILD_FOLDER] [SECONDS]   (defaults: build, 30)
#
# The machine may be shared: run it when the load is low (the script prints
# the load average). Both runs use every core the video coder takes.
set -eu

build=${1:-build}
length=${2:-30}
tool=$build/bin/zarvo-mpegenc
work=$(mktemp -d /tmp/zarvo-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=720x576:rate=25,noise=alls=12:allf=t" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100" -ac 2 -t "$length" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$work/source.mp4"
# The video step's input: the same pictures, decoded once beforehand.
ffmpeg -nostdin -v error -y -i "$work/source.mp4" -an -f yuv4mpegpipe "$work/source.y4m"

calc() {
    expression=$1
    shift
    awk "$@" "BEGIN { print ($expression) }"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Wall seconds, then the processor seconds of every thread (user + system):
# on a busy machine the second figure shows the work itself.
timed() {
    /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null
    read -r wall user system <"$work/time"
    echo "$wall $(calc 'u + s' -v u="$user" -v s="$system")"
}

set -- $(timed "$tool" --target dvd --video "$work/source.y4m" --video-es "$work/video.m2v")
video_time=$1
video_cpu=$2
set -- $(timed "$tool" --target dvd --input "$work/source.mp4" -o "$work/path.mpg")
path_time=$1
path_cpu=$2
set -- $(timed ffmpeg -nostdin -v error -threads 0 -i "$work/source.mp4" -f null -)
decode_time=$1
decode_cpu=$2

ffmpeg -nostdin -v error -i "$work/path.mpg" -f null - && echo "program stream decodes cleanly"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
pictures=$((length * 25))
printf '%-44s %9s %11s %11s\n' "run ($pictures pictures, 720 x 576)" "seconds" "pictures/s" \
    "cpu seconds"
printf '%-44s %9.2f %11.1f %11.2f\n' "video step alone (.y4m -> .m2v)" "$video_time" \
    "$(calc 'p / t' -v p="$pictures" -v t="$video_time")" "$video_cpu"
printf '%-44s %9.2f %11.1f %11.2f\n' "whole path (.mp4 -> DVD program stream)" "$path_time" \
    "$(calc 'p / t' -v p="$pictures" -v t="$path_time")" "$path_cpu"
printf '%-44s %9.2f %11.1f %11.2f\n' "decoding the input alone (ffmpeg -f null)" \
    "$decode_time" "$(calc 'p / t' -v p="$pictures" -v t="$decode_time")" "$decode_cpu"
printf 'whole path / video step: %.3f (goal: at most 1.25); in cpu seconds: %.3f\n' \
    "$(calc 'a / b' -v a="$path_time" -v b="$video_time")" \
    "$(calc 'a / b' -v a="$path_cpu" -v b="$video_cpu")"
# Every core is busy in both runs, so the decoding's processor time adds to
# the video step's: this is the least the path's ratio can be here.
printf '(video step + decoding alone) / video step, in cpu seconds: %.3f\n' \
    "$(calc '(a + b) / a' -v a="$video_cpu" -v b="$decode_cpu")"
