#!/bin/bash
# netvigil.exe against the Linux program on the same machine: each program's
# size, the time from its start to the board on the screen (the median of
# RUNS starts, on Xvfb with openbox and trayer; Wine already running, as it is
# on Windows), and the peak memory of netvigil.exe under Wine after SWEEPS
# sweeps of a full board (a recording stand-in for ping.exe counts them).
# Wine's own notepad.exe, started the same way, shows what Wine itself takes.
#
#   bench/netvigil_exe_bench.sh [RUNS] [SWEEPS]      (defaults 9 and 100)
#
# From the project's root, after building the ci and windows presets; as root,
# for a network of its own where only loopback is up.
set -eu
runs=${1:-9}
sweeps=${2:-100}
root=$(pwd)
win=$root/build/windows
linux=$root/build/ci/bin

wine_run=$win/wine-run
# shellcheck source=tests/windows/wine_desktop.sh
. "$root/tests/windows/wine_desktop.sh"
own_network Xvfb trayer openbox xdotool xprop -- "$@"
wine_session
start_desktop --window-manager

now() { date +%s%N; }
# Milliseconds from the start of a program until its board (or, given a
# class, its first window of that class) shows.
start_to_board() {
    local t0 pid class=netvigil
    [ "$1" != --class ] || { class=$2; shift 2; }
    t0=$(now)
    "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --class "$class" 2>/dev/null | while read -r id; do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" -ge 190 ] && [ "$HEIGHT" -gt 60 ] && echo "$id"
    done | grep -q .; do
        sleep 0.01
    done
    echo $((($(now) - t0) / 1000000))
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    wait_for '[ -z "$(xdotool search --onlyvisible --class "$class" 2>/dev/null)" ]'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A Wine that stays up between the starts, as Windows does.
wineserver -p
key='HKCU\Software\Netvigil\Remote Hosts'
export NETVIGIL_REGISTRY=$work/registry.db QT_QPA_PLATFORM=xcb
for n in $(seq 20); do
    "$linux/netvigil-reg" add "$key" /v "Host $n" /d "host $n" /f >/dev/null
    "$linux/netvigil-reg" add "$key" /v "IP Address $n" /d "127.0.0.$n" /f >/dev/null
    wine "$win/bin/netvigil-reg.exe" add "$key" /v "Host $n" /d "host $n" /f >/dev/null
    wine "$win/bin/netvigil-reg.exe" add "$key" /v "IP Address $n" /d "127.0.0.$n" /f >/dev/null
done

linux_ms=$(for _ in $(seq "$runs"); do start_to_board "$linux/netvigil"; done | median)
wine_ms=$(for _ in $(seq "$runs"); do start_to_board wine "$win/bin/netvigil.exe"; done | median)
notepad_ms=$(for _ in $(seq "$runs"); do start_to_board --class notepad wine notepad.exe; done | median)

strip -o "$work/netvigil" "$linux/netvigil"
exe=$win/package/Netvigil/netvigil.exe
echo "netvigil.exe: $(stat -c %s "$exe") bytes, stripped and static (the Linux netvigil:" \
    "$(stat -c %s "$work/netvigil") bytes stripped, with Qt's libraries beside it)"
echo "start to board, median of $runs: netvigil.exe under Wine $wine_ms ms;" \
    "the Linux netvigil $linux_ms ms; Wine's notepad.exe to its window $notepad_ms ms"

# A full board swept SWEEPS times: twenty starts of ping a sweep.
app=$work/Netvigil
mkdir -p "$app"
cp "$win/bin/netvigil.exe" "$app/"
cp "$win/bin/recorder.exe" "$app/ping.exe"
wine "$app/netvigil.exe" >/dev/null 2>&1 &
pid=$!
pids="$pids $pid"
hwm_after() { # sweeps
    until [ "$(cat "$app/ping.txt" 2>/dev/null | wc -l)" -ge $((20 * $1)) ]; do sleep 0.5; done
    sed -n 's/^VmHWM:[[:space:]]*//p' "/proc/$pid/status"
}
first=$(hwm_after 1)
last=$(hwm_after "$sweeps")
echo "netvigil.exe peak memory (VmHWM of its Wine process): $first after 1 sweep," \
    "$last after $sweeps sweeps"
