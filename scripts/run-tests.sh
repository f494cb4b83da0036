#!/usr/bin/env bash
# Runs every test. Widget tests use Qt's offscreen platform; the X11 tests
# talk to an Xvfb server started here for the run. The server must not reset
# when its last client leaves, or a test that connects just then is refused.
# Arguments after the build folder go to ctest (-LE office: no LibreOffice).
set -euo pipefail
build=${1:-build}
shift || true
export QT_QPA_PLATFORM=offscreen
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -noreset" \
  ctest --test-dir "$build" --output-on-failure --timeout 900 -j "$(nproc)" "$@"
