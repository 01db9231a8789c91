#!/bin/sh
# The cost of converting RealVideo the program's way (the conversion host
# encodes an MPEG intermediate with the library, then ffmpeg converts that
# with the profile) against ffmpeg converting the same file alone with the
# same profile: wall time of each, and the luminance PSNR of each result
# against the decoded input.
#
#   bench/rmjob/realvideo_round_trip.sh [BUILD_FOLDER] [SECONDS] [TARGET] [PROFILE]
#
# Defaults: build, 30 seconds, target 1 (MPEG), profile 0. The input is made
# here: 320 x 240 at 25 Hz, RealVideo 2 with AC-3 sound. The machine may be
# shared: run it when the load is low (the script prints the load average).
set -eu

build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
target=${3:-1}
profile=${4:-0}
. "$(dirname "$0")/host_job.sh"
host_work_folder "$build" zarvo-rm-bench \
    "$build/bin/tobrin" "$build/bin/libkorvan.so" "$build/bench/profile-options"
printf '[common]\nexportfolder=%s/export/\n' "$work" >"$work/program/zarvo.ini"

input=$work/input.rm
ffmpeg -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" -c:v rv20 -b:v 800k -c:a ac3 -f rm "$input"
options=$("$build/bench/profile-options" "$work/program" "$target" "$profile")

# Luminance PSNR against the decoded input, at the result's picture size.
psnr_y() {
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$1" | head -1 | tr x :)
    ffmpeg -i "$1" -i "$input" -lavfi \
        "[0:v]setpts=PTS-STARTPTS[a];[1:v]scale=${size},setpts=PTS-STARTPTS[b];[a][b]psnr" \
        -f null - 2>&1 | sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "input: $seconds s RealVideo 2 320x240 25 Hz; profile $profile of target $target:$options"

# The program's way: the job file as the program writes it, the host, then
# ffmpeg on the job's result.
intermediate=$work/export/tempvideofile.mpg
write_job "$work/program/Tobrin.ini" "$input" "$intermediate"
start=$(seconds_now)
(cd "$work/program" && ./tobrin >/dev/null)
host_time=$(calc 'end - start' -v end="$(seconds_now)" -v start="$start")
start=$(seconds_now)
# shellcheck disable=SC2086
ffmpeg -v error -y -i "$intermediate" $options "$work/round_trip.mpg"
convert_time=$(calc 'end - start' -v end="$(seconds_now)" -v start="$start")

start=$(seconds_now)
# shellcheck disable=SC2086
ffmpeg -v error -y -i "$input" $options "$work/ffmpeg_alone.mpg"
alone_time=$(calc 'end - start' -v end="$(seconds_now)" -v start="$start")

round_time=$(calc 'a + b' -v a="$host_time" -v b="$convert_time")
intermediate_psnr=$(psnr_y "$intermediate")
round_psnr=$(psnr_y "$work/round_trip.mpg")
alone_psnr=$(psnr_y "$work/ffmpeg_alone.mpg")

printf '%-34s %9s %12s\n' "" "seconds" "PSNR Y (dB)"
printf '%-34s %9.2f %12s\n' "host (library MPEG intermediate)" "$host_time" "$intermediate_psnr"
printf '%-34s %9.2f %12s\n' "ffmpeg on the intermediate" "$convert_time" ""
printf '%-34s %9.2f %12s\n' "round trip" "$round_time" "$round_psnr"
printf '%-34s %9.2f %12s\n' "ffmpeg alone" "$alone_time" "$alone_psnr"
echo "round trip / ffmpeg alone: time $(calc 'a / b' -v a="$round_time" -v b="$alone_time")x," \
    "PSNR Y $(calc 'a - b' -v a="$round_psnr" -v b="$alone_psnr") dB"
