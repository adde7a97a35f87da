#!/usr/bin/env bash
# Fails when a room of the client includes a header of a room above it. The rooms, lowest
# first: platform, core, ui, app; testhooks may use them all and nothing uses it.
# Usage: scripts/check-layers.sh [CLIENT_DIR]
set -euo pipefail
client=${1:-"$(dirname "$0")/../src/ZeltoMessengerClient"}
rooms=(platform core ui app testhooks)

room_of_header() {
    local header=$1 room
    for room in "${rooms[@]}"; do
        [ -e "$client/$room/$header" ] && { echo "$room"; return; }
    done
    # Generated form headers belong to the windows.
    case $header in ui_*.h) echo ui ;; esac
}

rank() {
    local i
    for i in "${!rooms[@]}"; do [ "${rooms[$i]}" = "$1" ] && { echo "$i"; return; }; done
}

status=0
for room in "${rooms[@]}"; do
    [ -d "$client/$room" ] || continue
    while IFS= read -r -d '' file; do
        while IFS= read -r header; do
            target=$(room_of_header "$header")
            [ -n "$target" ] || continue
            if [ "$(rank "$target")" -gt "$(rank "$room")" ]; then
                echo "upward include: ${file#"$client"/} includes $header from $target/" >&2
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done < <(find "$client/$room" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done
[ "$status" -eq 0 ] && echo "layers: no upward include in ${rooms[*]}"
exit "$status"
