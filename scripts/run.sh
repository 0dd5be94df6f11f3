#!/usr/bin/env bash
# Installs what is missing, builds, and runs Vantrel on the default profile
# (or the one VANTREL_HOME names). Without a display it runs headless.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
exec ./build/vantrel "$@"
