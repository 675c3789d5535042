#!/bin/sh
# Installs what is missing, builds Kyv and starts the demo: in a window when a display is
# available, otherwise as a screenshot written to build/release/kyvdemo.png. Until the demo
# program is built, it renders the vertical status bar in each band with kyvhost instead.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build/release
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$dir" -j2
if [ -x "$dir/bin/KyvDemo" ]; then
  if [ -n "${DISPLAY:-}" ]; then
    exec "$dir/bin/KyvDemo"
  fi
  QT_QPA_PLATFORM=offscreen "$dir/bin/KyvDemo" --screenshot "$dir/kyvdemo.png" --start-all --seconds 5
  exit 0
fi
"$dir/bin/kyvhost" docs/tour.kyv
echo "The vertical status bar in each band: $(pwd)/vstatus-low.png, vstatus-normal.png, vstatus-high.png"
