#!/bin/bash
# The installer under Wine, as a user without administrator rights runs it:
# a silent install puts the programs, the Start-menu shortcut, the uninstaller
# (in "Apps and features") and, asked to, the log-in start in place; the
# installed netvigil.exe /HIDE starts in the notification area; a silent
# uninstall ends it and removes everything but the user's settings.
#
#   installer_test.sh SETUP.exe WINE_RUN
#
# Exits 77 (skipped) where root (for a network of its own), Xvfb or trayer
# are missing.
set -u

setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
wine_run=$2
# shellcheck source=tests/windows/wine_desktop.sh
. "$(dirname "$0")/wine_desktop.sh"
own_network Xvfb trayer xdotool -- "$@"
wine_session
start_desktop

# A folder of Windows' own (an environment variable's), as this side sees it.
unix_path() { wine winepath -u "$(wine cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null; }
reg_has() { wine reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Netvigil'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Netvigil\Settings'

# A setting of the user's own, from before.
wine reg add "$settings_key" /v Backcolor /d 32768 /f >/dev/null 2>&1
wine reg delete "$uninstall_key" /f >/dev/null 2>&1
wine reg delete "$run_key" /v Netvigil /f >/dev/null 2>&1

dir=$(unix_path LOCALAPPDATA)/Programs/Netvigil
shortcut="$(unix_path APPDATA)/Microsoft/Windows/Start Menu/Programs/Netvigil.lnk"
rm -rf "$dir" "$shortcut"

wine "$setup" /S /AUTOSTART
wineserver -w
for file in netvigil.exe ping.exe browser.exe netvigil-reg.exe README.txt uninstall.exe; do
    [ -f "$dir/$file" ] || fail "the install left out $file"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
reg_has "$uninstall_key" UninstallString || fail "no uninstaller in Apps and features"
wine reg query "$run_key" /v Netvigil 2>/dev/null | grep -q 'netvigil.exe" /HIDE' ||
    fail "no log-in start with /HIDE"

# The installed program, started hidden: its icon docks, and no board shows.
wine "$dir/netvigil.exe" /HIDE &
netvigil=$!
wait_for '[ -n "$(xdotool search --onlyvisible --class explorer 2>/dev/null)" ]' 60 ||
    fail "netvigil.exe /HIDE added no icon"
[ -z "$(xdotool search --onlyvisible --class netvigil 2>/dev/null)" ] ||
    fail "netvigil.exe /HIDE showed a window"

# The silent uninstall ends the program and takes everything but the settings.
wine "$dir/uninstall.exe" /S
wineserver -w
kill -0 "$netvigil" 2>/dev/null && fail "the uninstall left Netvigil running"
[ ! -e "$dir" ] || fail "the uninstall left $(ls "$dir" | tr '\n' ' ')in $dir"
[ ! -e "$shortcut" ] || fail "the uninstall left the shortcut"
reg_has "$uninstall_key" && fail "the uninstall left its Apps and features entry"
reg_has "$run_key" Netvigil && fail "the uninstall left the log-in start"
wine reg query "$settings_key" /v Backcolor 2>/dev/null | grep -q 32768 ||
    fail "the uninstall took the user's settings"
wine reg delete 'HKCU\Software\Netvigil' /f >/dev/null 2>&1

[ $failures -eq 0 ] && echo "PASS"
exit $((failures > 0))
