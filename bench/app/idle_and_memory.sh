#!/usr/bin/env bash
# The real program's idle CPU and resident memory, with its lines open and nothing happening.
#   bench/app/idle_and_memory.sh [--full] [SECONDS] [BUILD_DIR]
# --full starts it on 65,535 contacts and 65,535 call-log entries (written by write_full_stores).
# It runs offscreen in a private data folder, runtime folder and registry, waits until the lines
# are open (Kestrium's link socket appears) and 12 s more (the text cursor blinks for 10 s after the
# last input, as on desktops; idle means after that), then counts the CPU clock ticks
# (utime + stime of /proc/PID/stat, USER_HZ per second) over SECONDS (default 60) and reads VmRSS.
# It also lists, per thread, the CPU ticks and the times it woke up (voluntary context switches)
# over the same time, so a thread that still wakes while idle shows by name.
set -euo pipefail
full=0
if [[ ${1:-} == --full ]]; then full=1; shift; fi
seconds=${1:-60}
build=${2:-build}
bin=$(cd "$build/bin" && pwd)

work=$(mktemp -d)
trap 'kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -m 700 "$work/run" "$work/data"
if (( full )); then "$bin/write_full_stores" "$work/data"; fi

cd "$work/data"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" KESTRIUM_REGISTRY="$work/registry.reg" \
  "$bin/kestrium" >"$work/kestrium.log" 2>&1 &
pid=$!
for _ in $(seq 200); do [[ -S $work/run/kestrium.sock ]] && break; sleep 0.1; done
[[ -S $work/run/kestrium.sock ]] || { echo "Kestrium did not open its lines"; cat "$work/kestrium.log"; exit 1; }
sleep 12

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
# One line per thread: id, ticks, wake-ups, name.
threads() {
  local task
  for task in /proc/$pid/task/*; do
    local id=${task##*/} stat
    stat=$(<"$task/stat") 2>/dev/null || continue
    local fields=(${stat##*) })
    echo "$id $((fields[11] + fields[12])) $(awk '/^voluntary_ctxt_switches:/ { print $2 }' "$task/status") $(tr " " _ <"$task/comm")"
  done
}
threads_before=$(threads)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
threads_after=$(threads)
rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")
hz=$(getconf CLK_TCK)
echo "stores: $( ((full)) && echo '65,535 contacts and 65,535 call-log entries' || echo empty)"
echo "idle CPU: $((after - before)) ticks in ${seconds} s (${hz} ticks a second)"
echo "resident memory: ${rss} MiB"
echo "per thread (ticks, wake-ups):"
join <(sort <<<"$threads_before") <(sort <<<"$threads_after") |
  awk '{ printf "  %-16s %4d ticks %6d wake-ups\n", $4, $5 - $2, $6 - $3 }'
threads_new=$(join -v 2 <(sort <<<"$threads_before") <(sort <<<"$threads_after") | awk '{ print $4 }')
[[ -z $threads_new ]] || echo "  threads started while idle:" $threads_new
threads_gone=$(join -v 1 <(sort <<<"$threads_before") <(sort <<<"$threads_after") | awk '{ print $4 }')
[[ -z $threads_gone ]] || echo "  threads ended while idle:" $threads_gone
