#!/bin/sh
# What zarvo-convert costs per file on top of the ffmpeg command it runs:
# ten short clips converted with MPEG profile 0, by zarvo-convert in one run
# and by that ffmpeg command alone, file after file. The two take turns for
# RUNS runs; the best run of each counts. Prints seconds per file for both
# and the difference (goal: under 0.3 s a file).
#
#   bench/convert_cost.sh [ZARVO_CONVERT] [RUNS]   (default: build/bin/zarvo-convert, 3)
#
# The clips are made here: 10 s at 352 x 288, 25 Hz, square pixels,
# progressive H.264 with AAC sound. They fit MPEG profile 0's frame as they
# are, so the program adds nothing to the profile's options and both sides
# run the same command: "ffmpeg -y -i IN OPTIONS OUT", the options printed by
# bench/profile-options of the same build, from the profile files beside the
# program. The machine may be shared: run it when the load is low (the
# script prints the load average).
set -eu
export LC_ALL=C

program=${1:-build/bin/zarvo-convert}
runs=${2:-3}
clips=10
if [ ! -x "$program" ]; then
    echo "convert_cost.sh: no program at $program (build the zarvo-convert target)" >&2
    exit 2
fi
program_folder=$(cd "$(dirname "$program")" && pwd)
profile_options=$program_folder/../bench/profile-options
if [ ! -x "$profile_options" ]; then
    echo "convert_cost.sh: no $profile_options (build the profile-options target)" >&2
    exit 2
fi
# MPEG is target 1.
options=$("$profile_options" "$program_folder" 1 0)

work=$(mktemp -d /tmp/zarvo-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/clips"
i=1
while [ $i -le $clips ]; do
    ffmpeg -nostdin -v error -y \
        -f lavfi -i "testsrc2=size=352x288:rate=25:duration=10" \
        -f lavfi -i "sine=frequency=$((200 + 40 * i)):duration=10" \
        -c:v libx264 -preset veryfast -c:a aac -shortest "$work/clips/clip $i.mp4"
    i=$((i + 1))
done

seconds() { date +%s.%N; }
# awk does the arithmetic: calc 'a / b' -v a=1 -v b=2
calc() {
    expression=$1
    shift
    awk "$@" "BEGIN { print ($expression) }"
}
# Fails the benchmark unless FOLDER holds the ten outputs, each decodable
# and about as long as its clip: a run that did nothing is not fast.
check_outputs() {
    count=0
    for output in "$1"/*.mpg; do
        [ -f "$output" ] || continue
        length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$output")
        if [ "$(calc 'l > 9.5 && l < 10.5' -v l="$length")" != 1 ]; then
            echo "convert_cost.sh: $output lasts $length s, not 10" >&2
            exit 1
        fi
        count=$((count + 1))
    done
    if [ $count -ne $clips ]; then
        echo "convert_cost.sh: $count outputs in $1, not $clips" >&2
        exit 1
    fi
}

run_program() {
    rm -rf "$work/program-out"
    mkdir "$work/program-out"
    start=$(seconds)
    if ! "$program" --target mpeg --profile 0 --export "$work/program-out/" "$work/clips/"*.mp4 \
        >"$work/program.log" 2>&1; then
        echo "convert_cost.sh: $program failed:" >&2
        cat "$work/program.log" >&2
        exit 1
    fi
    program_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
    check_outputs "$work/program-out"
}

run_ffmpeg() {
    rm -rf "$work/ffmpeg-out"
    mkdir "$work/ffmpeg-out"
    start=$(seconds)
    for clip in "$work/clips/"*.mp4; do
        name=$(basename "$clip" .mp4)
        # The options are words as the program splits them: unquoted on purpose.
        # shellcheck disable=SC2086
        ffmpeg -nostdin -y -i "$clip" $options "$work/ffmpeg-out/$name.mpg" 2>/dev/null
    done
    ffmpeg_time=$(calc 'end - start' -v end="$(seconds)" -v start="$start")
    check_outputs "$work/ffmpeg-out"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "profile options:$options"
best_program=
best_ffmpeg=
run=1
while [ $run -le "$runs" ]; do
    run_program
    run_ffmpeg
    printf 'run %d: zarvo-convert %.2f s, ffmpeg alone %.2f s\n' $run "$program_time" "$ffmpeg_time"
    best_program=$(calc 'b == "" || t < b ? t : b' -v t="$program_time" -v b="$best_program")
    best_ffmpeg=$(calc 'b == "" || t < b ? t : b' -v t="$ffmpeg_time" -v b="$best_ffmpeg")
    run=$((run + 1))
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

program_per_file=$(calc 't / n' -v t="$best_program" -v n=$clips)
ffmpeg_per_file=$(calc 't / n' -v t="$best_ffmpeg" -v n=$clips)
cost=$(calc 'a - b' -v a="$program_per_file" -v b="$ffmpeg_per_file")
printf '%-34s %10s\n' "best of $runs runs, $clips clips of 10 s" "s per file"
printf '%-34s %10.3f\n' "zarvo-convert --target mpeg" "$program_per_file"
printf '%-34s %10.3f\n' "ffmpeg alone, same options" "$ffmpeg_per_file"
printf '%-34s %+10.3f  (goal: under 0.3 s, %s)\n' "cost per file" "$cost" \
    "$(calc 'c < 0.3 ? "met" : "missed"' -v c="$cost")"
