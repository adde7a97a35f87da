#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root (debootstrap, minimal variant) with
# apt, as a user would, then starts the installed zmsgd with demo accounts and the installed
# zmessenger with a remembered login, and checks that the program logs in.
# The pristine root is kept in ${ZM_DEBIAN_ROOT:-$BUILD_DIR/bookworm-root} and copied for every
# run, so each run installs into an untouched system. Needs root (chroot, mounts).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh debootstrap
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-pkg}")
export BUILD_DIR
# Always from the current sources: a package left from an earlier build would hide changes.
bash scripts/package.sh
deb=$(ls "$BUILD_DIR"/zelto-messenger_*.deb | head -n 1)
pristine=${ZM_DEBIAN_ROOT:-$BUILD_DIR/bookworm-root}

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ ! -x "$pristine/usr/bin/apt-get" ]; then
    echo "== Making a minimal Debian 12 root in $pristine"
    rm -rf "$pristine.part"
    debootstrap --variant=minbase bookworm "$pristine.part" http://deb.debian.org/debian >"$BUILD_DIR/debootstrap.log" 2>&1 \
        || { tail -n 20 "$BUILD_DIR/debootstrap.log"; fail "debootstrap"; }
    mv "$pristine.part" "$pristine"
fi

root=$(mktemp -d "$BUILD_DIR/clean-root.XXXXXX")
cleanup() {
    for m in dev/pts dev proc; do mountpoint -q "$root/$m" && umount -l "$root/$m"; done
    rm -rf "$root"
}
trap cleanup EXIT
cp -a "$pristine/." "$root/"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# What the installer writes on every Debian system and debootstrap leaves out.
printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

echo "== Installing $(basename "$deb") with apt"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$BUILD_DIR/clean-install.log" 2>&1 \
    || { tail -n 30 "$BUILD_DIR/clean-install.log"; fail "apt-get install of the package"; }
in_root dpkg -s zelto-messenger | grep -q '^Status: install ok installed' || fail "the package is not installed"

# The development certificate the package's client pins, with its key, for the server.
cert=$BUILD_DIR/certs/dev.pem
key=$BUILD_DIR/certs/dev.key
[ -f "$cert" ] && [ -f "$key" ] || fail "no development certificate and key in $BUILD_DIR/certs (a build with ZM_SERVER_CERT pins a real server)"
mkdir -p "$root/srv/zmsgd"
cp "$cert" "$root/srv/zmsgd/cert.pem"
cp "$key" "$root/srv/zmsgd/key.pem"

echo "== Starting the installed zmsgd and zmessenger"
chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin LANG=C.UTF-8 /usr/bin/zmsgd --demo --database /srv/zmsgd/zmsgd.sqlite --cert /srv/zmsgd/cert.pem --key /srv/zmsgd/key.pem \
    >"$BUILD_DIR/clean-zmsgd.out" 2>"$BUILD_DIR/clean-zmsgd.log" &
server=$!
for _ in $(seq 100); do
    grep -q '^listening messaging' "$BUILD_DIR/clean-zmsgd.out" && break
    kill -0 "$server" 2>/dev/null || { cat "$BUILD_DIR/clean-zmsgd.log"; fail "zmsgd did not start"; }
    sleep 0.1
done

# A remembered login ("Stay logged in"), so the program logs in by itself at start.
encode() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | base64 -w0; }
home=$root/home/user
mkdir -p "$home/.config/Zelto"
cat >"$home/.config/Zelto/Zelto Messenger.conf" <<EOF
[Login]
Autologin=true
Name=$(encode alice)
Password=$(encode alice123)
EOF
set +e
chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/user XDG_CONFIG_HOME=/home/user/.config \
    XDG_RUNTIME_DIR=/tmp LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    timeout 15 /usr/bin/zmessenger --noupdate >"$BUILD_DIR/clean-client.log" 2>&1 &
client=$!
logged_in=no
for _ in $(seq 150); do
    grep -q '(alice) logged in' "$BUILD_DIR/clean-zmsgd.log" && { logged_in=yes; break; }
    sleep 0.1
done
kill "$client" 2>/dev/null
wait "$client"
kill "$server" 2>/dev/null
wait "$server"
set -e
if [ "$logged_in" != yes ]; then
    cat "$BUILD_DIR/clean-client.log" "$BUILD_DIR/clean-zmsgd.log"
    fail "the installed zmessenger did not log in to the installed zmsgd"
fi
echo "OK: the package installs on a clean Debian 12 and its program logs in to zmsgd"
