#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the local run need,
# but only when something is missing, so repeated runs stay fast.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config openssl
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools
  qtmultimedia5-dev libqt5multimedia5-plugins libqt5sql5-sqlite libqt5svg5-dev
  libsodium-dev zlib1g-dev
  qttranslations5-l10n
  xvfb xauth x11-utils libxcb1-dev imagemagick librsvg2-bin
  desktop-file-utils appstream
  qtkeychain-qt5-dev libsecret-1-0
  dbus-daemon gnome-keyring libsecret-tools
)
PACKAGES+=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
