#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrium in its data folder
# ($KESTRIUM_DATA, default ~/Kestrium, created when missing).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

./scripts/install-deps
cmake -S . -B build -G Ninja
# The program with its telephony service, the settings dialogs and the command-line tools.
cmake --build build -j2 --target kestrium-programs

data=${KESTRIUM_DATA:-$HOME/Kestrium}
mkdir -p "$data"
cd "$data"
exec "$root/build/bin/kestrium" "$@"
