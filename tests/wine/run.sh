#!/usr/bin/env bash
# Tests of Tarnwick.dll under Wine (x86_64), in a fresh prefix that is removed
# afterwards:
#   1. regsvr32 registers the type library, the ProgID and the class
#      (apartment threaded); regsvr32 /u removes all of it; both checked in
#      the registry, twice over.
#   2. The type library embedded in the DLL matches component/members.cpp.
#   3. VBScript pages in our ASP page host (page_host.exe) call the members
#      by name and check the results' types, the by-reference DefaultDoc and
#      the error page (tests/wine/pages/*.asp).
#   4. One hosted site's whole life (tests/wine/cycle/site_cycle.asp), and the
#      members given objects with a default property for every argument
#      (tests/wine/cycle/object_arguments.asp), with
#      TarnwickDoubles.dll registered as the "IIS" and "WinNT" directory
#      providers and as WScript.Network: the metabase and accounts are the
#      embedded platform's own code, in memory for the page host's process.
#      Tarnwick.dll's LookupAccountNameA is pointed at the accounts double;
#      its other security calls and the FileSystemObject are Wine's, on real
#      folders of the prefix. Wine's SetFileSecurityA keeps only the owner's
#      and Everyone's entries, so the folder permissions that CreateSite
#      writes are not checked here (the native tests check their bytes).
#   5. tarnwick.exe's site commands against the same doubles
#      (tests/wine/site_program/commands.txt, run in one process by
#      site_program_host.exe, which the program's own code is linked into):
#      the transcript must equal expected.txt, and the created and deleted
#      sites' folders are checked in the prefix; the shipped tarnwick.exe
#      lists the sites as JSON. `platform export` (site_program/export.txt)
#      writes the doubles' state; the native tarnwick (build/debug, or
#      $TARNWICK_NATIVE) loads it, passwords left out, and lists the same sites.
#   6. The machine-wide lock (lock_probe.exe): a process waits while another
#      holds it, gives up after its wait, and takes over from a holder that died.
#   7. tarnwick.exe's output (console_check.exe): on a console set to code
#      page 936, the console keeps its code page and shows a Chinese refusal,
#      and redirected text is in that code page; without a console, text is in
#      the ANSI code page (1252, or 936 with a zh_CN locale).
#   8. Operation records and the activity log written by Tarnwick.dll, read
#      back by tarnwick.exe: `log` shows the site cycle's lines; a page killed
#      while its CreateSite waits for the machine-wide lock leaves its record,
#      which `check` lists and `check --repair` clears.
#   9. Setup.exe in a virtual desktop on Xvfb (tests/wine/setup/run.sh): its
#      window's layout and a screenshot (<build>/setup-window.png), then an
#      installation and uninstallation driven through the window against the
#      same doubles and an ODBC driver setup double.
# Usage: tests/wine/run.sh <x86_64 build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

export WINEPREFIX=$(mktemp -d /tmp/tarnwick-wine.XXXXXX)
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$wineserver" -p
"$wine" wineboot -i >/dev/null 2>&1

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# The Windows path of a file of this machine.
winpath() { echo "Z:$(printf '%s' "$1" | tr / '\\')"; }

# A copy of the DLL inside the prefix, as an installer puts it in the system folder.
dll_dir="$WINEPREFIX/drive_c/Tarnwick"
mkdir -p "$dll_dir"
cp "$build/com/Tarnwick.dll" "$dll_dir/"
dll='C:\Tarnwick\Tarnwick.dll'

clsid='{29FC1B48-12F0-4CFE-B77A-668BD75A084E}'
libid='{1B3CB9D5-DCCE-4C20-869E-F49011668C18}'
iid='{A3968187-6344-4FED-8EC6-0B3C0B652FE2}'
asp_context='{D97A6DA0-A868-11CF-83AE-00B0C90C2BD8}'

reg_value() {  # reg_value <key> [<value name>]: the value's data, or nothing
  local out
  if [ $# -gt 1 ]; then
    out=$("$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r') || return 0
  else
    out=$("$wine" reg query "$1" /ve 2>/dev/null | tr -d '\r') || return 0
  fi
  printf '%s\n' "$out" | sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' | head -1
}
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

expect_value() {  # expect_value <key> <value name or ""> <expected>
  local actual
  if [ -n "$2" ]; then actual=$(reg_value "$1" "$2"); else actual=$(reg_value "$1"); fi
  if [ "$actual" = "$3" ]; then ok "$1 ${2:-(default)} = $3"; else fail "$1 ${2:-(default)}: expected '$3', found '$actual'"; fi
}

check_registered() {
  expect_value 'HKCR\Tarnwick.Control' "" 'Tarnwick.Control'
  expect_value 'HKCR\Tarnwick.Control\CLSID' "" "$clsid"
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$dll"
  expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
  expect_value "HKCR\\CLSID\\$clsid\\ProgID" "" 'Tarnwick.Control'
  expect_value "HKCR\\CLSID\\$clsid\\TypeLib" "" "$libid"
  expect_value "HKCR\\TypeLib\\$libid\\1.0" "" 'Tarnwick'
  expect_value "HKCR\\TypeLib\\$libid\\1.0\\0\\win64" "" "$dll"
  expect_value "HKCR\\Interface\\$iid" "" '_Control'
  expect_value "HKCR\\Interface\\$iid\\TypeLib" "" "$libid"
  # The ASP context's interface belongs to ASP: our library must not claim it.
  if key_exists "HKCR\\Interface\\$asp_context"; then
    fail "registration wrote the ASP ScriptingContext interface"
  else
    ok "the ASP ScriptingContext interface is left alone"
  fi
}

check_unregistered() {
  local key
  for key in 'HKCR\Tarnwick.Control' "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\$iid"; do
    if key_exists "$key"; then fail "$key remains after regsvr32 /u"; else ok "$key removed"; fi
  done
}

echo "== registration"
for round in 1 2; do
  if "$wine" regsvr32 /s "$dll"; then ok "regsvr32 (round $round)"; else fail "regsvr32 (round $round)"; fi
  check_registered
  if "$wine" regsvr32 /s /u "$dll"; then ok "regsvr32 /u (round $round)"; else fail "regsvr32 /u (round $round)"; fi
  check_unregistered
done
# Nothing registered: unregistration has nothing to remove and succeeds.
if "$wine" regsvr32 /s /u "$dll"; then ok "regsvr32 /u with nothing registered"; else fail "regsvr32 /u with nothing registered"; fi

echo "== type library against the member table"
cp "$build/tests-wine/typelib_check.exe" "$dll_dir/"
if "$wine" 'C:\Tarnwick\typelib_check.exe' "$dll" | tr -d '\r'; then
  ok "type library"
else
  fail "type library"
fi

echo "== pages"
"$wine" regsvr32 /s "$dll" || fail "regsvr32 before the pages"
cp "$build/tests-wine/page_host.exe" "$dll_dir/"
for page in "$here"/pages/*.asp; do
  if "$wine" 'C:\Tarnwick\page_host.exe' "$(winpath "$page")" | tr -d '\r'; then
    ok "page $(basename "$page")"
  else
    fail "page $(basename "$page")"
  fi
done

echo "== site cycle with the directory doubles"
cp "$build/doubles/doubles/TarnwickDoubles.dll" "$dll_dir/"
if "$wine" regsvr32 /s 'C:\Tarnwick\TarnwickDoubles.dll'; then ok "doubles registered"; else fail "doubles registration"; fi
expect_value 'HKCR\IIS\CLSID' "" '{5E0B7C21-3A94-4D6B-8F12-7C44A1D90001}'
master="$WINEPREFIX/drive_c/Inetpub/wwwroot"
mkdir -p "$master/Template/Other"
printf '<html>index</html>\r\n' > "$master/Template/Index.htm"
printf '<html>not found</html>\r\n' > "$master/Template/Error.htm"
printf 'read me\r\n' > "$master/Template/Other/ReadMe.txt"
for page in "$here"/cycle/*.asp; do
  if "$wine" 'C:\Tarnwick\page_host.exe' --map WScript.Network=Tarnwick.Test.Network \
      --accounts-double 'C:\Tarnwick\TarnwickDoubles.dll' --site-root 'C:\Inetpub\wwwroot' \
      "$(winpath "$page")" | tr -d '\r'; then
    ok "page $(basename "$page")"
  else
    fail "page $(basename "$page")"
  fi
done
for gone in bob fay; do
  [ ! -e "$WINEPREFIX/drive_c/Sites/$gone" ] && ok "folder Sites/$gone gone from the prefix" || fail "folder Sites/$gone left in the prefix"
done

echo "== tarnwick.exe with the directory doubles"
cp "$build/cli-win32/tarnwick.exe" "$build/tests-wine/site_program_host.exe" \
  "$here/site_program/sites.csv" "$dll_dir/"
listing=$("$wine" 'C:\Tarnwick\tarnwick.exe' site list --json 2>&1 | tr -d '\r') && status=0 || status=$?
if [ "$status" -eq 0 ] && printf '%s\n' "$listing" | grep -q '"folder": "C:\\\\Inetpub\\\\wwwroot"'; then
  ok "tarnwick.exe site list --json"
else
  fail "tarnwick.exe site list --json (exit $status): $listing"
fi
transcript="$WINEPREFIX/site_program.txt"
if "$wine" 'C:\Tarnwick\site_program_host.exe' --map WScript.Network=Tarnwick.Test.Network \
    --accounts-double 'C:\Tarnwick\TarnwickDoubles.dll' \
    "$(winpath "$here/site_program/commands.txt")" 2>&1 | tr -d '\r' > "$transcript"; then
  if diff -u "$here/site_program/expected.txt" "$transcript"; then
    ok "tarnwick.exe site commands"
  else
    fail "tarnwick.exe site commands: the transcript differs from site_program/expected.txt"
  fi
else
  fail "site_program_host.exe did not run"; cat "$transcript" >&2
fi
for made in bob/index.asp bob/404.htm bob/ReadMe.txt dan/index.htm; do
  [ -f "$WINEPREFIX/drive_c/Sites/$made" ] && ok "bulk run made Sites/$made" || fail "bulk run did not make Sites/$made"
done
for gone in amy eve carl; do
  [ ! -e "$WINEPREFIX/drive_c/Sites/$gone" ] && ok "no folder Sites/$gone" || fail "folder Sites/$gone left in the prefix"
done
rm -rf "$WINEPREFIX/drive_c/Sites"

echo "== tarnwick.exe platform export, loaded by the native tarnwick"
exported="$WINEPREFIX/export.txt"
"$wine" 'C:\Tarnwick\site_program_host.exe' --map WScript.Network=Tarnwick.Test.Network \
    --accounts-double 'C:\Tarnwick\TarnwickDoubles.dll' \
    "$(winpath "$here/site_program/export.txt")" 2>&1 | tr -d '\r' > "$exported" || true
export_exit=$(awk '/^\$ tarnwick platform export/ {on=1} on && /^exit / {print; exit}' "$exported")
if [ "$export_exit" = "exit 0" ] && grep -q '"type": "secret"' "$dll_dir/export.json"; then
  ok "platform export writes the state document, passwords as secrets"
else
  fail "platform export"; cat "$exported" >&2
fi
native=${TARNWICK_NATIVE:-$here/../../build/debug/cli/tarnwick}
if [ -x "$native" ] && command -v python3 >/dev/null; then
  loaded="$WINEPREFIX/native-state"
  awk '/^\$ tarnwick site list --json$/ {on=1; next} on && /^exit / {on=0} on' "$exported" \
    > "$WINEPREFIX/wine-sites.json"
  # The native load takes no secrets yet: the loaded sites have no passwords.
  python3 -c 'import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
for k in d["metabase"]["keys"]:
    k["properties"] = {n: v for n, v in k["properties"].items() if v.get("type") != "secret"}
json.dump(d, sys.stdout)' "$dll_dir/export.json" > "$WINEPREFIX/server.json"
  if "$native" --state "$loaded" platform load --input "$WINEPREFIX/server.json" &&
      "$native" --state "$loaded" site list --json > "$WINEPREFIX/native-sites.json" &&
      diff -u "$WINEPREFIX/wine-sites.json" "$WINEPREFIX/native-sites.json"; then
    ok "the native tarnwick loads the export and lists the same sites"
  else
    fail "the export loaded natively lists other sites"
  fi
else
  echo "skip: no native tarnwick at $native (or no python3) to load the export"
fi
rm -rf "$WINEPREFIX/drive_c/Sites"

echo "== the machine-wide lock, taken by several processes"
cp "$build/tests-wine/lock_probe.exe" "$dll_dir/"
probe='C:\Tarnwick\lock_probe.exe'
holder_out="$WINEPREFIX/lock_holder.txt"
"$wine" "$probe" hold 3000 > "$holder_out" 2>&1 &
holder=$!
for _ in $(seq 1 100); do grep -q held "$holder_out" && break; sleep 0.2; done
answer=$("$wine" "$probe" take 200 | tr -d '\r') || true
[ "$answer" = "timeout 800705B4" ] && ok "a waiter gives up while another process holds the lock" \
  || fail "a waiter while the lock is held: $answer"
answer=$("$wine" "$probe" take 20000 | tr -d '\r') || true
wait "$holder" || fail "the lock's holder ended with an error"
grep -q released "$holder_out" && [ "$answer" = "taken" ] \
  && ok "a waiter takes the lock once its holder lets go" || fail "a waiter after the holder: $answer"
answer=$("$wine" "$probe" die | tr -d '\r') && status=0 || status=$?
[ "$status" -eq 3 ] && [ "$answer" = "held" ] || fail "a holder that dies: exit $status, $answer"
answer=$("$wine" "$probe" take 2000 | tr -d '\r') || true
[ "$answer" = "taken" ] && ok "a holder that died leaves the lock to the next" \
  || fail "the lock after its holder died: $answer"

echo "== operation records and the activity log through Tarnwick.dll, read by tarnwick.exe"
logs=$("$wine" 'C:\Tarnwick\tarnwick.exe' log --member CreateSite --json 2>&1 | tr -d '\r') && status=0 || status=$?
if [ "$status" -eq 0 ] && printf '%s\n' "$logs" | grep -q '"member": "CreateSite"' \
    && ! printf '%s\n' "$logs" | grep -q 'Pass[^"]*": "[^*]'; then
  ok "tarnwick.exe log shows the site cycle's CreateSite lines"
else
  fail "tarnwick.exe log (exit $status): $logs"
fi
"$wine" "$probe" hold 20000 > "$holder_out" 2>&1 &
holder=$!
for _ in $(seq 1 100); do grep -q held "$holder_out" && break; sleep 0.2; done
"$wine" 'C:\Tarnwick\page_host.exe' --map WScript.Network=Tarnwick.Test.Network \
  --accounts-double 'C:\Tarnwick\TarnwickDoubles.dll' --site-root 'C:\Inetpub\wwwroot' \
  "$(winpath "$here/records/blocked_create.asp")" > /dev/null 2>&1 &
records="$WINEPREFIX/drive_c/windows/system32/LogFiles/Tarnwick"
for _ in $(seq 1 100); do ls "$records"/op-*.rec > /dev/null 2>&1 && break; sleep 0.2; done
pkill -9 -f 'page_host.exe' || true
kill "$holder" 2> /dev/null || true
pkill -9 -f 'lock_probe.exe' || true
wait 2> /dev/null || true
# tarnwick.exe's check through site_program_host.exe, which maps
# WScript.Network to the doubles (Wine's cannot name the computer). The
# doubles' machine lacks the default web site's IUSR account: that finding
# stays, so only the unfinished operation is looked for.
check_host() {  # check_host <command lines...>: the transcript of running them
  printf '%s\n' "$@" > "$WINEPREFIX/drive_c/check_commands.txt"
  "$wine" 'C:\Tarnwick\site_program_host.exe' --map WScript.Network=Tarnwick.Test.Network \
    --accounts-double 'C:\Tarnwick\TarnwickDoubles.dll' 'C:\check_commands.txt' 2>&1 | tr -d '\r'
}
found=$(check_host "check --json")
if printf '%s\n' "$found" | grep -q '"kind": "unfinished_operation"' \
    && printf '%s\n' "$found" | grep -q '"member": "CreateSite"'; then
  ok "tarnwick.exe check lists the killed page's CreateSite"
else
  fail "tarnwick.exe check after a killed page: $found"
fi
repaired=$(check_host "check --repair" "check --json")
if printf '%s\n' "$repaired" | grep -q '^repaired CreateSite' \
    && ! printf '%s\n' "$repaired" | sed -n '/check --json/,$p' | grep -q unfinished_operation \
    && ! ls "$records"/op-*.rec > /dev/null 2>&1; then
  ok "tarnwick.exe check --repair clears it"
else
  fail "tarnwick.exe check --repair: $repaired"
fi

echo "== tarnwick.exe's output on a console and redirected"
cp "$build/tests-wine/console_check.exe" "$dll_dir/"
checks="$WINEPREFIX/drive_c/ConsoleCheck"
mkdir -p "$checks"
if "$wine" 'C:\Tarnwick\console_check.exe' units 'C:\ConsoleCheck' | tr -d '\r'; then
  ok "output routines, the program's _fstat64 and _wstat64, the output form"
else
  fail "output routines, the program's _fstat64 and _wstat64, the output form"
fi
# A refusal in Chinese (site number 0), on a console (`script` gives Wine a
# terminal, hence a console) and redirected: with a console in the console's
# code page (936), without one in the ANSI code page (1252 for C.UTF-8, 936
# for a zh_CN locale made here).
refusal='tarnwick: 参数出错,请检查!'
refused=(site modify 0 --domain a.com --user a)
gbk() { printf '%s\r\n' "$refusal" | iconv -f UTF-8 -t GBK; }
script -qec "$wine 'C:\\Tarnwick\\console_check.exe' console 'C:\\ConsoleCheck\\console.txt' \
  '$refusal' 'C:\\Tarnwick\\tarnwick.exe ${refused[*]}'" /dev/null </dev/null >/dev/null 2>&1 || true
tr -d '\r' < "$checks/console.txt" 2>/dev/null | sed 's/$/ (on a console)/' || true
grep -q '^ok' "$checks/console.txt" && ! grep -q '^FAIL' "$checks/console.txt" ||
  fail "tarnwick.exe on a console"
localedef -i zh_CN -f UTF-8 "$checks/zh_CN.UTF-8" 2>/dev/null || true
for locale in C.UTF-8 zh_CN.UTF-8; do
  LOCPATH="$checks" LC_ALL=$locale "$wine" 'C:\Tarnwick\tarnwick.exe' "${refused[@]}" \
    2>"$checks/$locale.err" || true
done
for expected in "console.txt.err:$(gbk | xxd -p)" "zh_CN.UTF-8.err:$(gbk | xxd -p)" \
    "C.UTF-8.err:$(printf 'tarnwick: ????,???!\r\n' | xxd -p)"; do
  actual=$(xxd -p "$checks/${expected%%:*}" 2>/dev/null | tr -d '\n')
  [ "$actual" = "$(printf '%s' "${expected#*:}" | tr -d '\n')" ] && ok "redirected text: ${expected%%:*}" ||
    fail "redirected text: ${expected%%:*} holds $actual"
done

echo "== Setup.exe"
if WINE="$wine" WINESERVER="$wineserver" bash "$here/setup/run.sh" "$build"; then
  ok "Setup.exe under Wine"
else
  fail "Setup.exe under Wine"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed under Wine" >&2
  exit 1
fi
echo "all Wine checks passed"
