#!/usr/bin/env bash
# The benchmark: each task against the bare platform and the system's own tools, under Wine,
# on fresh data for every measurement, median of BENCH_RUNS runs (default 5); BENCH_CASES=purge
# runs the folder purge's cases alone, BENCH_CASES=stores the cache's and the history's,
# BENCH_CASES=start the start-up pairs. Writes a table,
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
a="" c="" d="" k="" p=""
measure() {
    local var="$1"; shift
    run_child "$@" >"$OUT/measure.tmp"
    printf -v "$var" '%s' "$(<"$OUT/measure.tmp")"
}

CSV="$OUT/results.csv"
echo "case,purgebox_ms,reference_ms,ratio" > "$CSV"
row() { echo "$1,$2,$3,$(awk -v a="$2" -v b="$3" 'BEGIN{ if (b>0) printf "%.2f", a/b; else print "" }')" >> "$CSV"; }

# paired CASE SETUP_A MEASURE_A SETUP_B MEASURE_B (names of functions): RUNS rounds, each
# measuring Purgebox (A) and then its reference (B) on fresh identical data, so that whatever
# else loads the machine falls on both. Prints each pair; writes the medians of each side and
# of the pairs' ratios, and leaves the sides' medians in p and d.
paired() {
    local name="$1" setup_a="$2" measure_a="$3" setup_b="$4" measure_b="$5" pairs="" i
    for i in $(seq "$RUNS"); do
        run_child "$setup_a" >/dev/null
        measure p "$measure_a"
        run_child "$setup_b" >/dev/null
        measure d "$measure_b"
        echo "$name pair $i: Purgebox $p ms, reference $d ms, $(awk -v a="$p" -v b="$d" 'BEGIN{printf "%.2f", a/b}') x"
        pairs+="$p $d"$'\n'
    done
    p="$(awk 'NF {print $1}' <<<"$pairs" | median)"
    d="$(awk 'NF {print $2}' <<<"$pairs" | median)"
    local r
    r="$(awk 'NF {printf "%.4f\n", $1/$2}' <<<"$pairs" | median)"
    echo "$name,$p,$d,$(printf '%.2f' "$r")" >> "$CSV"
}
N=0
files() { fresh_files "$N"; }
purge_temp() { bench purge-temp "$FIX/temp"; }
del_temp() { bench del "$FIX/temp"; }
seed_cache() { bench seed-cache 5000; }
purge_cache() { bench purge-cache; }
bare_cache() { bench bare-cache; }
seed_history() { bench seed-history 5000; }
purge_history() { bench purge-history; }
bare_history() { bench bare-history; }
start() { bench start; }
start_minimal() { bench start-minimal "$BUILD/bench/minimal_window.exe"; }

CASES="${BENCH_CASES:-all}"
case "$CASES" in
all | purge | stores | start) ;;
*) echo "BENCH_CASES: all, purge, stores or start" >&2; exit 2 ;;
esac
runs() { [ "$CASES" = all ] || [ "$CASES" = "$1" ]; }

if runs purge; then
rm -f "$OUT/purge.dat.tmp"
for N in ${BENCH_SIZES:-1000 10000 40000}; do
    paired "temp_$N" files purge_temp files del_temp
    echo "$N $p $d" >> "$OUT/purge.dat.tmp"
done
mv "$OUT/purge.dat.tmp" "$OUT/purge.dat"

measure a repeat fresh_files 40000 -- bench answer-temp "$FIX/temp"
row answer_temp_40000 "$a" ""
fi

if runs stores; then
paired cache_5000 seed_cache purge_cache seed_cache bare_cache
measure a repeat bench seed-cache 5000 -- bench answer-cache
row answer_cache_5000 "$a" ""

paired history_5000 seed_history purge_history seed_history bare_history
measure a repeat bench seed-history 5000 -- bench answer-history
row answer_history_5000 "$a" ""
fi

if runs start; then
paired start_empty none start none start_minimal
fi

if [ "$CASES" = all ]; then
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
echo "(times in ms, memory in KiB; medians of $RUNS runs; a ratio is the median of its pairs' ratios)"

if ! runs purge; then
    echo "Results: $CSV"
    exit 0
fi
gnuplot <<GP
set terminal pngcairo size 800,500
set output "$OUT/purge-time.png"
set title "Windows Temp Files purge under Wine"
set xlabel "files"; set ylabel "seconds"; set key top left; set grid
plot "$OUT/purge.dat" using 1:(\$2/1000) with linespoints title "Purgebox run", \
     "$OUT/purge.dat" using 1:(\$3/1000) with linespoints title "cmd /c del /q"
GP
echo "Results: $CSV; chart: $OUT/purge-time.png"
