#!/usr/bin/env bash
# Builds the monitor and runs every test: installs the packages, builds,
# starts a Firebird server on loopback and an X server for the window tests,
# runs CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

# The client/server tests need a Firebird server on loopback with the
# monitor's SYSDBA password.
source scripts/firebird-server.sh
firebird_server_start

# The end-to-end tests run the real program on a display: Xvfb :99 when
# there is none.
if [ -z "${DISPLAY:-}" ]; then
    Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X99 ] && break; sleep 0.1; done
    export DISPLAY=:99
fi

ctest --test-dir build --output-on-failure -j2
