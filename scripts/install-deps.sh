#!/usr/bin/env bash
# Installs every Debian package the monitor, its tests, its tools and its
# demo need. Safe to run again: apt-get skips what is already there.
set -euo pipefail

# Installing packages, making the locale and starting the Firebird server all
# need root; without it the run would fail half-way with a less clear error.
if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/install-deps.sh must run as root (apt-get, locale-gen, the Firebird server): run it as root" >&2
    exit 1
fi

packages=(
  build-essential cmake pkg-config git
  libfbclient2 firebird-dev firebird3.0-server-core firebird3.0-server firebird3.0-utils
  qt6-base-dev libgl-dev qt6-translations-l10n
  libpugixml-dev libcurl4-openssl-dev libssl-dev libspdlog-dev
  libgtest-dev
  xvfb xauth xdotool x11-utils
  libxml2-utils openssl python3
  xdg-user-dirs xdg-utils
  clang libclang-rt-14-dev clang-format
  locales
)

missing=()
for p in "${packages[@]}"; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Brazilian locale the ERP's users have: the tests read the system's
# short date, long time and thousands separator from it.
if ! locale -a 2>/dev/null | grep -qi '^pt_BR\.utf-\?8$'; then
  sed -i 's/^# *\(pt_BR\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^pt_BR\.UTF-8 UTF-8' /etc/locale.gen || echo 'pt_BR.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
