#!/bin/sh
# xvfb-test.sh SCREEN COMMAND [ARG...]
# Runs COMMAND on an X server of its own (screen WxHxDEPTH) and ends it after.
# Xvfb picks a free display itself and names it when ready (-displayfd): tests
# started at once never share a server, as two under `xvfb-run -a` can when
# both pick the same number and the second client joins the first's server.
set -u
screen=$1
shift
dir=$(mktemp -d) || exit 1
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
tries=0
while [ ! -s "$dir/display" ]; do
  if ! kill -0 "$server" 2>/dev/null || [ "$tries" -ge 600 ]; then
    echo "xvfb-test.sh: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    kill "$server" 2>/dev/null
    rm -rf "$dir"
    exit 1
  fi
  sleep 0.1
  tries=$((tries + 1))
done
DISPLAY=:$(cat "$dir/display") "$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit "$status"
