#!/bin/bash
# One netvigil.exe per session, under Wine on a virtual X desktop with trayer
# as the notification area: a later start hands its request to the running
# one and ends; a killed one blocks nothing.
#
#   single_instance_test.sh BIN_DIR WINE_RUN
#
# Exits 77 (skipped) where root (for a network of its own), Xvfb, trayer,
# openbox or xdotool are missing.
set -u

bin=$(cd "$1" && pwd)
wine_run=$2
# shellcheck source=tests/windows/wine_desktop.sh
. "$(dirname "$0")/wine_desktop.sh"
own_network Xvfb trayer openbox xdotool xprop -- "$@"
wine_session
start_desktop --window-manager

app=$work/Netvigil
mkdir -p "$app"
cp "$bin/netvigil.exe" "$bin/ping.exe" "$app/"

# Visible boards (about 200 pixels wide) and docked icons.
count() {
    local id n=0
    for id in $(xdotool search --onlyvisible --class 'netvigil|explorer' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" 2>/dev/null || continue
        if [ "$1" = board ]; then
            [ "$WIDTH" -ge 195 ] && [ "$WIDTH" -le 215 ] && [ "$HEIGHT" -gt 60 ] && n=$((n + 1))
        else
            [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ] && [ "$Y" -lt 40 ] && n=$((n + 1))
        fi
    done
    echo $n
}
# Of this test's own netvigil.exe: others may be running Wine beside it.
running() { pgrep -c -f "^$app/netvigil.exe"; }
# A later start: it must end by itself, with status 0, once the running one
# has taken its request.
later() {
    timeout 60 wine "$app/netvigil.exe" "$@"
    local status=$?
    [ $status -eq 0 ] || fail "a later start with '$*' ended with $status"
}

wine "$app/netvigil.exe" /HIDE &
first=$!
pids="$pids $first"
wait_for '[ "$(count icon)" = 1 ]' 60 || fail "no tray icon"

later /hide
! wait_for '[ "$(count board)" != 0 ]' 2 || fail "a later /hide brought the board back"
later
wait_for '[ "$(count board)" = 1 ]' || fail "a later start did not bring the board back"
[ "$(count icon)" = 1 ] || fail "$(count icon) tray icons"
[ "$(running)" = 1 ] || fail "$(running) netvigil.exe running"

# Killed, it leaves nothing behind that stops the next start.
kill -9 "$first"
wait "$first" 2>/dev/null
wait_for '[ "$(running)" = 0 ]' || fail "netvigil.exe outlived kill -9"
wine "$app/netvigil.exe" /HIDE &
pids="$pids $!"
wait_for '[ "$(count icon)" = 1 ]' 60 || fail "the start after a killed one has no tray icon"
[ "$(running)" = 1 ] || fail "after a killed one: $(running) netvigil.exe running"

if [ $failures -gt 0 ]; then
    echo "windows: $(xdotool search --onlyvisible --class 'netvigil|explorer' | tr '\n' ' ')"
else
    echo "PASS"
fi
exit $((failures > 0))
