#!/usr/bin/env bash
# How much processor time the tool takes while it sits idle.
#
# Starts `morvax-tool --simulate` (offscreen unless QT_QPA_PLATFORM says
# otherwise) in a copy of the demo folder, lets it come up, then reads the
# process's processor time (user + system, every thread) before and after
# SECONDS_IDLE seconds of doing nothing, and its threads' wake-ups (context
# switches) over the same time. Prints the figures; not part of the test run.
#
# Usage: bench/idle_cpu.sh [morvax-tool] [seconds]   (default build/app/morvax-tool, 60)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tool="$(realpath "${1:-$here/../build/app/morvax-tool}")"
seconds="${2:-60}"
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r "$here/../demo/." "$work/"
mkdir -m 700 "$work/runtime"

cd "$work"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" XDG_RUNTIME_DIR="$work/runtime" \
  "$tool" --simulate >"$work/tool.log" 2>&1 &
pid=$!
sleep 3  # the start-up picture's second and the opening steps

# Processor time of the whole process in clock ticks (fields 14 and 15 of
# /proc/<pid>/stat), and in nanoseconds from every thread's schedstat.
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
nanos() { cat /proc/"$pid"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s }'; }
switches() {  # thread id, name (blanks made _), context switches
  for t in /proc/"$pid"/task/*; do
    printf '%s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" \
      "$(awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { s += $2 } END { print s }' "$t/status")"
  done | sort
}

t0=$(ticks); n0=$(nanos); s0="$(switches)"
sleep "$seconds"
kill -0 "$pid" 2>/dev/null || { echo "the tool ended early"; cat "$work/tool.log"; exit 1; }
t1=$(ticks); n1=$(nanos); s1="$(switches)"

hz=$(getconf CLK_TCK)
echo "idle for ${seconds} s: processor time of morvax-tool --simulate"
awk -v t="$((t1 - t0))" -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "  /proc stat (user+system):  %d ticks = %.3f s = %.3f %%\n", t, t / hz, 100 * t / hz / s }'
awk -v n="$((n1 - n0))" -v s="$seconds" \
  'BEGIN { printf "  threads run time:          %.4f s = %.3f %%  (target <= 0.2 %%)\n", n / 1e9, 100 * n / 1e9 / s }'
echo "  wake-ups per second by thread:"
join <(echo "$s0") <(echo "$s1") | awk -v s="$seconds" '{ printf "    %-16s %8.2f\n", $2, ($5 - $3) / s }'
