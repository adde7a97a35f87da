#!/usr/bin/env bash
# Builds the Debian package zelto-messenger_<version>_<arch>.deb in ${BUILD_DIR:-build-pkg}
# (release build, installed under /usr) and checks it: control fields, contents, the desktop
# and AppStream files inside it, that apt could install it on this system, and that the
# program in it starts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh dpkg-dev file
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-pkg}")
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DZM_BUILD_TESTS=OFF -DZM_BUILD_BENCH=OFF -DZM_BUILD_FUZZERS=OFF "$@"
cmake --build "$BUILD_DIR" -j"$JOBS"
rm -f "$BUILD_DIR"/zelto-messenger_*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/zelto-messenger_*.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb" | tee "$BUILD_DIR/package-contents.txt"

depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt5core5a libqt5widgets5 libqt5network5 libssl3; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# The libraries' soname links must be in the package, the development links too since
# the headers and the CMake config are.
for path in ./usr/bin/zmessenger \
            ./usr/share/applications/zmessenger.desktop \
            ./usr/share/metainfo/com.zelto.messenger.metainfo.xml \
            ./usr/share/icons/hicolor/48x48/apps/zmessenger.png \
            ./usr/share/icons/hicolor/scalable/apps/zmessenger.svg \
            ./usr/include/zmsgfw1/zmsgfwwire.h ./usr/include/zguifw1/zguifw.h \
            "/cmake/ZeltoMessenger/ZeltoMessengerConfig.cmake" \
            "/libzmsgfw1.so.1" "/libzguifw1.so.1" "/libzmsgfw1.so " "/libzguifw1.so " \
            "/translations/zm_de.qm"; do
    grep -qF -- "$path" <(sed 's/ ->.*/ /; s/$/ /' "$BUILD_DIR/package-contents.txt") \
        || fail "the package lacks $path"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/zmessenger.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.zelto.messenger.metainfo.xml" || fail "appstreamcli validate"

# Dependency resolution against the configured Debian archive, without installing anything.
if apt-get install --simulate -qq "$deb" >"$BUILD_DIR/apt-simulate.txt" 2>&1; then
    echo "apt could install the package"
else
    cat "$BUILD_DIR/apt-simulate.txt"
    fail "apt cannot resolve the package's dependencies"
fi

# The program from the package starts (it finds its libraries through its RPATH) and stays
# up until it is stopped; a crash or a missing library ends it early.
home=$root/home
mkdir -p "$home"
set +e
HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
    timeout 5 "$root/usr/bin/zmessenger" --noupdate >"$BUILD_DIR/start.log" 2>&1
rc=$?
set -e
[ "$rc" -eq 124 ] || { cat "$BUILD_DIR/start.log"; fail "zmessenger from the package ended with $rc within 5 s"; }
echo "OK: $deb"
