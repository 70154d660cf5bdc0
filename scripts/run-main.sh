#!/usr/bin/env bash
# Builds Tarnwick and runs it on a fresh embedded platform: a page logs in,
# the next page of the same session passes the login guard and reports an error.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

tarnwick=build/release/cli/tarnwick
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT

"$tarnwick" --state "$state" platform init --computer WEBSERVER
echo "== page 1: log in"
first=$("$tarnwick" --state "$state" page --input examples/login.json)
echo "$first"
session=$(printf '%s' "$first" | sed -n 's/^  "session": "\([0-9]*\)".*/\1/p')
echo "== page 2 (session $session): the login guard passes, then an error page"
sed "s/SESSION/$session/" examples/guarded-error.json | "$tarnwick" --state "$state" page
