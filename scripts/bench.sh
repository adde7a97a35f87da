#!/usr/bin/env bash
# Builds the benchmark programs in release mode in ${BUILD_DIR:-build-release}, runs every
# program of bench/ and prints one table of their figures (see bench/README.md for the line
# format the programs print). The table also goes to $BUILD_DIR/bench-results.md.
# Exits with 1 when a program fails or a figure misses its target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-release}")
JOBS=${JOBS:-$(nproc)}
mkdir -p "$BUILD_DIR"

# Tests are configured for their loopback server fixture, which some programs use; only the
# programs are built.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DZM_BUILD_BENCH=ON -DZM_BUILD_TESTS=ON \
    -DZM_BUILD_FUZZERS=OFF >"$BUILD_DIR/configure.log" 2>&1 || { cat "$BUILD_DIR/configure.log"; exit 1; }

programs=()
for source in bench/*.cpp; do
    programs+=("$(basename "$source" .cpp)")
done
[ ${#programs[@]} -gt 0 ] || { echo "no programs in bench/"; exit 1; }
cmake --build "$BUILD_DIR" -j"$JOBS" --target "${programs[@]}"

# psi, a Qt desktop messenger from Debian, is the yardstick of the X11 start-up figures. It is
# installed here for that comparison only; nothing else needs it.
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
have_psi() {
    command -v psi >/dev/null && return 0
    echo "Installing psi for the start-up comparison"
    { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends psi ||
        { $SUDO apt-get update -qq &&
          DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends psi; }
    } >"$BUILD_DIR/psi-install.log" 2>&1
    command -v psi >/dev/null
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
results=$BUILD_DIR/bench-results.md
{
    echo "Measured $(date -u +%Y-%m-%d) on: ${cpu:-unknown CPU}, $(nproc) cores, $memory RAM, $os; release build, offscreen platform; the X11 start-up figures under Xvfb."
    echo
    echo "| Figure | Value | Target | Met |"
    echo "|---|---|---|---|"
} >"$results"

status=0
# Runs one program in a private home and adds its figures to the table. With "x11" as second
# argument it runs on an X server of its own (xvfb-run) instead of the offscreen platform.
run_program() {
    local program=$1 display=${2:-}
    local arguments=()
    if [ "$program" = startup_x11 ]; then
        if ! command -v Xvfb >/dev/null; then
            echo "startup_x11 skipped: Xvfb is not installed"
            echo "| $program | skipped: Xvfb is not installed | | |" >>"$results"
            return
        fi
        if have_psi; then
            arguments=(--compare psi)
        else
            echo "startup_x11: psi could not be installed (see $BUILD_DIR/psi-install.log); no comparison"
            echo "| $program: comparison with psi | skipped: psi could not be installed | | |" >>"$results"
        fi
    fi
    local platform=offscreen launcher=() suffix=""
    if [ "$display" = x11 ]; then
        platform=xcb
        launcher=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")
        suffix=-x11
    fi
    local home out rc
    home=$(mktemp -d)
    out=$BUILD_DIR/bench/$program$suffix.out
    set +e
    # Run inside the private home: the client writes its sound file to the working directory.
    (cd "$home" && HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=$platform LANG=C.UTF-8 \
        timeout 900 "${launcher[@]}" "$BUILD_DIR/bench/$program" "${arguments[@]}" >"$out" \
        2>"$BUILD_DIR/bench/$program$suffix.err")
    rc=$?
    set -e
    rm -rf "$home"
    if [ "$rc" -ne 0 ]; then
        echo "| $program$suffix | failed (exit $rc, see bench/$program$suffix.err) | | no |" >>"$results"
        status=1
    fi
    if ! grep -q '^FIGURE ' "$out"; then
        [ "$rc" -eq 0 ] && echo "| $program$suffix | printed no figures | | no |" >>"$results"
        status=1
        return
    fi
    local name value unit target met
    while IFS='|' read -r name value unit target met; do
        name=${name#FIGURE }
        echo "| $name | $value $unit | $target | $met |" >>"$results"
        [ "$met" = "yes" ] || status=1
    done < <(grep '^FIGURE ' "$out")
}

for program in "${programs[@]}"; do
    run_program "$program"
done
# The memory of a logged-in program also on an X server, where a desktop session's libraries count.
if command -v xvfb-run >/dev/null && command -v Xvfb >/dev/null; then
    run_program startup_memory x11
else
    echo "| startup_memory under X11 | skipped: xvfb-run is not installed | | |" >>"$results"
fi

cat "$results"
exit $status
