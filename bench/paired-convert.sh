#!/usr/bin/env bash
# Whole-process `embossa convert` figures, paired in one run so that a busy
# machine slows both sides alike. Each round runs every command once, in
# turn; the medians of the rounds are printed, with peak memory (maximum
# resident set, /usr/bin/time) from one extra run of each.
#
#   bench/paired-convert.sh BUILD_DIR [OTHER_EMBOSSA] [ROUNDS]
#
# BUILD_DIR holds app/embossa and bench/make_bench_images. OTHER_EMBOSSA,
# when given, is a second binary (an older build) measured beside it.
# Needs djpeg (Debian's libjpeg-turbo-progs) for the bare decode; without it
# that line is left out.
set -euo pipefail

build=${1:?usage: paired-convert.sh BUILD_DIR [OTHER_EMBOSSA] [ROUNDS]}
other=${2:-}
rounds=${3:-9}
embossa="$build/app/embossa"
work=$(mktemp -d "${TMPDIR:-/tmp}/embossa-paired-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$build/bench/make_bench_images" "$work"
photo="$work/photo-4000x3000.jpg"
big="$work/big-8192x8192.png"
small="$work/small-120x120.png"
batch=()
for i in 1 2 3 4 5 6 7 8; do
    cp "$photo" "$work/batch$i.jpg"
    batch+=("$work/batch$i.jpg")
done
mkdir -p "$work/out"
cores=$(nproc)

# name|command, run through bash -c with stdout to /dev/null.
commands=()
add() { commands+=("$1|$2"); }
if command -v djpeg >/dev/null; then add "djpeg 4000x3000" "djpeg -outfile /dev/null '$photo'"; fi
add "convert 4000x3000" "'$embossa' convert '$photo' -o '$work/out/photo.obj'"
add "convert 120x120" "'$embossa' convert '$small' -o '$work/out/small.obj'"
add "convert 8192x8192" "'$embossa' convert '$big' -o '$work/out/big.obj'"
add "batch of 8, -j 1" "'$embossa' convert ${batch[*]} -o '$work/out' -j 1"
add "batch of 8, -j $cores" "'$embossa' convert ${batch[*]} -o '$work/out' -j $cores"
if [ -n "$other" ]; then
    add "other: convert 4000x3000" "'$other' convert '$photo' -o '$work/out/photo.obj'"
    add "other: convert 120x120" "'$other' convert '$small' -o '$work/out/small.obj'"
    add "other: convert 8192x8192" "'$other' convert '$big' -o '$work/out/big.obj'"
    add "other: batch of 8" "'$other' convert ${batch[*]} -o '$work/out'"
fi

# CPU time (every thread, user and system) as perf counts it, where perf
# works: on a machine busy with other work it moves far less than wall time.
havePerf=0
if command -v perf >/dev/null && perf stat -x, -e task-clock true >/dev/null 2>&1; then havePerf=1; fi

declare -A times cpus
for ((round = 0; round < rounds; ++round)); do
    for entry in "${commands[@]}"; do
        name=${entry%%|*}
        command=${entry#*|}
        start=$(date +%s%N)
        if ((havePerf)); then
            perf stat -x, -e task-clock -o "$work/cpu" bash -c "exec $command" >/dev/null
            cpus[$name]+="$(awk -F, '/task-clock/ {printf "%d", $1 * 1000}' "$work/cpu") "
        else
            bash -c "$command" >/dev/null
        fi
        end=$(date +%s%N)
        times[$name]+="$(((end - start) / 1000)) "
    done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-28s %12s %12s %14s\n' "command" "median ms" "CPU ms" "peak MiB"
for entry in "${commands[@]}"; do
    name=${entry%%|*}
    command=${entry#*|}
    micro=$(echo "${times[$name]}" | median)
    cpu=$(echo "${cpus[$name]:-0}" | median)
    peak=$(/usr/bin/time -f '%M' bash -c "exec $command >/dev/null" 2>&1 >/dev/null | tail -1)
    awk -v name="$name" -v micro="$micro" -v cpu="$cpu" -v peak="$peak" \
        'BEGIN { printf "%-28s %12.1f %12.1f %14.1f\n", name, micro / 1000, cpu / 1000, peak / 1024 }'
done
echo "($rounds rounds; file sizes: $(du -h "$photo" "$big" | awk '{printf "%s %s  ", $2, $1}'))"
