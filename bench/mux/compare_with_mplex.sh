#!/bin/sh
# Multiplexes the same elementary streams with zarvo-mpegenc and with mplex
# (mjpegtools) for each target and prints file size, overhead over the
# elementary streams, pack count, time taken and what the buffer model
# checker finds in both outputs.
#
#   bench/mux/compare_with_mplex.sh [BUILD_FOLDER] [SECONDS]
#
# BUILD_FOLDER holds bin/zarvo-mpegenc and tests/std-buffer-check (default
# build); SECONDS is the length of the test streams (default 30).
set -eu

build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
tool="$build/bin/zarvo-mpegenc"
checker="$build/tests/std-buffer-check"
for program in "$tool" "$checker"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done
for program in ffmpeg mplex; do
  command -v "$program" >/dev/null || { echo "missing $program" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/mux-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

video() { # name size codec rate options...
  name=$1 size=$2 codec=$3 format=$4
  shift 4
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=25" -t "$seconds" \
    -c:v "$codec" "$@" -g 15 -bf 2 -f "$format" "$work/$name"
}
audio() { # name rate codec bitrate
  ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=$2" -ac 2 -t "$seconds" \
    -c:a "$3" -b:a "$4" -f "$3" "$work/$1"
}

echo "Making $seconds s test streams (PAL) in $work ..."
video mpeg1.m1v 352x288 mpeg1video mpeg1video -b:v 1800k
video vcd.m1v 352x288 mpeg1video mpeg1video -b:v 1150k -minrate 1150k -maxrate 1150k -bufsize 327680
video mpeg2.m2v 720x576 mpeg2video mpeg2video -b:v 6000k -maxrate 9000k -bufsize 1835008 -aspect 4:3
video svcd.m2v 480x576 mpeg2video mpeg2video -b:v 2000k -maxrate 2376k -bufsize 1835008 -aspect 4:3
video dvd.m2v 720x576 mpeg2video mpeg2video -b:v 6000k -maxrate 9800k -bufsize 1835008 -aspect 4:3
audio a44.mp2 44100 mp2 224k
audio a48.mp2 48000 mp2 224k
audio a48.ac3 48000 ac3 448k

size() { stat -c %s "$1"; }
now() { date +%s.%N; }

printf '\n%-7s %-6s %11s %9s %7s %8s %s\n' target muxer bytes overhead packs seconds checker
for row in "mpeg1 mpeg1.m1v a44.mp2 0 2048" "vcd vcd.m1v a44.mp2 1 2324" \
           "mpeg2 mpeg2.m2v a48.mp2 3 2048" "svcd svcd.m2v a44.mp2 4 2324" \
           "dvd dvd.m2v a48.ac3 8 2048"; do
  set -- $row
  target=$1 v="$work/$2" a="$work/$3" format=$4 sector=$5
  streams=$(( $(size "$v") + $(size "$a") ))

  start=$(now)
  "$tool" --target "$target" --mux-video "$v" --mux-audio "$a" -o "$work/ours-$target.mpg" >/dev/null
  ours_time=$(echo "$(now) - $start" | bc)
  # The generic formats need a rate for variable-rate video: ours, in kbit/s.
  rate=""
  if [ "$format" = 0 ] || [ "$format" = 3 ]; then
    units=$("$checker" "$work/ours-$target.mpg" | head -1 | sed -n 's/.*mux rate \([0-9]*\).*/\1/p')
    rate="-V -r $(( units * 400 / 1000 ))"
  fi
  start=$(now)
  # shellcheck disable=SC2086
  mplex -v 0 -f "$format" $rate -o "$work/mplex-$target.mpg" "$v" "$a" >/dev/null 2>&1 ||
    echo "mplex failed for $target" >&2
  mplex_time=$(echo "$(now) - $start" | bc)

  for muxer in ours mplex; do
    file="$work/$muxer-$target.mpg"
    bytes=$(size "$file")
    overhead=$(echo "scale=2; ($bytes - $streams) * 100 / $streams" | bc)
    packs=$(( bytes / sector ))
    if [ "$muxer" = ours ]; then elapsed=$ours_time; else elapsed=$mplex_time; fi
    verdict=$("$checker" "$file" | head -1 | grep -o 'underflows [0-9]*\|overflows [0-9]*' |
              awk '{s[$1]+=$2} END {printf "overflows %d, underflows %d", s["overflows"], s["underflows"]}')
    printf '%-7s %-6s %11d %8s%% %7d %8.3f %s\n' "$target" "$muxer" "$bytes" "$overhead" \
      "$packs" "$elapsed" "$verdict"
  done
done
