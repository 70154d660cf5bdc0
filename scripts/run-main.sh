#!/usr/bin/env bash
# Builds Tarnwick and runs its main job on a fresh embedded platform: a hosted
# site is created with its account, secured folder, metabase keys and pool,
# and the sites are listed; then a panel page logs in and shows an error page.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarnwick

tarnwick=build/release/cli/tarnwick
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT

"$tarnwick" --state "$state" platform init --computer WEBSERVER
echo
echo "== create a hosted site"
"$tarnwick" --state "$state" site create --user bob --path 'D:\Web\bob' --domain bob.example.com \
  --connections 200 --bandwidth 512
echo
echo "== the sites"
"$tarnwick" --state "$state" site list
echo
echo "== a panel page: log in"
"$tarnwick" --state "$state" page --input examples/login.json > "$state/login.out"
cat "$state/login.out"
session=$(sed -n 's/^  "session": "\([0-9]*\)".*/\1/p' "$state/login.out")
echo
echo "== the next page of session $session: the login guard passes, then an error page"
sed "s/SESSION/$session/" examples/guarded-error.json | "$tarnwick" --state "$state" page
