#!/bin/sh
# A RealMedia input through the RealMedia engine (the reader layer refuses
# it: the host plays it through libpnen3260.so into the intermediate AVI,
# with the writer's pause after every block of sound) against the reader
# path on the same file (the library decodes it and encodes the MPEG
# intermediate itself): wall time of the host for each, the multiple of real
# time, and the ratio. The best of the runs counts for each; they are taken
# in turns.
#
#   bench/rmjob/engine_path.sh [BUILD_FOLDER] [SECONDS] [RUNS]
#
# Defaults: build, 10 seconds, 3 runs. The input is made here: 320 x 240 at
# 25 Hz, RealVideo 2 with AC-3 sound. The machine may be shared: the script
# prints the load average.
set -eu

build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
runs=${3:-3}
. "$(dirname "$0")/host_job.sh"
host_work_folder "$build" zarvo-engine-bench \
    "$build/bin/tobrin" "$build/bin/libkorvan.so" "$build/bin/libpnen3260.so"
input=$work/input.rm
ffmpeg -v error -y -f lavfi -i "testsrc2=size=320x240:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" -c:v rv20 -c:a ac3 -f rm "$input"

# One job of the host with the reader layer reading RealMedia (1) or not (0);
# prints its wall time.
run_host() {
    printf '[common]\nexportfolder=%s/export/\n[korvan]\nrealmediareader=%s\n' "$work" "$1" \
        >"$work/program/zarvo.ini"
    write_job "$work/program/Tobrin.ini" "$input" "$work/export/tempvideofile.mpg"
    start=$(seconds_now)
    code=0
    (cd "$work/program" && ./tobrin >/dev/null) || code=$?
    end=$(seconds_now)
    expected=$([ "$1" = 0 ] && echo 5 || echo 0)
    [ "$code" = "$expected" ] || { echo "the host ended with $code, not $expected" >&2; exit 1; }
    rm -f "$input"tmp.avi "$work/export/tempvideofile.mpg"
    calc 'end - start' -v end="$end" -v start="$start"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "input: $seconds s RealVideo 2 320x240 25 Hz with AC-3 sound; best of $runs runs"
engine_best=
reader_best=
i=0
while [ "$i" -lt "$runs" ]; do
    engine=$(run_host 0)
    reader=$(run_host 1)
    engine_best=$(calc 'b == "" || t < b ? t : b' -v t="$engine" -v b="$engine_best")
    reader_best=$(calc 'b == "" || t < b ? t : b' -v t="$reader" -v b="$reader_best")
    i=$((i + 1))
done
printf 'engine path (AVI):   %6.2f s  %5.1fx real time\n' "$engine_best" \
    "$(calc 's / t' -v s="$seconds" -v t="$engine_best")"
printf 'reader path (MPEG):  %6.2f s  %5.1fx real time\n' "$reader_best" \
    "$(calc 's / t' -v s="$seconds" -v t="$reader_best")"
printf 'engine / reader time: %.2f\n' "$(calc 'e / r' -v e="$engine_best" -v r="$reader_best")"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
