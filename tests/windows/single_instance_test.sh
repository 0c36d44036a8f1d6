#!/bin/bash
# One netvigil.exe per session, under Wine on a virtual X desktop with trayer
# as the notification area: a later start hands its request to the running
# one and ends; a killed one blocks nothing.
#
#   single_instance_test.sh BIN_DIR WINE_RUN
#
# Exits 77 (skipped) where Xvfb, trayer, openbox or xdotool are missing.
set -u

bin=$(cd "$1" && pwd)
wine_run=$2

for tool in Xvfb trayer openbox xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: needs $tool"; exit 77; }
done
"$wine_run" "$bin/test_child.exe" >/dev/null 2>&1
WINEPREFIX=$(sed -n "s/^WINEPREFIX='\(.*\)'$/\1/p" "$wine_run")
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
unset WAYLAND_DISPLAY

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
pids=
cleanup() {
    wineserver -k >/dev/null 2>&1
    for pid in $pids; do
        kill "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids="$pids $!"
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
openbox >/dev/null 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
for _ in 1 2 3; do
    trayer --edge top --align right --widthtype pixel --width 120 >/dev/null 2>&1 &
    tray=$!
    for _ in $(seq 40); do
        xdotool search --onlyvisible --class trayer >/dev/null 2>&1 && break
        sleep 0.05
    done
    if kill -0 "$tray" 2>/dev/null && xdotool search --onlyvisible --class trayer >/dev/null 2>&1; then
        pids="$pids $tray"
        break
    fi
    kill "$tray" 2>/dev/null
done
sleep 0.3

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
wait_for() {
    local tries=${2:-100}
    while [ "$tries" -gt 0 ]; do
        eval "$1" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}
# A later start: it must end by itself, with status 0.
later() {
    timeout 30 wine "$app/netvigil.exe" "$@"
    local status=$?
    [ $status -eq 0 ] || fail "a later start with '$*' ended with $status"
}

wine "$app/netvigil.exe" /HIDE &
first=$!
pids="$pids $first"
wait_for '[ "$(count icon)" = 1 ]' 300 || fail "no tray icon"

later /hide
sleep 1
[ "$(count board)" = 0 ] || fail "a later /hide brought the board back"
later
wait_for '[ "$(count board)" = 1 ]' 50 || fail "a later start did not bring the board back"
[ "$(count icon)" = 1 ] || fail "$(count icon) tray icons"
[ "$(running)" = 1 ] || fail "$(running) netvigil.exe running"

# Killed, it leaves nothing behind that stops the next start.
kill -9 "$first"
wait "$first" 2>/dev/null
wait_for '[ "$(running)" = 0 ]' 50 || fail "netvigil.exe outlived kill -9"
wine "$app/netvigil.exe" /HIDE &
pids="$pids $!"
wait_for '[ "$(count icon)" = 1 ]' 300 || fail "the start after a killed one has no tray icon"
sleep 1
[ "$(running)" = 1 ] || fail "after a killed one: $(running) netvigil.exe running"

if [ $failures -gt 0 ]; then
    echo "windows: $(xdotool search --onlyvisible --class 'netvigil|explorer' | tr '\n' ' ')"
else
    echo "PASS"
fi
exit $((failures > 0))
