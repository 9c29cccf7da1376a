#!/usr/bin/env bash
# The real program's start-up as a user meets it, process creation included:
#   bench/app/startup_process.sh [--full] [RUNS] [BUILD_DIR]
# --full starts it on 65,535 contacts and 65,535 call-log entries (written by write_full_stores).
# Each run starts the program offscreen in a private runtime folder and registry and times it
# from the start of the process until Kestrium's link socket listens: by then the stores are
# loaded, the window is shown and filled and the lines are open (the socket comes last; the
# window's first paint follows in the next turn of the event loop). The program is then ended
# (it saves its stores) before the next run. Prints each run and the median, in milliseconds.
set -euo pipefail
full=0
if [[ ${1:-} == --full ]]; then full=1; shift; fi
runs=${1:-10}
build=${2:-build}
bin=$(cd "$build/bin" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/data"
if (( full )); then "$bin/write_full_stores" "$work/data"; fi
# On disk before the first run, as a user's data folder is: no write-back beside the start-up.
sync

python3 - "$bin/kestrium" "$work" "$runs" <<'EOF'
import os, statistics, subprocess, sys, time

program, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = []
for run in range(runs):
    runtime = os.path.join(work, f"run{run}")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
               KESTRIUM_REGISTRY=os.path.join(work, f"registry{run}.reg"))
    socket = os.path.join(runtime, "kestrium.sock")
    start = time.perf_counter()
    process = subprocess.Popen([program], cwd=os.path.join(work, "data"), env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not os.path.exists(socket):
        if process.poll() is not None or time.perf_counter() - start > 30:
            sys.exit("Kestrium did not start")
        time.sleep(0.0002)
    times.append((time.perf_counter() - start) * 1000)
    process.terminate()
    process.wait()
    time.sleep(0.5)
print("start-up to the window up and the lines open (ms):", " ".join(f"{t:.0f}" for t in times))
print(f"median {statistics.median(times):.0f} ms, fastest {min(times):.0f} ms")
EOF
