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

ctest --test-dir build --output-on-failure -j2
