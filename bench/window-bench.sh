#!/usr/bin/env bash
# The search run through the main window against parelix-scan on the same trees: warm cache,
# runs alternating, median times, the ratio window/scan, peak memory and its growth per file.
#
#   bench/window-bench.sh [BUILD_DIR [WORK_DIR [RUNS [WORKLOADS]]]]
#   COLD=1 bench/window-bench.sh ...   on a cold disk (root only): the page cache is dropped
#                                      before every counted run
#   BUSY=1 bench/window-bench.sh ...   while another process keeps one processor busy
#   XVFB=1 bench/window-bench.sh ...   the window on a display server (Xvfb on a display of
#                                      its own) instead of the offscreen platform; XVFB=:NN
#                                      starts it on display :NN; the server's processor
#                                      time per window run is shown too
#
# BUILD_DIR holds bench/parelix-scan and bench/parelix-window-bench (default build),
# WORK_DIR the workloads of dups-bench.sh (default /var/tmp/parelix-bench; missing ones are
# built by it), RUNS the counted runs of each program (default 5), WORKLOADS among
# w1 ... w9 (default w1 ... w8).
#
# Times are each program's own: parelix-scan from the engine's start to the end of the run,
# the window from its search button's handler until the run has ended and its events are
# handled ("fini" is the moment the log got "Fini !"). "wall" is the whole process, start-up
# of Qt and the window included. Peak memory is the process's maximum resident set; bytes per
# file compare the window's peak with parelix-scan's on the same tree, each program's peak
# with its own on a folder without files, and the two growths (what the window adds per file
# over the engine's own memory). Processor time and task switches are the whole process's
# (all its threads): a switch where a thread waited, or where it was put aside for another.
set -euo pipefail

HERE=$(dirname "$(realpath "$0")")
BUILD=${1:-build}
WORK=${2:-/var/tmp/parelix-bench}
RUNS=${3:-5}
WORKLOADS=${4:-"w1 w2 w3 w4 w5 w6 w7 w8"}
COLD=${COLD:-}
BUSY=${BUSY:-}
XVFB=${XVFB:-}
if [ -n "$COLD" ] && [ ! -w /proc/sys/vm/drop_caches ]; then
    echo "cold runs drop the page cache: run as root" >&2
    exit 1
fi
SCAN=$(realpath "$BUILD/bench/parelix-scan")
WIN=$(realpath "$BUILD/bench/parelix-window-bench")
for exe in "$SCAN" "$WIN"; do
    [ -x "$exe" ] || { echo "no $exe: build parelix-scan and parelix-window-bench first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed" >&2; exit 1; }
command -v bc >/dev/null || { echo "bc is needed" >&2; exit 1; }
MAKE_ONLY=1 "$HERE/dups-bench.sh" "$BUILD" "$WORK" 1 "$WORKLOADS"
mkdir -p "$WORK/empty"

tmp=$(mktemp -d)
helpers=()
cleanup() {
    local pid
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
if [ -n "$XVFB" ]; then
    command -v Xvfb >/dev/null || { echo "Xvfb is needed" >&2; exit 1; }
    display=:$(( 200 + $$ % 500 ))
    [[ $XVFB == :* ]] && display=$XVFB
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    helpers+=($!)
    xvfb_pid=$!
    sleep 1
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
if [ -n "$BUSY" ]; then
    sh -c 'while :; do :; done' &
    helpers+=($!)
fi

# The display server's processor time so far, in clock ticks (0 offscreen): its share of a
# window run is what the window's pictures cost outside the window's process.
server_ticks() {
    if [ -n "${xvfb_pid:-}" ]; then awk '{print $14 + $15}' "/proc/$xvfb_pid/stat"; else echo 0; fi
}

# run_once OUT CMD...: appends "own_seconds wall_ms peak_kB fini_seconds cpu_seconds
# voluntary_switches involuntary_switches" to OUT.
run_once() {
    local out=$1; shift
    local t0 t1 own fini
    if [ -n "$COLD" ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
    t0=$(date +%s%N)
    /usr/bin/time -f "%M %e %U %S %w %c" -o "$tmp/mem" "$@" >/dev/null 2>"$tmp/err"
    t1=$(date +%s%N)
    # The wall-clock line only: parelix-scan also prints a "cpu:" line ending the same way.
    own=$(sed -n '/^cpu:/!s/.*, total \([0-9.]*\) s$/\1/p' "$tmp/err" | tail -1)
    fini=$(sed -n 's/^window fini \([0-9.]*\) s.*/\1/p' "$tmp/err")
    read -r kb _ user sys vol invol < <(tail -1 "$tmp/mem")
    echo "${own:-0} $(( (t1 - t0) / 1000000 )) $kb ${fini:-0} $(echo "$user + $sys" | bc -l) $vol $invol" >> "$out"
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
col() { cut -d' ' -f"$2" "$1" | median; }
files_of() { sed -n 's/^files \([0-9]*\),.*/\1/p' "$tmp/err"; }

# Baseline: a folder without files, a few runs each.
for r in 1 2 3; do
    run_once "$tmp/scan-empty" "$SCAN" "$WORK/empty"
    run_once "$tmp/win-empty" "$WIN" "$WORK/empty"
done
scan_empty=$(col "$tmp/scan-empty" 3)
win_empty=$(col "$tmp/win-empty" 3)
echo "== no files: parelix-scan peak $scan_empty kB, window peak $win_empty kB"

for w in $WORKLOADS; do
    dir=$WORK/$w
    # Same groups in the same order, member for member; these runs also warm the cache.
    "$SCAN" "$dir" >"$tmp/scan.out" 2>/dev/null
    "$WIN" --groups "$dir" >"$tmp/win.out" 2>"$tmp/err"
    files=$(files_of)
    if cmp -s "$tmp/scan.out" "$tmp/win.out"; then same="identical"; else same="DIFFERENT"; fi
    groups=$(grep -c '^(' "$tmp/scan.out" || true)

    rm -f "$tmp/scan.txt" "$tmp/win.txt" "$tmp/server.txt"
    for r in $(seq 1 "$RUNS"); do
        run_once "$tmp/scan.txt" "$SCAN" "$dir"
        x0=$(server_ticks)
        run_once "$tmp/win.txt" "$WIN" "$dir"
        echo "$(( $(server_ticks) - x0 ))" >> "$tmp/server.txt"
    done
    s_own=$(col "$tmp/scan.txt" 1); s_wall=$(col "$tmp/scan.txt" 2); s_kb=$(col "$tmp/scan.txt" 3)
    w_own=$(col "$tmp/win.txt" 1); w_wall=$(col "$tmp/win.txt" 2); w_kb=$(col "$tmp/win.txt" 3)
    w_fini=$(col "$tmp/win.txt" 4)
    s_cpu=$(col "$tmp/scan.txt" 5); s_vol=$(col "$tmp/scan.txt" 6); s_inv=$(col "$tmp/scan.txt" 7)
    w_cpu=$(col "$tmp/win.txt" 5); w_vol=$(col "$tmp/win.txt" 6); w_inv=$(col "$tmp/win.txt" 7)

    echo "== $w: $files files, $groups groups, outputs $same ($RUNS runs each${COLD:+, cold}${BUSY:+, one processor kept busy}, $QT_QPA_PLATFORM, medians)"
    printf "  parelix-scan  run %7.3f s                 wall %7.3f s  peak %8d kB\n" \
        "$s_own" "$(echo "$s_wall / 1000" | bc -l)" "$s_kb"
    printf "  window        run %7.3f s  (fini %7.3f)  wall %7.3f s  peak %8d kB\n" \
        "$w_own" "$w_fini" "$(echo "$w_wall / 1000" | bc -l)" "$w_kb"
    # Each window run over the scan run just before it: on a shared machine the load drifts
    # between runs, less within a pair.
    pair=$(paste -d' ' <(cut -d' ' -f1 "$tmp/win.txt") <(cut -d' ' -f1 "$tmp/scan.txt") \
        | awk '$2 > 0 {printf "%.3f\n", $1 / $2}')
    printf "  ratio window/scan %.2f, run by run %s(median %.2f)\n" "$(echo "$w_own / $s_own" | bc -l)" \
        "$(echo "$pair" | tr '\n' ' ')" "$(echo "$pair" | median)"
    printf "  processor (whole process) scan %.2f s, window %.2f s; task switches, waits/preempted: scan %d/%d, window %d/%d\n" \
        "$s_cpu" "$w_cpu" "$s_vol" "$s_inv" "$w_vol" "$w_inv"
    if [ -n "${xvfb_pid:-}" ]; then
        printf "  display server processor per window run (start-up included) %.2f s\n" \
            "$(echo "$(median < "$tmp/server.txt") / $(getconf CLK_TCK)" | bc -l)"
    fi
    printf "  bytes per file: window over scan %.1f, window over no files %.1f, scan over no files %.1f,\n" \
        "$(echo "($w_kb - $s_kb) * 1024 / $files" | bc -l)" \
        "$(echo "($w_kb - $win_empty) * 1024 / $files" | bc -l)" \
        "$(echo "($s_kb - $scan_empty) * 1024 / $files" | bc -l)"
    printf "    the window's growth beyond the scan's %.1f\n" \
        "$(echo "(($w_kb - $win_empty) - ($s_kb - $scan_empty)) * 1024 / $files" | bc -l)"
    echo "  runs (s) scan: $(cut -d' ' -f1 "$tmp/scan.txt" | tr '\n' ' ')"
    echo "  runs (s) window: $(cut -d' ' -f1 "$tmp/win.txt" | tr '\n' ' ')"
done
