# Shared by the RealVideo benchmarks (sourced, not run): the clock, awk
# arithmetic, and the host's job file for one input.

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
