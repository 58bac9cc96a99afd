#!/usr/bin/env bash
# Installs what is missing, builds the terminal and demo-server, and runs them together:
# demo-server on loopback keeps its data in build/run-server (the database, the log of
# this run and the demo account, which is created there once); the terminal, with its
# program folder in build/run-home, logs in to that account. Without a display the
# terminal runs offscreen, prints the journal and the connection status and keeps a PNG
# snapshot of the main window. The server stops when the terminal exits; Ctrl-C stops
# both the orderly way. KB_DEMO_TRADE_PORT and KB_DEMO_HISTORY_PORT move the server off
# its default ports 4443 and 4444.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# The terminal needs the user interface, even in a build folder once configured without it.
KB_CMAKE_OPTIONS="-DKB_UI=ON ${KB_CMAKE_OPTIONS:-}" "$root/scripts/build.sh" --target terminal demo-server
build=${KB_BUILD_DIR:-$root/build}
home="$build/run-home"
server_home="$build/run-server"
server="$build/server/demo-server"
db="$server_home/demo-server.db"
server_log="$server_home/demo-server.log"
account_file="$server_home/demo-account"
trade_port=${KB_DEMO_TRADE_PORT:-4443}
history_port=${KB_DEMO_HISTORY_PORT:-4444}
mkdir -p "$home" "$server_home"
chmod 700 "$server_home"

# The demo account is made once; its login and password stay beside the database,
# readable by the user only. A login another run already took is skipped; a fresh
# database gets a fresh account.
[ -f "$db" ] || rm -f "$account_file"
if [ ! -s "$account_file" ]; then
  password=$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')
  login=""
  for candidate in $(seq 1001 1010); do
    # The password goes on standard input (printf is a shell builtin): a command line is
    # visible to every user.
    if printf '%s\n' "$password" | "$server" create-account --db "$db" --login "$candidate" \
         --name "Demo Trader" --deposit 10000 >/dev/null 2>&1; then
      login=$candidate
      break
    fi
  done
  if [ -z "$login" ]; then
    echo "run.sh: demo-server could not create the demo account in $db" >&2
    exit 1
  fi
  (umask 077 && printf '%s %s\n' "$login" "$password" >"$account_file")
  echo "demo account $login created on demo-server (password in $account_file)"
fi
read -r login password <"$account_file"

"$server" --db "$db" --trade-listen "127.0.0.1:$trade_port" --history-listen "127.0.0.1:$history_port" \
  2>"$server_log" &
server_pid=$!
stop_server() {
  kill -TERM "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}
trap stop_server EXIT
for _ in $(seq 100); do
  grep -q 'trade server on' "$server_log" && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "run.sh: demo-server did not start:" >&2
    cat "$server_log" >&2
    exit 1
  fi
  sleep 0.1
done
echo "demo-server on 127.0.0.1:$trade_port (log: $server_log)"

args=(--program-folder "$home" --login "$login" --server "127.0.0.1:$trade_port")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/kestrelbay-runtime-$(id -u)"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
  fi
  args+=(--echo-journal --echo-status --snapshot "$home/snapshot.png" --snapshot-interval 3)
fi
# The password goes through the environment: a command line is visible to every user.
status=0
KESTRELBAY_PASSWORD="$password" "$build/ui/terminal" "${args[@]}" "$@" || status=$?
exit "$status"
