#!/usr/bin/env bash
# Installs what is missing, builds the terminal and runs it with its program folder in
# build/run-home. Without a display it runs offscreen, prints the journal and keeps a PNG
# snapshot of the main window. Ctrl-C stops it the orderly way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --target terminal
build=${KB_BUILD_DIR:-$root/build}
home="$build/run-home"
mkdir -p "$home"
args=(--program-folder "$home")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/kestrelbay-runtime-$(id -u)"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
  fi
  args+=(--echo-journal --snapshot "$home/snapshot.png" --snapshot-interval 3)
fi
exec "$build/ui/terminal" "${args[@]}" "$@"
