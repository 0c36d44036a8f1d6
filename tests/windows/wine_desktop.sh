# shellcheck shell=dash
# The start of every script that drives netvigil.exe under Wine on a virtual
# X desktop: the tests here, bench/netvigil_exe_bench.sh, and the build's
# wine-run --desktop. Sourced (by sh or bash); it defines functions and runs
# nothing. The script sets wine_run (the build's wine-run) first.
#
#   own_network TOOL... -- "$@"
#       Runs the script again, with its arguments, in a network namespace of
#       its own where only loopback is up, and returns there. Outside, it
#       first skips (exit 77) where root or a tool is missing, and makes the
#       Wine prefix, once, through wine-run.
#   wine_session
#       Wine in the build's prefix, alone (every other program of the prefix
#       ended first); a folder of the script's own, $work; and at the end,
#       however the script ends: Wine ended, every program in $pids, the
#       script's own at_end if it has one, the desktop's lock, and, in a
#       network of its own, whatever is still left there.
#   start_desktop [--window-manager]
#       Xvfb, openbox when asked for, and trayer as the notification area,
#       each ready when it returns; DISPLAY names the display, and $x_lock
#       is the lock that keeps its number, to remove at the end.
#   wait_for CONDITION [SECONDS]
#       Evaluates CONDITION until it holds, up to SECONDS (20 unless given):
#       enough for a loaded two-core machine; only a failure waits so long.
#   fail MESSAGE
#       Says so and counts it in $failures.

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

wait_for() {
    local deadline
    deadline=$(($(date +%s) + ${2:-20}))
    until eval "$1"; do
        [ "$(date +%s)" -le "$deadline" ] || return 1
        sleep 0.1
    done
}

own_network() {
    local tool
    if [ -n "${NETVIGIL_OWN_NETWORK:-}" ]; then
        ip link set lo up
        return
    fi
    while [ "$1" != -- ]; do
        command -v "$1" >/dev/null 2>&1 || { echo "SKIP: needs $1"; exit 77; }
        shift
    done
    shift
    for tool in ip unshare; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: needs $tool"; exit 77; }
    done
    if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
        echo "SKIP: needs root for a network namespace of its own"
        exit 77
    fi
    # Everything else runs in the new network, the X server too: its
    # abstract socket belongs to a network.
    # shellcheck disable=SC2154 # the script's own
    "$wine_run" cmd /c exit >/dev/null 2>&1
    exec unshare --net -- env NETVIGIL_OWN_NETWORK=1 "$0" "$@"
}

wine_session() {
    WINEPREFIX=$(sed -n "s/^WINEPREFIX='\(.*\)'$/\1/p" "$wine_run")
    WINEDEBUG=-all
    # In UTF-8, as wine-run: Linux names for every Windows file name.
    LC_ALL=C.UTF-8
    export WINEPREFIX WINEDEBUG LC_ALL
    unset WAYLAND_DISPLAY
    work=$(mktemp -d)
    pids=
    trap end_session EXIT
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

end_session() {
    local pid net dir
    wineserver -k >/dev/null 2>&1 || true
    for pid in $pids; do
        kill "$pid" 2>/dev/null || true
    done
    ! command -v at_end >/dev/null 2>&1 || at_end || true
    [ -z "${x_lock:-}" ] || rm -f "$x_lock"
    # A Wine process can outlive the server (a ping.exe's conhost.exe did),
    # holding the script's output open until ctest gives up: whatever else
    # is left in the script's own network goes.
    if [ -n "${NETVIGIL_OWN_NETWORK:-}" ]; then
        net=$(readlink /proc/$$/ns/net)
        for dir in /proc/[0-9]*; do
            if [ "${dir#/proc/}" != $$ ] && [ "$(readlink "$dir/ns/net" 2>/dev/null)" = "$net" ]; then
                kill "${dir#/proc/}" 2>/dev/null || true
            fi
        done
    fi
    rm -rf "$work"
}

start_desktop() {
    local number=100
    # A display number of the script's own. Xvfb would take the first number
    # free in its network namespace, and each namespace has them all: servers
    # in two namespaces would share a number, and the files named after it
    # (the keymap Xvfb compiles to /var/lib/xkb/server-N.xkm; the lock; the
    # socket file). The lock file, which every X server keeps or heeds, is
    # shared by all: the number is the first from 100 whose lock the script
    # makes (a server that takes the first number free in its own network
    # stays below).
    until (set -C && printf '%10d\n' $$ >"/tmp/.X$number-lock") 2>/dev/null; do
        number=$((number + 1))
        [ $number -lt 1000 ] || { echo "FAIL: no display number free"; exit 1; }
    done
    x_lock=/tmp/.X$number-lock
    # Xvfb says once it is ready. It never resets: a client that connects
    # during a reset (a window manager) is turned away. It listens in this
    # network namespace alone, on no file.
    Xvfb ":$number" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix -nolock \
        -noreset 3>"$work/display" 2>/dev/null &
    pids="$pids $!"
    wait_for '[ -s "$work/display" ]' || { echo "FAIL: Xvfb did not start"; exit 1; }
    DISPLAY=:$number
    export DISPLAY
    # openbox takes its selection long before it is ready for windows: a
    # panel mapped in between is lost, and trayer never shows. The name of
    # its theme is the last of what it sets on the root window as it starts.
    if [ "${1:-}" = --window-manager ]; then
        openbox >/dev/null 2>&1 &
        pids="$pids $!"
        wait_for 'xprop -root _OB_THEME 2>/dev/null | grep -q =' ||
            { echo "FAIL: openbox did not start"; exit 1; }
    fi
    # trayer maps its panel once it has taken the notification area.
    trayer --edge top --align right --widthtype pixel --width 120 >/dev/null 2>&1 &
    pids="$pids $!"
    wait_for 'xdotool search --onlyvisible --class trayer >/dev/null 2>&1' ||
        { echo "FAIL: trayer did not start"; exit 1; }
}
