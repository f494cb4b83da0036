#!/usr/bin/env bash
# Takes the README's pictures of the main window, the splash window and the
# job list after converting three corpus workbooks (real LibreOffice and
# Ghostscript), drawn by the program's own code on the X11 platform of an
# Xvfb server:
#   docs/images/main-window.png, docs/images/splash.png, docs/images/job-list.png
# Usage: scripts/screenshot.sh [BUILD_DIR]   (after make build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
corpus=${QUILLMER_CORPUS:-$here/../shared/corpus}
cmake --build "$build" --target quillmer-screenshot Quillmer
mkdir -p "$here/docs/images"
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -noreset" \
  env QT_QPA_PLATFORM=xcb "$build/src/app/quillmer-screenshot" "$build/Quillmer" "$here/docs/images" \
  "$corpus"
echo "Wrote $here/docs/images/main-window.png, splash.png and job-list.png"
