#!/usr/bin/env bash
# Makes the manual's pictures again: builds the window tour and runs it on a virtual X
# display, which saves every window in the states a user meets into core/manual/pictures/.
# The next build puts them into the program. Needs xvfb (installed with the rest).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build_dir=${VANTREL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target window_tour zipbridge
out=core/manual/pictures
mkdir -p "$out"
unset QT_QPA_PLATFORM
VANTREL_BUILD_DIR="$build_dir" xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build_dir/window_tour" --shots "$out"
echo "Pictures written to $out:"
ls "$out"
