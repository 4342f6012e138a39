#!/usr/bin/env bash
# Sets up the machine, builds, and shows the game with one command: the test
# game server starts in the background with its demo world and bots, the
# client opens its title screen with that server listed (the server answers
# the directory request), and the server stops when the client exits.
# Arguments go to the client (for example --quit-after-ms 20000).
# VOBU_SKIP_SETUP=1 skips the package install, VOBU_SKIP_BUILD=1 plays the
# existing build as it is, VOBU_BUILD_DIR picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VOBU_BUILD_DIR:-build}
if [ "${VOBU_SKIP_SETUP:-0}" != 1 ]; then
  ./scripts/setup.sh
fi
if [ "${VOBU_SKIP_BUILD:-0}" != 1 ]; then
  ./scripts/build.sh "$dir"
fi
for binary in vobu_testserver vobugame; do
  if [ ! -x "./$dir/bin/$binary" ]; then
    echo "run.sh: no $dir/bin/$binary; build first (without VOBU_SKIP_BUILD=1)" >&2
    exit 1
  fi
done

port_file=$(mktemp)
server_pid=
stop_server() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -f "$port_file"
}
trap stop_server EXIT

"./$dir/bin/vobu_testserver" --port 0 --world demo --bots 3 >"$port_file" &
server_pid=$!

# Once it listens the server prints "PORT <n>", then "URL <address>".
url=
for _ in $(seq 1 100); do
  url=$(sed -n 's/^URL //p' "$port_file")
  [ -n "$url" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "run.sh: the test server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "run.sh: no address from the test server" >&2
  exit 1
fi
echo "run.sh: the title screen lists the demo server at $url (Join, then Use, joins it)"

status=0
"./$dir/bin/vobugame" --server "$url" "$@" || status=$?
exit "$status"
