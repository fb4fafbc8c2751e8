#!/usr/bin/env bash
# Builds Кадролог into build/, prepares a fresh Data folder beside the program and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKADROL_TESTS=OFF >/dev/null
cmake --build "$root/build"
"$root/build/kadrol-admin" prepare "$root/build"
cd "$root/build"
if [ ! -x ./kadrol ]; then
  echo "The Data folder is ready in $root/build/Data; the program's window is not built yet."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting the program under Xvfb on :99"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./kadrol "$@"
fi
exec ./kadrol "$@"
