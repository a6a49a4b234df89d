#!/bin/bash
# Sets up, builds and runs every test under Wine; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
source scripts/lib/wine-session.sh
wine_session_build
wine_session_start virtual
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 120 "$@"
