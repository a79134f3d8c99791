#!/usr/bin/env bash
# Builds the monitor and runs every test: installs the packages, builds,
# starts a Firebird server on loopback and an X server for the window tests,
# runs CTest.
set -euo pipefail

# Installing packages, making the locale and starting the Firebird server all
# need root; without it the run would fail half-way with a less clear error.
if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/test.sh must run as root (apt-get, locale-gen, the Firebird server): run it as root" >&2
    exit 1
fi
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

ctest --test-dir build --output-on-failure -j2 | tee build/ctest.log

# The whole suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer. LeakSanitizer skips thread-local storage (its
# tracer crashes on the slots a dlclose leaves behind) and tests/lsan.supp
# names what the libraries we use keep until exit.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0:use_tls=0" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j2 | tee build-asan/ctest.log

# Each libFuzzer target for a short while (clang builds them; the stage is
# skipped without it). The corpus is copied so that what a run finds stays
# out of the repository; a crash leaves its input in the scratch folder,
# named in the output.
if command -v clang++ >/dev/null; then
    cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON >/dev/null
    cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets
    fuzz_scratch=$(mktemp -d)
    for target in numero_lote recibo processamento evento situacao erro ini data_hora mascara; do
        mkdir -p "$fuzz_scratch/$target"
        cp tests/fuzz/corpus/"$target"/* "$fuzz_scratch/$target/"
        dict=()
        case $target in ini | data_hora | mascara) ;; *) dict=(-dict=tests/fuzz/mdfe.dict) ;; esac
        echo "fuzz_$target"
        ASAN_OPTIONS=detect_leaks=1 \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0:use_tls=0" \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time=20 -timeout=10 -rss_limit_mb=4096 \
            -print_final_stats=1 -artifact_prefix="$fuzz_scratch/" "${dict[@]}" "$fuzz_scratch/$target" \
            >"$fuzz_scratch/$target.log" 2>&1 || {
            tail -n 60 "$fuzz_scratch/$target.log"
            echo "fuzz_$target failed; its input is in $fuzz_scratch" >&2
            exit 1
        }
        grep -E '^stat::number_of_executed_units|^Done ' "$fuzz_scratch/$target.log" || true
    done
    rm -rf "$fuzz_scratch"
fi

# One closing line for both runs of the suite (the fuzz output comes last).
passed=0
for log in build/ctest.log build-asan/ctest.log; do
    n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")
    passed=$((passed + ${n:-0}))
done
echo "tests: $passed passed, 0 failed"
