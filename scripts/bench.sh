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
for program in "${programs[@]}"; do
    arguments=()
    if [ "$program" = startup_x11 ]; then
        if ! command -v Xvfb >/dev/null; then
            echo "startup_x11 skipped: Xvfb is not installed"
            echo "| $program | skipped: Xvfb is not installed | | |" >>"$results"
            continue
        fi
        if have_psi; then
            arguments=(--compare psi)
        else
            echo "startup_x11: psi could not be installed (see $BUILD_DIR/psi-install.log); no comparison"
            echo "| $program: comparison with psi | skipped: psi could not be installed | | |" >>"$results"
        fi
    fi
    home=$(mktemp -d)
    out=$BUILD_DIR/bench/$program.out
    set +e
    # Run inside the private home: the client writes its sound file to the working directory.
    (cd "$home" && HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
        timeout 900 "$BUILD_DIR/bench/$program" "${arguments[@]}" >"$out" 2>"$BUILD_DIR/bench/$program.err")
    rc=$?
    set -e
    rm -rf "$home"
    if [ "$rc" -ne 0 ]; then
        echo "| $program | failed (exit $rc, see bench/$program.err) | | no |" >>"$results"
        status=1
    fi
    if ! grep -q '^FIGURE ' "$out"; then
        [ "$rc" -eq 0 ] && echo "| $program | printed no figures | | no |" >>"$results"
        status=1
        continue
    fi
    while IFS='|' read -r name value unit target met; do
        name=${name#FIGURE }
        echo "| $name | $value $unit | $target | $met |" >>"$results"
        [ "$met" = "yes" ] || status=1
    done < <(grep '^FIGURE ' "$out")
done

cat "$results"
exit $status
