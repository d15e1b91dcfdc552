#!/usr/bin/env bash
# Duplicate-finding benchmark: parelix-scan against fdupes -r and jdupes -r on the same trees,
# warm cache, runs alternating, median wall time, ratios and peak memory.
#
#   bench/dups-bench.sh [BUILD_DIR [WORK_DIR [RUNS [WORKLOADS]]]]
#   COLD=1 bench/dups-bench.sh ...   the same on a cold disk (root only): the page cache is
#                                    dropped before every counted run, and a floor is timed
#                                    beside the programs (see below)
#   BUSY=1 bench/dups-bench.sh ...   the same while another process keeps one processor busy
#                                    (a shell loop, started before the warm-up runs of each
#                                    workload and ended after its counted runs)
#
# BUILD_DIR holds bench/parelix-scan and bench/make-bench-tree (default build), WORK_DIR the
# workloads (default /var/tmp/parelix-bench, about 6 GB, kept between runs), RUNS the counted
# runs of each command (default 5), WORKLOADS a list among w1 ... w9 (default w1 ... w8).
#   w1  real file sizes: copies of /usr/share and /usr/include, plus second copies of
#       /usr/share/doc and /usr/include/linux beside them
#   w2  100 files of 8 to 24 MB, each of its own size, and a copy of 50 of them elsewhere;
#       also timed: cat of the 100 paired files to /dev/null
#   w3  3,000 files of one size that differ at the start
#   w4  20,000 files of 4,096 bytes in 200 folders: 19,500 distinct contents, 500 of them
#       with one copy (500 pairs)
#   w5  300,000 files in 15,000 folders (150 x 100, 20 each): 1 in 50 empty, the others 1 to
#       65,535 bytes, log-uniform by octave (octave uniform, size uniform inside it); about 1 in
#       12 a copy of an earlier file
#   w6  1,200 files of 256 KiB in 40 folders sharing their first 16 KiB, different after it
#       but for 30 copies
#   w7  one 5,000-byte file with 20,000 hard links in one folder, and one real copy
#   w8  100,000 files of 1 to 4,096 bytes, 1,000 a folder; 1 in 50 a copy of an earlier file
#   w9  the same shape with 1,000,000 files (about 2 GB on disk; not in the default list)
# w4 to w9 are written by make-bench-tree from a fixed seed: the same trees on every machine.
# Cold runs also time "floor": the first 4 KiB of every file of a size class of two or more,
# read by 16 processes at once, which is about what the disk allows any duplicate finder.
# With MAKE_ONLY=1 in the environment it only builds the workloads that are missing.
set -euo pipefail

BUILD=${1:-build}
WORK=${2:-/var/tmp/parelix-bench}
RUNS=${3:-5}
WORKLOADS=${4:-"w1 w2 w3 w4 w5 w6 w7 w8"}
COLD=${COLD:-}
BUSY=${BUSY:-}
if [ -n "$COLD" ] && [ ! -w /proc/sys/vm/drop_caches ]; then
    echo "cold runs drop the page cache: run as root" >&2
    exit 1
fi
SCAN=$(realpath "$BUILD/bench/parelix-scan")
[ -x "$SCAN" ] || { echo "no $SCAN: build the parelix-scan target first" >&2; exit 1; }

timing=true
[ -z "${MAKE_ONLY:-}" ] || timing=false

missing=()
command -v fdupes >/dev/null || missing+=(fdupes)
command -v jdupes >/dev/null || missing+=(jdupes)
[ -x /usr/bin/time ] || missing+=(time)
if $timing && [ ${#missing[@]} -gt 0 ]; then
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

mkdir -p "$WORK"

make_w1() {
    local d=$WORK/w1
    [ -f "$d.done" ] && return
    rm -rf "$d"; mkdir -p "$d"
    cp -a /usr/share "$d/share"
    cp -a /usr/include "$d/include"
    cp -a /usr/share/doc "$d/doc-again"
    cp -a /usr/include/linux "$d/linux-again"
    touch "$d.done"
}

make_w2() {
    local d=$WORK/w2
    [ -f "$d.done" ] && return
    rm -rf "$d"; mkdir -p "$d/originals" "$d/copies"
    local i size
    for i in $(seq 0 99); do
        # Sizes spread over 8..24 MB, none equal to another.
        size=$(( 8 * 1024 * 1024 + i * 167773 + 17 * i ))
        head -c "$size" /dev/urandom > "$d/originals/big$i.bin"
        if [ $((i % 2)) -eq 0 ]; then cp "$d/originals/big$i.bin" "$d/copies/big$i.bin"; fi
    done
    touch "$d.done"
}

make_w3() {
    local d=$WORK/w3
    [ -f "$d.done" ] && return
    rm -rf "$d"; mkdir -p "$d"
    head -c 9996 /dev/urandom > "$WORK/w3-tail"
    local i
    for i in $(seq 0 2999); do
        # The first four bytes carry the file's number: every pair differs in the first chunk,
        # most already in the first byte.
        { printf "\\x$(printf %02x $((i % 256)))\\x$(printf %02x $((i / 256)))\\x00\\x00"; cat "$WORK/w3-tail"; } > "$d/f$i"
    done
    touch "$d.done"
}

# The generated trees: written into a fresh folder, marked done only once complete.
make_generated() {
    local d=$WORK/$1
    [ -f "$d.done" ] && return
    local gen; gen=$(realpath "$BUILD/bench/make-bench-tree")
    [ -x "$gen" ] || { echo "no $gen: build the make-bench-tree target first" >&2; exit 1; }
    rm -rf "$d"
    "$gen" "$1" "$d"
    touch "$d.done"
}
make_w4() { make_generated w4; }
make_w5() { make_generated w5; }
make_w6() { make_generated w6; }
make_w7() { make_generated w7; }
make_w8() { make_generated w8; }
make_w9() { make_generated w9; }

# One run: wall ms (from the clock), peak resident kB and processor ms, user and system
# (from time). On a machine shared with other work the processor time says more than the wall.
run_once() {
    local out=$1; shift
    local t0 t1
    if [ -n "$COLD" ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
    t0=$(date +%s%N)
    /usr/bin/time -f "%M %U %S" -o "$out.mem" "$@" >/dev/null 2>"$out.err"
    t1=$(date +%s%N)
    read -r kb user sys < "$out.mem"
    echo "$(( (t1 - t0) / 1000000 )) $kb $(echo "($user + $sys) * 1000 / 1" | bc)"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# bench NAME LABEL1 CMD1 LABEL2 CMD2 ...: one warm-up of each, then RUNS rounds alternating.
bench() {
    local name=$1; shift
    local labels=() cmds=()
    while [ $# -gt 0 ]; do labels+=("$1"); cmds+=("$2"); shift 2; done
    local tmp; tmp=$(mktemp -d)
    local i r busy="" load; load=$(cut -d' ' -f1-3 /proc/loadavg)
    if [ -n "$BUSY" ]; then
        sh -c 'while :; do :; done' &
        busy=$!
    fi
    for i in "${!cmds[@]}"; do run_once "$tmp/warm" ${cmds[$i]} >/dev/null; done
    for r in $(seq 1 "$RUNS"); do
        for i in "${!cmds[@]}"; do run_once "$tmp/run" ${cmds[$i]} >> "$tmp/$i.txt"; done
    done
    if [ -n "$busy" ]; then kill "$busy"; wait "$busy" 2>/dev/null || true; fi
    echo "== $name ($RUNS runs${COLD:+, cold}${BUSY:+, one processor kept busy}, median wall time, peak memory," \
        "processor time; load before: $load)"
    local base cpuBase; base=$(cut -d' ' -f1 "$tmp/0.txt" | median); cpuBase=$(cut -d' ' -f3 "$tmp/0.txt" | median)
    for i in "${!cmds[@]}"; do
        local ms kb cpu
        ms=$(cut -d' ' -f1 "$tmp/$i.txt" | median)
        kb=$(cut -d' ' -f2 "$tmp/$i.txt" | median)
        cpu=$(cut -d' ' -f3 "$tmp/$i.txt" | median)
        printf "  %-14s %8.3f s  %8d kB  ratio %s/%s %.2f  cpu %6.3f s ratio %.2f  (runs ms: %s)\n" "${labels[$i]}" \
            "$(echo "$ms / 1000" | bc -l)" "$kb" "${labels[0]}" "${labels[$i]}" \
            "$(echo "$base / $ms" | bc -l)" "$(echo "$cpu / 1000" | bc -l)" "$(echo "$cpuBase / ($cpu + 0.001)" | bc -l)" \
            "$(cut -d' ' -f1 "$tmp/$i.txt" | tr '\n' ' ')"
    done
    echo "  load after: $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -rf "$tmp"
}

# The floor of a cold run: the files of size classes of two or more, and a command that reads
# the first 4 KiB of each with many reads in flight. Listed once, before the counted runs.
floor_cmd() {
    local list=$WORK/$1-floor.txt
    [ -s "$list" ] || find "$WORK/$1" -type f -size +0 -printf '%s\t%p\n' |
        awk -F'\t' '{n[$1]++; p[NR]=$2; s[NR]=$1} END {for (i = 1; i <= NR; i++) if (n[s[i]] > 1) print p[i]}' > "$list"
    echo "xargs -d \n -a $list -P 16 -n 64 head -q -c 4096"
}

# bench_workload NAME LABEL CMD...: the workload's commands, and the floor on a cold disk.
bench_workload() {
    local w=$1 name=$2; shift 2
    if [ -n "$COLD" ]; then bench "$name" "$@" floor "$(floor_cmd "$w")"
    else bench "$name" "$@"; fi
}

scan_report() {
    echo "  parelix-scan on $1:"
    "$SCAN" "$1" 2>&1 >/dev/null | grep -E '^(files|walk|cpu)' | sed 's/^/    /'
}

command -v bc >/dev/null || { echo "bc is needed" >&2; exit 1; }

if ! $timing; then
    for w in $WORKLOADS; do
        case $w in
        w1 | w2 | w3 | w4 | w5 | w6 | w7 | w8 | w9) make_$w ;;
        *) echo "unknown workload $w" >&2; exit 2 ;;
        esac
    done
    exit 0
fi

for w in $WORKLOADS; do
    case $w in
    w1)
        make_w1
        bench_workload w1 "W1 real file sizes" parelix-scan "$SCAN $WORK/w1" fdupes "fdupes -r $WORK/w1" jdupes "jdupes -r $WORK/w1"
        scan_report "$WORK/w1"
        ;;
    w2)
        make_w2
        paired=()
        for i in $(seq 0 2 99); do paired+=("$WORK/w2/originals/big$i.bin" "$WORK/w2/copies/big$i.bin"); done
        printf '%s\n' "${paired[@]}" > "$WORK/w2-paired.txt"
        bench_workload w2 "W2 big files" parelix-scan "$SCAN $WORK/w2" "cat-paired" "xargs -a $WORK/w2-paired.txt cat" \
            fdupes "fdupes -r $WORK/w2" jdupes "jdupes -r $WORK/w2"
        scan_report "$WORK/w2"
        ;;
    w3)
        make_w3
        bench_workload w3 "W3 one crowded size" parelix-scan "$SCAN $WORK/w3" fdupes "fdupes -r $WORK/w3" jdupes "jdupes -r $WORK/w3"
        scan_report "$WORK/w3"
        ;;
    w4)
        make_w4
        bench_workload w4 "W4 one size, mostly different" parelix-scan "$SCAN $WORK/w4" fdupes "fdupes -r $WORK/w4" jdupes "jdupes -r $WORK/w4"
        scan_report "$WORK/w4"
        ;;
    w5)
        make_w5
        bench_workload w5 "W5 many small files" parelix-scan "$SCAN $WORK/w5" fdupes "fdupes -r $WORK/w5" jdupes "jdupes -r $WORK/w5"
        scan_report "$WORK/w5"
        ;;
    w6)
        make_w6
        bench_workload w6 "W6 a long shared header" parelix-scan "$SCAN $WORK/w6" jdupes "jdupes -r $WORK/w6"
        scan_report "$WORK/w6"
        ;;
    w7)
        make_w7
        bench_workload w7 "W7 a crowd of hard links" parelix-scan "$SCAN $WORK/w7" jdupes "jdupes -r $WORK/w7"
        scan_report "$WORK/w7"
        ;;
    w8 | w9)
        make_$w
        bench_workload $w "${w^^} small files, 1,000 a folder" parelix-scan "$SCAN $WORK/$w" jdupes "jdupes -r $WORK/$w"
        scan_report "$WORK/$w"
        ;;
    *) echo "unknown workload $w" >&2; exit 2 ;;
    esac
done
