#!/bin/sh
# The installer on a Windows older than Windows 10 (Wine told to say 8.1, to
# the installer alone): it installs nothing and ends with
# ERROR_OLD_WIN_VERSION, 1150, of which an exit status keeps the low byte.
# Run interactively, it says why in a message box first.
#
#   installer_refusal_test.sh SETUP.exe WINE_RUN
set -u

setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
wine_run=$2
"$wine_run" cmd /c exit >/dev/null 2>&1
WINEPREFIX=$(sed -n "s/^WINEPREFIX='\(.*\)'$/\1/p" "$wine_run")
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
unset DISPLAY WAYLAND_DISPLAY

key="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$setup")"
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')
dir=$(wine winepath -u "$local_app_data" 2>/dev/null)/Programs/Netvigil
rm -rf "$dir"
wine reg add "$key" /v Version /d win81 /f >/dev/null 2>&1
wine "$setup" /S
status=$?
wineserver -w
wine reg delete "$key" /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1

failed=0
if [ "$status" -ne $((1150 % 256)) ]; then
    echo "FAIL: the installer on Windows 8.1 ended with status $status, not $((1150 % 256))"
    failed=1
fi
if [ -e "$dir" ]; then
    echo "FAIL: the installer on Windows 8.1 installed $(ls "$dir" | tr '\n' ' ')in $dir"
    failed=1
fi
[ $failed -eq 0 ] && echo "PASS"
exit $failed
