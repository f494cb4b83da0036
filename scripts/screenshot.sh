#!/usr/bin/env bash
# Takes the README's pictures of the main window and the splash window, drawn
# by the program's own code on the X11 platform of an Xvfb server:
#   docs/images/main-window.png, docs/images/splash.png
# Usage: scripts/screenshot.sh [BUILD_DIR]   (after make build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target quillmer-screenshot Quillmer
mkdir -p "$here/docs/images"
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -noreset" \
  env QT_QPA_PLATFORM=xcb "$build/src/app/quillmer-screenshot" "$build/Quillmer" "$here/docs/images"
echo "Wrote $here/docs/images/main-window.png and splash.png"
