#!/bin/sh
# Checks which targets scripts/run-fuzz runs, on a build folder of its own
# with three stand-in targets: small scripts that print what a libFuzzer
# program prints at its end and note that they ran. No name runs all three,
# one name runs that one, an unknown name is an error that runs none, and a
# run in which no target tried an input fails.
#   tests/fuzz/run_fuzz_test.sh [scripts/run-fuzz]
set -u
run_fuzz=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/run-fuzz}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# stand_in FILE EXECUTIONS: a target that notes its name and arguments in
# $work/ran and reports EXECUTIONS inputs (none printed when 0).
stand_in() {
    cat >"$1" <<SCRIPT
#!/bin/sh
echo "\$(basename "\$0") \$*" >>"$work/ran"
[ $2 -gt 0 ] || exit 0
printf '#$2\tDONE   cov: 17 ft: 29 corp: 3/12b\n'
echo 'stat::number_of_executed_units: $2'
SCRIPT
    chmod +x "$1"
}

# build_folder DIR EXECUTIONS: a build folder listing three stand-ins.
build_folder() {
    mkdir -p "$1/seeds"
    : >"$1/fuzz-targets.txt"
    for name in first second third; do
        stand_in "$1/$name" "$2"
        echo "$name $1/$name $1/seeds 64" >>"$1/fuzz-targets.txt"
    done
}

lines() { [ -f "$1" ] && wc -l <"$1" | tr -d ' ' || echo 0; }

# check CASE EXPECTED_STATUS EXPECTED_RAN BUILD SECONDS [TARGET...]: runs
# run-fuzz and compares its exit status and the targets that ran.
check() {
    case_name=$1 expected_status=$2 expected_ran=$3 build=$4
    shift 4
    rm -f "$work/ran"
    history_before=$(lines "$build/fuzz-history.txt")
    "$run_fuzz" "$build" "$@" >"$work/out" 2>"$work/err"
    status=$?
    ran=$(cut -d' ' -f1 "$work/ran" 2>/dev/null | tr '\n' ' ')
    [ "$status" -eq "$expected_status" ] ||
        fail "$case_name: exit status $status, not $expected_status ($(cat "$work/err"))"
    [ "$ran" = "$expected_ran" ] || fail "$case_name: ran '$ran', not '$expected_ran'"
    count=$(echo "$expected_ran" | wc -w)
    grown=$(($(lines "$build/fuzz-history.txt") - history_before))
    [ "$grown" -eq "$count" ] || fail "$case_name: history grew by $grown lines, not $count"
}

build_folder "$work/build" 250

check "no target named" 0 "first second third " "$work/build" 1
grep -q "^run-fuzz: 3 targets ran" "$work/out" || fail "no target named: no closing count"
[ "$(grep -c ' ok$' "$work/out")" -eq 3 ] || fail "no target named: not one ok line a target"
grep -q -- "-max_total_time=1 .*$work/build/seeds" "$work/ran" ||
    fail "no target named: not given the seconds and the seeds ($(cat "$work/ran"))"
tail -n 1 "$work/build/fuzz-history.txt" | grep -q "Z third [0-9]* 250 17 29 0$" ||
    fail "history line: $(tail -n 1 "$work/build/fuzz-history.txt")"

check "one target named" 0 "second " "$work/build" 1 second
grep -q "^run-fuzz: 1 targets ran" "$work/out" || fail "one target named: no closing count"

check "an unknown name" 2 "" "$work/build" 1 second fourth
grep -q "fourth" "$work/err" || fail "an unknown name: the message does not name it"

build_folder "$work/idle" 0
check "no input tried" 2 "first second third " "$work/idle" 1
grep -q "no target ran" "$work/err" || fail "no input tried: no message"

[ "$failures" -eq 0 ] || exit 1
echo "run-fuzz selects its targets"
