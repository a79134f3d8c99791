#!/usr/bin/env bash
# The monitor at work on a demo workstation: installs the packages, builds,
# prepares an ERP database with a few companies and MDF-e records in a
# temporary folder, starts a stand-in ERP program and the monitor (on an X
# server of its own when there is no display), drops some of the
# transmitter's answers into the exchange folders, then stops the ERP so the
# monitor ends itself, and shows what it did. Unattended; needs no display.
# VELMORA_BUILD_DIR names another build folder than build/.
set -euo pipefail

# Installing packages, making the locale and starting the Firebird server all
# need root; without it the run would fail half-way with a less clear error.
if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/demo.sh must run as root (apt-get, locale-gen, the Firebird server): run it as root" >&2
    exit 1
fi
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh

build="${VELMORA_BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target velmoraMonitorMDFe demo-setup

demo=$(mktemp -d /tmp/velmora-demo-XXXXXX)
chmod 755 "$demo"
setup="$repo/$build/tools/demo-setup"

erp_pid="" monitor_pid="" xvfb_pid=""
cleanup() {
    for pid in "$monitor_pid" "$erp_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }

step "Demo workstation in $demo"
# Sistema/ holds the program and the ERP's local INI file, Dados/ the server
# configuration and the database, Update/ the update folder, Troca/ the
# exchange tree the transmitter and the monitor share.
"$setup" prepare "$demo" "$repo/tools/erp-schema.sql"
cp -p "$build/velmoraMonitorMDFe" "$demo/Sistema/"
# The update check finds the updater and a copy of the program with the same
# last-write time: the program is current, nothing is downloaded or replaced.
mkdir -p "$demo/Update"
printf 'stand-in updater\n' >"$demo/Update/velmoraAtualizador.exe"
cp -p "$demo/Sistema/velmoraMonitorMDFe" "$demo/Update/"
# The monitor keeps running only while an ERP program runs.
mkdir -p "$demo/erp"
cp /bin/sleep "$demo/erp/velmoraEmpresa.exe"
"$demo/erp/velmoraEmpresa.exe" 3600 &
erp_pid=$!

if [ -z "${DISPLAY:-}" ]; then
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$demo/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.2; done
    export DISPLAY=":$display"
    step "No display: the monitor runs on Xvfb $DISPLAY"
fi

# Its own home (the first-run steps write a desktop launcher there) and its
# own runtime folder (the single-instance marker), so the demo touches
# nothing of the user's and meets no monitor the user runs.
mkdir -p "$demo/home" "$demo/runtime"
chmod 700 "$demo/runtime"

step "Starting the monitor"
(cd "$demo/Sistema" && exec env HOME="$demo/home" XDG_RUNTIME_DIR="$demo/runtime" ./velmoraMonitorMDFe) \
    >"$demo/monitor.log" 2>&1 &
monitor_pid=$!
sleep 7
if ! kill -0 "$monitor_pid" 2>/dev/null; then
    echo "the monitor ended during start-up:" >&2
    cat "$demo/monitor.log" >&2
    exit 1
fi
echo "running (pid $monitor_pid); first cycle done, ticking every 5 s"

step "The transmitter answers"
"$setup" drop "$demo"
echo "waiting for the next ticks..."
sleep 15
if command -v import >/dev/null; then
    import -window root "$demo/screen.png" 2>/dev/null && echo "screenshot: $demo/screen.png"
fi

step "Ending the ERP program: the monitor ends itself at its next tick"
kill "$erp_pid"
wait "$erp_pid" 2>/dev/null || true
erp_pid=""
ended=no
for _ in $(seq 120); do
    if ! kill -0 "$monitor_pid" 2>/dev/null; then ended=yes; break; fi
    sleep 0.5
done
status=0
if [ "$ended" = yes ]; then
    wait "$monitor_pid" && code=0 || code=$?
    echo "the monitor ended (exit code $code)"
    [ "$code" -eq 0 ] || status=1
else
    echo "the monitor did not end within 60 s (a message box may be waiting); stopping it" >&2
    status=1
fi
monitor_pid=""
cleanup

step "MDF-e records"
"$setup" report "$demo"

step "Exchange folders"
(cd "$demo/Troca" && find . -type f | sed 's|^\./||' | sort)

journal="$demo/home/.local/state/velmoraMonitorMDFe/monitor.log"
if [ -s "$journal" ]; then
    step "The monitor's journal ($journal)"
    cat "$journal"
fi

if [ -s "$demo/monitor.log" ]; then
    step "Monitor output"
    cat "$demo/monitor.log"
fi

echo
echo "demo folder: $demo"
exit "$status"
