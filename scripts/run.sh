#!/usr/bin/env bash
# Sets up the machine, builds the client and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh build
exec ./build/bin/vobugame "$@"
