#!/usr/bin/env bash
# Installs what is missing, builds, starts the local server with demo accounts and opens the
# client on it. Demo accounts: alice/alice123, bob/bob123, carol/carol123.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BUILD_DIR=$(realpath "${BUILD_DIR:-build}")
DATA_DIR=${ZM_RUN_DIR:-$HOME/.local/share/zmsgd-dev}
mkdir -p "$DATA_DIR"

cleanup() {
    [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null || true
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running the client under Xvfb on :99 (take a look with 'import -display :99 -window root shot.png')."
    Xvfb :99 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:99
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

"$BUILD_DIR/server/zmsgd" --demo --database "$DATA_DIR/zmsgd.sqlite" > "$DATA_DIR/zmsgd.out" 2> "$DATA_DIR/zmsgd.log" &
SERVER_PID=$!
for _ in $(seq 100); do
    grep -q '^listening messaging' "$DATA_DIR/zmsgd.out" 2>/dev/null && break
    kill -0 "$SERVER_PID" 2>/dev/null || { echo "zmsgd failed to start:"; cat "$DATA_DIR/zmsgd.log"; exit 1; }
    sleep 0.1
done
echo "zmsgd is running (log: $DATA_DIR/zmsgd.log). Log in as alice / alice123."
"$BUILD_DIR/src/ZeltoMessengerClient/zmessenger" "$@"
