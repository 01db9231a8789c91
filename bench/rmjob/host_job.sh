# Shared by the RealVideo benchmarks (sourced, not run): the host's work
# folder, the clock, awk arithmetic, and the host's job file for one input.

# host_work_folder BUILD NAME NEEDED...: stops unless each NEEDED file is
# built, then sets work to a fresh folder (removed on exit) holding program/
# (a copy of BUILD/bin, where the host runs) and export/.
host_work_folder() {
    built=$1
    name=$2
    shift 2
    for needed in "$@"; do
        [ -e "$needed" ] || { echo "missing $needed: build first" >&2; exit 2; }
    done
    work=$(mktemp -d "/tmp/$name.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/program" "$work/export"
    cp -r "$built/bin/." "$work/program/"
}

seconds_now() { date +%s.%N; }

# calc EXPRESSION [awk -v NAME=VALUE ...]
calc() {
    expression=$1
    shift
    awk "$@" "BEGIN { print ($expression) }"
}

# write_job JOB_FILE INPUT RESULT: one input, converted to the MPEG
# intermediate named RESULT.
write_job() {
    cat >"$1" <<JOB
[infiles]
dvdmode=0
number=1
file000=$2
[outformat]
tempavifilename=$3
merge=1
mediatype=1
[common]
canceltbr=0
strtip=
iErrorCode=0
ipercent=0
stime=0
etime=0
operationid=1
JOB
}
