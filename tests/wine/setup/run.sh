#!/usr/bin/env bash
# Setup.exe under Wine and Xvfb, in the prefix that tests/wine/run.sh made
# (WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES exported, WINE and WINESERVER
# naming the loader and the server):
#   1. Setup.exe's version resource. The window in a virtual desktop with the
#      CJK font substitution: the driver checks its caption, client size,
#      centring, every control's class, style, text, place and size, the tab
#      order and Label6's blue; a screenshot of the window goes to
#      <build>/setup-window.png.
#   2. The driver (setup_driver.exe) works the window as an operator:
#      the help labels, the maker's label (ShellExecuteA recorded by the
#      probe), the folder picker (cancelled, then choosing the Serv-U
#      folder), the input checks (a data source name ODBC refuses, a site
#      folder holding the default web site's), an
#      uninstallation without a log, a full installation, its uninstallation
#      and a second one without a log. SetupProbe.dll, loaded into Setup.exe
#      by the driver's window hooks, writes every caption into the
#      transcript and reports the metabase and accounts of the directory
#      doubles from inside Setup.exe, where they live; the transcript must
#      equal expected.txt.
#   3. The files, the registration of Tarnwick.dll through regsvr32 and the
#      ODBC data source (through OdbcSetupDouble.dll, Wine having no Access
#      driver) are checked in the prefix after the installation, and the
#      files again after the uninstallation.
#   4. The window again at 120 dpi, where twips no longer fall on whole
#      pixels: the same layout checks.
# Usage: tests/wine/setup/run.sh <x86_64 build folder> [<screenshot file>]
set -euo pipefail
build=$(cd "$1" && pwd)
shot=${2:-$build/setup-window.png}
here=$(cd "$(dirname "$0")" && pwd)
wine=${WINE:?the Wine loader}
wineserver=${WINESERVER:?the Wine server}
# The same ANSI code page (1252) wherever this runs.
export LC_ALL=C.UTF-8

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

drive_c="$WINEPREFIX/drive_c"
tools="$drive_c/Tarnwick"
installer="$drive_c/Setup"
servu="$drive_c/Program Files/Serv-U"
work=$(mktemp -d /tmp/tarnwick-setup.XXXXXX)

# A display of our own.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  # The prefix's programs end before their display does.
  "$wineserver" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# Chinese window texts need a CJK font behind the dialog fonts; the caption
# buttons need marlett. Every window goes into one virtual desktop, which
# draws the windows' frames and captions itself. The computer is WEBHOST, the
# doubles' machine. The ODBC setup double stands in for the Access driver's
# setup.
cat > "$work/setup.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="640x480"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="WenQuanYi Micro Hei"
"MS Shell Dlg 2"="WenQuanYi Micro Hei"
"Tahoma"="WenQuanYi Micro Hei"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ComputerName\ComputerName]
"ComputerName"="WEBHOST"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ComputerName\ActiveComputerName]
"ComputerName"="WEBHOST"

[HKEY_LOCAL_MACHINE\Software\ODBC\ODBCINST.INI\ODBC Drivers]
"Microsoft Access Driver (*.mdb)"="Installed"

[HKEY_LOCAL_MACHINE\Software\ODBC\ODBCINST.INI\Microsoft Access Driver (*.mdb)]
"Driver"="C:\\Tarnwick\\OdbcSetupDouble.dll"
"Setup"="C:\\Tarnwick\\OdbcSetupDouble.dll"
"APILevel"="1"
"FileExtns"="*.mdb"
EOF
reg_file=$(echo "Z:$work/setup.reg" | tr / '\\')
"$wine" regedit /S "$reg_file"
# A new session of the prefix, so that the desktop starts anew on this
# display; the session sets the computer name from the host's, so the file
# goes in once more.
"$wineserver" -k || true
"$wineserver" -p
"$wine" regedit /S "$reg_file"
mkdir -p "$drive_c/windows/Fonts"
cp /usr/share/wine/fonts/marlett.ttf "$drive_c/windows/Fonts/"

# The test programs beside the doubles; the doubles registered.
mkdir -p "$tools"
cp "$build/tests-wine/setup/setup_driver.exe" "$build/tests-wine/setup/SetupProbe.dll" \
  "$build/tests-wine/setup/OdbcSetupDouble.dll" "$build/doubles/doubles/TarnwickDoubles.dll" "$tools/"
rm -f "$tools/setup_events.log" "$tools/odbc_calls.log"
"$wine" regsvr32 /s 'C:\Tarnwick\TarnwickDoubles.dll' || fail "doubles registration"
# No earlier registration of the component: the installer's regsvr32 makes it.
component_key='HKCR\CLSID\{29FC1B48-12F0-4CFE-B77A-668BD75A084E}\InprocServer32'
"$wine" regsvr32 /s /u 'C:\Tarnwick\Tarnwick.dll' >/dev/null 2>&1 || true
if "$wine" reg query "$component_key" >/dev/null 2>&1; then fail "component still registered before the installation"; fi

# The panel's distribution beside Setup.exe, and Serv-U with its ini.
rm -rf "$installer" "$servu" "$drive_c/Panel"
mkdir -p "$installer/Web/images" "$installer/Data" "$servu"
cp "$build/installer-win32/Setup.exe" "$installer/"
cp "$build/com/Tarnwick.dll" "$installer/Tarnwick.Dll"
printf '<%% Response.Write "panel" %%>\r\n' > "$installer/Web/Index.asp"
printf 'GIF89a' > "$installer/Web/images/logo.gif"
printf 'Standard Jet DB\0' > "$installer/Data/data.mdb"
printf '[GLOBAL]\r\nVersion=6.0\r\n' > "$servu/ServUDaemon.ini"
cp "$servu/ServUDaemon.ini" "$work/ServUDaemon.ini"

"$wine" 'C:\Setup\Setup.exe' >/dev/null 2>&1 &
setup_pid=$!

drive() {  # drive <step>...: one run of the driver; its output in $work/driver.out
  local status=0
  "$wine" 'C:\Tarnwick\setup_driver.exe' "$@" > "$work/driver.raw" 2>/dev/null || status=$?
  tr -d '\r' < "$work/driver.raw" > "$work/driver.out"
  return "$status"
}

echo "== Setup.exe: the window"
if drive version 'C:\Setup\Setup.exe' find layout; then ok "window layout"; else fail "window layout"; fi
grep -E '^(FAIL|checked)' "$work/driver.out" || true
printf 'version: FileVersion 1.03.0002\nversion: ProductVersion 1.03.0002\nversion: OriginalFilename Setup.exe\n' > "$work/version.expected"
if grep '^version: ' "$work/driver.out" | cmp -s - "$work/version.expected"; then
  ok "version resource 1.03.0002"
else
  fail "version resource: $(grep '^version: ' "$work/driver.out" | tr '\n' ' ')"
fi
read -r x y w h < <(sed -n 's/^window: //p' "$work/driver.out")
if [ -n "${w:-}" ]; then
  sleep 1
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
  ok "screenshot $shot (${w}x${h})"
else
  fail "no window position for the screenshot"
fi

probe='C:\Tarnwick\SetupProbe.dll'
site='IIS://WEBHOST/W3SVC/2|ServerComment,ServerBindings,AnonymousUserName,LogFileDirectory,DefaultDoc,ServerState'
root='IIS://WEBHOST/W3SVC/2/ROOT|Path,AppPoolId,AccessScript,AppFriendlyName,HttpErrors'
pool='IIS://WEBHOST/W3SVC/AppPools/PanelPool'
admin='WinNT://WEBHOST/ADMIN_PANEL.TEST,user|FullName,Description'
administrators='WinNT://WEBHOST/Administrators,group|IsMember(WinNT://WEBHOST/ADMIN_PANEL.TEST)'

echo "== Setup.exe: help, checks and installation"
if drive find hook "$probe" fields \
    click Label1 click Label2 click Label3 click Label4 click Label5 click Label7 click Label8 \
    click Label6 click Command2 fields \
    click Command3 \
    click Command1 \
    set 2 panel.test set 3 'C:\Panel' click Command1 \
    set 2 control.panel.test set 5 'C:\Program Files\Serv-U' click Command1 \
    set 2 localhost click Command1 \
    set 2 'panel;x.test' click Command1 \
    set 2 panel.test set 5 'C:\Program Files' click Command1 \
    pick 'C:\Program Files\Serv-U' click Command2 \
    set 3 'C:\WINDOWS' click Command1 \
    set 3 'C:\Panel' set 6 'my?.mdb' click Command1 \
    set 4 PanelPool set 6 my.mdb set 7 'pan=el' click Command1 \
    set 3 'C:\Inetpub' set 7 paneldsn click Command1 \
    set 3 'C:\Panel' click Command1 fields report "$site" report "$root" report "$pool" report "$admin" \
    report "$administrators"; then
  ok "installation driven"
else
  fail "installation driven"; grep FAIL "$work/driver.out" >&2 || true
fi

# The side files, byte for byte.
expect_file() {  # expect_file <file> <printf format of the expected bytes>
  if [ ! -f "$1" ]; then fail "$1 missing"; return; fi
  # shellcheck disable=SC2059
  if cmp -s "$1" <(printf "$2"); then ok "$(basename "$1")"; else fail "$1: $(od -c "$1" | head -5)"; fi
}
expect_file "$installer/Log.ini" 'ADMIN_PANEL.TEST;2;C:\\Panel;paneldsn\r\n'
expect_file "$drive_c/Panel/Web/Db.asp" '<%% MDB="C:\\Panel\\Data\\my.mdb"%%>\r\n'
expect_file "$drive_c/Panel/404.htm" ''
expect_file "$servu/ServUDaemon.txt" '[GLOBAL]\r\n[DOMAINS]\r\nDomain1=0.0.0.0||21|paneldsn|1|0|1\r\n[Domain1]\r\nCacheTTL=60\r\nODBCSource=paneldsn||\r\nODBCTables=Tarnuser|||||\r\nODBCColumns=UserName|PassWord|SKEY|DiskPath||FtpAccess|Status||LockDir|||ChangePass|Qouta|IPUser|MaxUp|MaxDown|MaxUser||||||SpaceSizeNow|SpaceSize|DelDate|FtpPower|PassType|||||Deltype\r\n'
cmp -s "$servu/ServUDaemon.ini" "$work/ServUDaemon.ini" && ok "ServUDaemon.ini unchanged" || fail "ServUDaemon.ini changed"
cmp -s "$drive_c/Panel/Web/Index.asp" "$installer/Web/Index.asp" && cmp -s "$drive_c/Panel/Web/images/logo.gif" "$installer/Web/images/logo.gif" \
  && ok "Web copied with its subfolder" || fail "Web not copied: $(cd "$drive_c/Panel" && find . | tr '\n' ' ')"
cmp -s "$drive_c/Panel/Data/my.mdb" "$installer/Data/data.mdb" && ok "database copied as my.mdb" || fail "Data/my.mdb missing or different"
[ ! -e "$drive_c/Panel/Data/data.mdb" ] && ok "Data/data.mdb renamed away" || fail "Data/data.mdb left"
cmp -s "$drive_c/windows/system32/Tarnwick.Dll" "$installer/Tarnwick.Dll" && ok "Tarnwick.Dll in the system folder" || fail "Tarnwick.Dll not in the system folder"

# regsvr32 runs on its own: give it a moment.
registered=""
for _ in $(seq 50); do
  registered=$("$wine" reg query "$component_key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' || true)
  [ -n "$registered" ] && break
  sleep 0.2
done
[ "$registered" = 'C:\windows\system32\Tarnwick.dll' ] && ok "regsvr32 registered the system folder's copy" \
  || fail "registration: InprocServer32 is '$registered'"

# The data source: one ConfigDSN call for a system data source (Wine's
# odbccp32 turns ODBC_ADD_SYS_DSN into ODBC_ADD_DSN in system mode, 2) with
# the attributes in order; its name in the system's ODBC.INI.
printf 'ConfigDSN request 1 mode 2 driver Microsoft Access Driver (*.mdb)\r\n  DSN=paneldsn\r\n  DBQ=C:\\Panel\\Data\\my.mdb\r\n  FIL=MS Access;\r\n  DESCRIPTION=tarnwick v 1.0\r\n  DRIVERID=25\r\n  UID=\r\n' > "$work/odbc.expected"
if cmp -s "$tools/odbc_calls.log" "$work/odbc.expected"; then ok "SQLConfigDataSource"; else fail "SQLConfigDataSource: $(cat "$tools/odbc_calls.log" 2>/dev/null)"; fi
"$wine" reg query 'HKLM\Software\ODBC\ODBC.INI\paneldsn' >/dev/null 2>&1 && ok "data source paneldsn registered" || fail "data source paneldsn not registered"

echo "== Setup.exe: uninstallation"
if drive find hook "$probe" click Command3 report "$site" report "$pool" report "$admin" \
    report "$administrators" click Command3 close; then
  ok "uninstallation driven"
else
  fail "uninstallation driven"; grep FAIL "$work/driver.out" >&2 || true
fi
wait "$setup_pid" 2>/dev/null || true
setup_pid=""
[ ! -e "$drive_c/Panel" ] && ok "site folder removed" || fail "site folder left: $(cd "$drive_c/Panel" && find . | tr '\n' ' ')"
[ ! -e "$installer/Log.ini" ] && ok "Log.ini removed" || fail "Log.ini left"

echo "== Setup.exe: the window at 120 dpi"
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null
"$wine" 'C:\Setup\Setup.exe' >/dev/null 2>&1 &
setup_pid=$!
if drive find layout close; then ok "window layout at 120 dpi"; else fail "window layout at 120 dpi"; fi
grep -E '^(FAIL|checked)' "$work/driver.out" || true
wait "$setup_pid" 2>/dev/null || true
setup_pid=""

echo "== Setup.exe: transcript"
tr -d '\r' < "$tools/setup_events.log" > "$work/transcript"
if diff -u "$here/expected.txt" "$work/transcript"; then ok "every caption, message box and report as expected"; else fail "transcript differs from tests/wine/setup/expected.txt"; fi

if [ "$failures" -ne 0 ]; then
  echo "$failures Setup.exe check(s) failed under Wine" >&2
  exit 1
fi
echo "all Setup.exe checks passed"
