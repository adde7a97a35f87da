#!/usr/bin/env bash
# Installs a configured and built tree into a temporary prefix and checks what a distribution
# and a third-party program rely on: the desktop file and the AppStream metainfo validate, the
# icons and translations are in place, and a separate CMake project finds the protocol library
# with find_package and runs against it.
# Usage: check_install.sh BUILD_DIR [CMAKE ARGUMENTS FOR THE CONSUMER...]
# The extra arguments carry the build's compiler and flags, so that a sanitizer build's
# libraries are used by a program built the same way.
set -euo pipefail

build=$(realpath "$1")
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

[ -x "$prefix/bin/zmessenger" ] || fail "bin/zmessenger is not installed"
desktop=$prefix/share/applications/zmessenger.desktop
[ -f "$desktop" ] || fail "the desktop file is not installed"
metainfo=$(find "$prefix/share" -path '*/metainfo/*.metainfo.xml' | head -n 1)
[ -n "$metainfo" ] || fail "no AppStream metainfo is installed"
[ -f "$prefix/share/icons/hicolor/48x48/apps/zmessenger.png" ] || fail "the hicolor icons are not installed"
[ -f "$prefix/share/icons/hicolor/scalable/apps/zmessenger.svg" ] || fail "the scalable icon is not installed"
[ -n "$(find "$prefix/share" -path '*/zmessenger/translations/*.qm')" ] || fail "no translations are installed"
[ -n "$(find "$prefix" -path '*/zmessenger/zmsound.so')" ] || fail "the sound module is not installed"
config=$(find "$prefix" -path '*/cmake/ZeltoMessenger/ZeltoMessengerConfig.cmake' | head -n 1)
[ -n "$config" ] || fail "the CMake package config is not installed"
[ -f "$prefix/include/zmsgfw1/zmsgfw_export.h" ] && [ -f "$prefix/include/zguifw1/zguifw_export.h" ] \
    || fail "library headers are missing"
# Only the public headers: the protocol engines, the connection, the line reader and the
# endpoint are internals, and every installed header must find what it includes.
for private in zmsgfw10protocol.h zmsgfw11protocol.h zmsgfwconnection.h zmsgfwlinereader.h zmsgfwendpoint.h; do
    [ ! -e "$prefix/include/zmsgfw1/$private" ] || fail "the private header $private is installed"
done
for header in "$prefix"/include/zmsgfw1/*.h "$prefix"/include/zguifw1/*.h; do
    for included in $(sed -n 's/^#include "\(.*\)"/\1/p' "$header"); do
        [ -e "$(dirname "$header")/$included" ] || fail "$(basename "$header") includes $included, which is not installed"
    done
done

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
    echo "desktop-file-validate not found: skipped (apt-get install desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
else
    echo "appstreamcli not found: skipped (apt-get install appstream)"
fi

cmake -S "$here/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" "$@" >"$work/consumer.log" 2>&1 \
    || { cat "$work/consumer.log"; fail "find_package(ZeltoMessenger) in a separate project"; }
cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "building against Zelto::zmsgfw"; }
QT_QPA_PLATFORM=offscreen "$work/consumer/consumer" || fail "the consumer program"
# The consumer must have run against the installed library, not the build tree's.
# Resolved paths on both sides, and no "ldd | grep -q": with pipefail, grep leaving early makes
# ldd die of SIGPIPE and the check fail at random.
linked=$(ldd "$work/consumer/consumer" | awk '/libzmsgfw1\.so/ { print $3 }')
[ -n "$linked" ] || fail "the consumer does not load libzmsgfw1"
case "$(realpath "$linked")" in
    "$(realpath "$prefix")"/*) ;;
    *) fail "the consumer did not link the installed library but $linked" ;;
esac
echo "install tree OK"
