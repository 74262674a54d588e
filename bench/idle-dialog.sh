#!/usr/bin/env bash
# CPU use of the dialog left alone with a relief open: the tool runs on a
# private X desktop (tests/run-on-desktop: Xvfb, openbox; OpenGL is Mesa's
# llvmpipe there), settles for a few seconds, then its own CPU time (every
# thread, llvmpipe's included) is read over a window of seconds. Two
# binaries are measured in turn, round after round, so a busy machine weighs
# on both alike.
#
#   bench/idle-dialog.sh EMBOSSA [OTHER_EMBOSSA] [ROUNDS] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [[ -z "${IDLE_DIALOG_INNER:-}" ]]; then
    IDLE_DIALOG_INNER=1 exec "$here/tests/run-on-desktop" "$0" "$@"
fi

first=${1:?usage: idle-dialog.sh EMBOSSA [OTHER_EMBOSSA] [ROUNDS] [SECONDS]}
other=${2:-}
rounds=${3:-3}
seconds=${4:-10}
image="$here/examples/rings.png"
ticks=$(getconf CLK_TCK)
sleep 1 # openbox announces itself

cpuTicks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Prints the percentage of one core the dialog used over the window.
measure() {
    local binary=$1 work pid start end
    work=$(mktemp -d)
    "$binary" "$image" >"$work/out" 2>&1 &
    pid=$!
    sleep 4
    start=$(cpuTicks "$pid")
    sleep "$seconds"
    end=$(cpuTicks "$pid")
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$work"
    awk -v used="$((end - start))" -v ticks="$ticks" -v seconds="$seconds" \
        'BEGIN { printf "%.2f", 100 * used / (ticks * seconds) }'
}

for ((round = 1; round <= rounds; ++round)); do
    line="round $round: $(basename "$first") $(measure "$first")% of a core"
    if [[ -n "$other" ]]; then line+=", other $(measure "$other")% of a core"; fi
    echo "$line"
done
