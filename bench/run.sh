#!/usr/bin/env bash
# The benchmark: each task against the bare platform and the system's own tools, under Wine,
# on fresh data for every measurement, median of BENCH_RUNS runs (default 5); BENCH_CASES=purge
# runs the folder purge's cases alone. Writes a table,
# a CSV file and a chart of the folder purge's time against the number of files.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../scripts/lib.sh
source "$(dirname "$0")/../scripts/lib.sh"
handle_exits
use_utf8_locale force
PACKAGES+=(gnuplot-nox)

ensure_packages
build_arch x86_64 -DPURGEBOX_TESTS=OFF -DPURGEBOX_BENCH=ON
BUILD="$BUILD_ROOT/x86_64"
OUT="${BENCH_OUT:-$BUILD_ROOT/bench}"
RUNS="${BENCH_RUNS:-5}"
mkdir -p "$OUT"

# shellcheck disable=SC2119 # no argument: the window manager runs
start_wine_env
FIX="$WINEPREFIX/drive_c/bench"

bench() { wine "$BUILD/bench/purgebox_bench.exe" "$BUILD/purgebox.exe" "$@" | tr -d '\r'; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
fresh_files() { # fresh_files N: a folder of N empty files, made on the Unix side
    rm -rf "$FIX/temp"; mkdir -p "$FIX/temp"
    (cd "$FIX/temp" && seq -f 'file%.0f.tmp' 1 "$1" | xargs touch)
}
repeat() { # repeat SETUP... -- MEASURE...: the median of RUNS measurements
    local setup=() measure=()
    while [ "$1" != "--" ]; do setup+=("$1"); shift; done; shift
    measure=("$@")
    for _ in $(seq "$RUNS"); do "${setup[@]}" >/dev/null; "${measure[@]}"; done | median
}
none() { :; }
# measure VAR COMMAND...: sets VAR to what COMMAND prints. A trap waits for a command
# substitution to end, so the command runs as a child the traps can stop.
a="" b="" c="" d="" k="" m="" p=""
measure() {
    local var="$1"; shift
    run_child "$@" >"$OUT/measure.tmp"
    printf -v "$var" '%s' "$(<"$OUT/measure.tmp")"
}

CSV="$OUT/results.csv"
echo "case,purgebox_ms,reference_ms,ratio" > "$CSV"
row() { echo "$1,$2,$3,$(awk -v a="$2" -v b="$3" 'BEGIN{ if (b>0) printf "%.2f", a/b; else print "" }')" >> "$CSV"; }

# Each purge is paired with a `del` on a fresh identical folder right after it, so that what
# else loads the machine falls on both: the medians of each side and of the pairs' ratios.
rm -f "$OUT/purge.dat.tmp"
for n in ${BENCH_SIZES:-1000 10000 40000}; do
    pairs=""
    for i in $(seq "$RUNS"); do
        run_child fresh_files "$n"
        measure p bench purge-temp "$FIX/temp"
        run_child fresh_files "$n"
        measure d bench del "$FIX/temp"
        echo "temp_$n pair $i: Purgebox $p ms, del $d ms, $(awk -v a="$p" -v b="$d" 'BEGIN{printf "%.2f", a/b}') x"
        pairs+="$p $d"$'\n'
    done
    p="$(awk 'NF {print $1}' <<<"$pairs" | median)"
    d="$(awk 'NF {print $2}' <<<"$pairs" | median)"
    r="$(awk 'NF {printf "%.4f\n", $1/$2}' <<<"$pairs" | median)"
    echo "temp_$n,$p,$d,$(printf '%.2f' "$r")" >> "$CSV"
    echo "$n $p $d" >> "$OUT/purge.dat.tmp"
done
mv "$OUT/purge.dat.tmp" "$OUT/purge.dat"

measure a repeat fresh_files 40000 -- bench answer-temp "$FIX/temp"
row answer_temp_40000 "$a" ""

# BENCH_CASES=purge: the folder purge's cases alone.
if [ "${BENCH_CASES:-all}" != purge ]; then

measure p repeat bench seed-cache 5000 -- bench purge-cache
measure b repeat bench seed-cache 5000 -- bench bare-cache
row cache_5000 "$p" "$b"
measure a repeat bench seed-cache 5000 -- bench answer-cache
row answer_cache_5000 "$a" ""

measure p repeat bench seed-history 5000 -- bench purge-history
measure b repeat bench seed-history 5000 -- bench bare-history
row history_5000 "$p" "$b"
measure a repeat bench seed-history 5000 -- bench answer-history
row answer_history_5000 "$a" ""

measure p repeat none -- bench start
measure m repeat none -- bench start-minimal "$BUILD/bench/minimal_window.exe"
row start_empty "$p" "$m"

run_child bench seed-history 20000 >/dev/null
measure p repeat none -- bench start
row start_history_20000 "$p" ""

measure c repeat none -- bench closer 1000
row closer_1000_windows "$c" ""

run_child fresh_files 40000
measure k bench memory "$FIX/temp"
echo "peak_memory_kib,$k,," >> "$CSV"
fi
rm -f "$OUT/measure.tmp"

# The table, with each goal checked.
awk -F, '
function goal(c, r, v) {
    if (c ~ /^temp_10000$/) return (r <= 1.3) ? "met (<= 1.3 x)" : "MISSED (<= 1.3 x)";
    if (c ~ /^(cache|history)_5000$/) return (r <= 1.2) ? "met (<= 1.2 x)" : "MISSED (<= 1.2 x)";
    if (c ~ /^start_empty$/) return (r <= 1.15) ? "met (<= 1.15 x)" : "MISSED (<= 1.15 x)";
    if (c ~ /^start_history/) return (v <= 1000) ? "met (<= 1.0 s)" : "MISSED (<= 1.0 s)";
    if (c ~ /^answer_/) return (v <= 100) ? "met (<= 100 ms)" : "MISSED (<= 100 ms)";
    if (c ~ /^closer/) return (v <= 50) ? "met (<= 50 ms)" : "MISSED (<= 50 ms)";
    if (c ~ /^peak_memory/) return (v <= 65536) ? "met (<= 64 MiB)" : "MISSED (<= 64 MiB)";
    return "";
}
NR == 1 { printf "| %-22s | %12s | %12s | %6s | %-20s |\n", "case", "Purgebox", "reference", "ratio", "goal"; next }
{ t[$1] = $2; printf "| %-22s | %12s | %12s | %6s | %-20s |\n", $1, $2, $3, $4, goal($1, $4, $2) }
END {
    if (t["temp_1000"] > 0) {
        r = t["temp_40000"] / t["temp_1000"];
        printf "| %-22s | %12s | %12s | %6.1f | %-20s |\n", "temp_40000 / temp_1000", "", "", r, (r <= 45) ? "met (<= 45 x)" : "MISSED (<= 45 x)";
    }
}' "$CSV"
echo "(times in ms, memory in KiB; medians of $RUNS runs; a purge's ratio is the median of its pairs' ratios)"

gnuplot <<GP
set terminal pngcairo size 800,500
set output "$OUT/purge-time.png"
set title "Windows Temp Files purge under Wine"
set xlabel "files"; set ylabel "seconds"; set key top left; set grid
plot "$OUT/purge.dat" using 1:(\$2/1000) with linespoints title "Purgebox run", \
     "$OUT/purge.dat" using 1:(\$3/1000) with linespoints title "cmd /c del /q"
GP
echo "Results: $CSV; chart: $OUT/purge-time.png"
