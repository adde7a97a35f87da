#!/usr/bin/env bash
# Runs a test program with a HOME and XDG directories of its own, removed afterwards, so that
# no test reads or writes the real user's settings, history or caches.
set -u
home=$(mktemp -d "${TMPDIR:-/tmp}/zm-test-home.XXXXXX") || exit 1
mkdir -p "$home/.config" "$home/.local/share" "$home/.cache" "$home/runtime"
chmod 700 "$home/runtime"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_CACHE_HOME=$home/.cache \
    XDG_RUNTIME_DIR=$home/runtime "$@"
status=$?
rm -rf "$home"
exit $status
