#!/bin/bash
# netvigil.exe as a Windows user meets it, under Wine: in a network of the
# test's own with three hosts (two answering, one silent), on a virtual X
# desktop with trayer as the notification area and openbox as the window
# manager. The lights (as a screen reader reads them too), the tray icon and
# its tooltip (with a long name that is not ASCII, whole), every command of
# the menu bar and the tray menu, and the host actions, which run recording
# stand-ins of shutdown.exe and explorer.exe from the program's directory.
# While the board is in the tray, the shell starts afresh (the icon comes
# back, and still brings the board back), and the silent host, whose alert box
# is ticked, starts answering and stops again: the badge on the icon at once,
# the shell's balloons once the change has held for a second sweep, their
# click, and the change log in the user's local application data. Last, a
# start hidden, the options window open with an edit in it, and the end of
# the session: the program ends, takes its icon, and saves nothing.
#
#   desktop_test.sh BIN_DIR WINE_RUN [SCREENSHOT [ALERT_SCREENSHOT]]
#
# BIN_DIR holds netvigil.exe, ping.exe, netvigil-reg.exe, recorder.exe and
# balloon_probe.exe; WINE_RUN is the build's wine-run, which makes its Wine
# prefix. A screenshot of the board is written to SCREENSHOT, and one of the
# warning balloon by the icon to ALERT_SCREENSHOT, when given. Exits 77
# (skipped) where root, Xvfb, trayer, openbox, xdotool or ImageMagick are
# missing.
set -u

bin=$(cd "$1" && pwd)
wine_run=$2
screenshot=${3:-}
alert_screenshot=${4:-}
# shellcheck source=tests/windows/wine_desktop.sh
. "$(dirname "$0")/wine_desktop.sh"
own_network Xvfb trayer openbox xdotool xprop import convert -- "$@"
wine_session

# A host of our own that takes echo requests and answers none until told
# (tests/support/late_hosts.sh, as the C++ tests' LateHosts); it goes when
# its input ends, with the script.
silent=10.209.0.2
mkfifo "$work/late.in"
sh "$(dirname "$0")/../support/late_hosts.sh" "$bin/test_late_host" "nvwine$$" 0 silent \
    <"$work/late.in" >"$work/late.out" &
late=$!
exec 4>"$work/late.in"
at_end() {
    exec 4>&-
    wait "$late"
}
wait_for 'grep -q ready "$work/late.out"' 60 || { echo "FAIL: no silent host"; exit 1; }
# answer DELAY: the silent host answers after DELAY ms, or never ("silent"),
# once this returns.
answer() {
    local said
    said=$(grep -c "^$silent=$1\$" "$work/late.out")
    echo "$silent=$1" >&4
    wait_for "[ \$(grep -c '^$silent=$1\$' \"\$work/late.out\") -gt $said ]" ||
        fail "the silent host did not take $1"
}

start_desktop --window-manager

# The program's directory: the programs, and the stand-ins, which Windows
# finds there before its own.
app=$work/Netvigil
mkdir -p "$app"
cp "$bin/netvigil.exe" "$bin/ping.exe" "$app/"
cp "$bin/recorder.exe" "$app/shutdown.exe"
cp "$bin/recorder.exe" "$app/explorer.exe"

# Wine's notification area lives in its explorer.exe, which the first program
# that asks for the desktop starts, with that program's error output and
# WINEDEBUG: there it traces the flags of each request for the icon, and the
# title and icon of each balloon. The probe keeps the desktop to the end.
WINEDEBUG=-all,trace+systray,trace+tooltips wine "$bin/balloon_probe.exe" desktop \
    >"$work/desktop" 2>"$work/trace" &
pids="$pids $!"
wait_for '[ -s "$work/desktop" ]' 60 || { echo "FAIL: Wine's desktop did not start"; exit 1; }

# The three hosts and seventeen empty slots, in one import; the silent host's
# alert box is ticked.
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Netvigil\\Remote Hosts]\r\n'
    names=("Büro – Köln Zentrale Drucker" silent three)
    addresses=(127.0.0.1 "$silent" 127.0.0.2)
    for n in $(seq 20); do
        printf '"Host %d"="%s"\r\n"IP Address %d"="%s"\r\n' \
            "$n" "${names[n - 1]:-}" "$n" "${addresses[n - 1]:-}"
    done
    printf '"Display Balloon 2"="1"\r\n'
} >"$work/hosts.reg"
wait_for 'wine "$bin/netvigil-reg.exe" import "$work/hosts.reg" >/dev/null 2>&1' 60 ||
    { echo "FAIL: netvigil-reg.exe could not seed the hosts"; exit 1; }

# Window X, Y, WIDTH and HEIGHT, for the program's visible windows and
# those of Wine's notification area (explorer.exe), which docks its icon.
windows() {
    local id
    for id in $(xdotool search --onlyvisible --class 'netvigil|explorer' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" 2>/dev/null || continue
        echo "$id $X $Y $WIDTH $HEIGHT"
    done
}
# The first window whose geometry the test (an awk condition) passes.
find_window() {
    windows | awk "$1 { print; exit }"
}
is_board='$4 >= 195 && $4 <= 215 && $5 > 60 && $5 < 200'
is_icon='$4 <= 32 && $5 <= 32 && $3 < 40 && $2 > 800'
is_options='$4 > 250 && $5 > 400'
is_menu='$4 > 60 && $5 > 60 && !('"$is_board"') && !('"$is_options"')'
present() { [ -n "$(find_window "$1")" ]; }
absent() { [ -z "$(find_window "$1")" ]; }
# Sets WX, WY, WW and WH to the geometry of the window the test passes,
# waiting for one to show.
locate() {
    local w= wanted=$1
    wait_for 'w=$(find_window "$wanted"); [ -n "$w" ]' || return 1
    read -r _ WX WY WW WH <<<"$w"
}
click() { # window-test x y [button]
    locate "$1" || { fail "no window for a click at $2,$3"; return; }
    sleep 0.3
    xdotool mousemove $((WX + $2)) $((WY + $3)) click "${4:-1}"
}
click_icon() {
    locate "$is_icon" || { fail "no icon to click"; return; }
    xdotool mousemove $((WX + WW / 2)) $((WY + WH / 2)) click "$1"
}
# Clicks the nth of the four items of the tray menu (Options, Stop Pinging,
# Restore From Tray, Exit): the window the icon belongs to has no keyboard.
# A menu that stays open took no click, and is clicked again; it is gone
# only when two looks a moment apart miss it (one look can miss a window
# while another one goes).
choose() {
    local tries
    for tries in 1 2 3; do
        locate "$is_menu" || { [ "$tries" -gt 1 ] || fail "no menu to choose from"; return; }
        sleep 0.3
        xdotool mousemove $((WX + WW / 2)) $((WY + WH * (2 * $1 - 1) / 8)) click 1
        wait_for 'absent "$is_menu" && sleep 0.5 && absent "$is_menu"' && return
    done
    fail "the tray menu took no click on item $1"
}
# The colour of the badge in the icon's lower right quarter: green, red or
# none.
badge() {
    local w
    w=$(find_window "$is_icon")
    [ -n "$w" ] || return
    read -r _ WX WY WW WH <<<"$w"
    import -window root "$work/tray.png" 2>/dev/null
    convert "$work/tray.png" -crop "$((WW / 2))x$((WH / 2))+$((WX + WW / 2))+$((WY + WH / 2))" \
        txt:- 2>/dev/null |
        awk -F'[(),]' '!/^#/ {
            r = $3; g = $4; b = $5
            if (g > 180 && r < 120 && b < 120) green++
            if (r > 180 && g < 120 && b < 120) red++
        }
        END { print (green > 3 && green > red) ? "green" : (red > 3) ? "red" : "none" }'
}
# Waits for the shell's balloon with this text; sets BX, BY, BW and BH to its
# geometry, or says what showed instead.
balloon() {
    local out rc=0
    out=$(wine "$bin/balloon_probe.exe" wait 150 "$1" 2>/dev/null) || rc=$?
    out=${out//$'\r'/}
    if [ $rc -ne 0 ]; then
        fail "no balloon \"$1\" (last shown: \"$out\")"
        return 1
    fi
    read -r BX BY BW BH <<<"$out"
}
# The flags of each request for the icon that the notification area got, in
# hexadecimal, and the title and icon kind of each balloon.
requests() {
    sed -n 's/.*modify_icon id=.* flags=\([0-9a-f]*\).*/\1/p' "$work/trace" | tr -d '\r'
}
balloon_titles() {
    sed -n 's/.*SetTitleT.*title = \(.*\), icon = 0*\([0-9a-f]*\).*/\1 \2/p' "$work/trace" |
        tr -d '\r'
}

# The colours down the column of the board's lights, as runs: g green, r red.
# The column passes left of each light's tick or cross.
lights() {
    locate "$is_board" || return
    import -window root "$work/shot.png" 2>/dev/null
    convert "$work/shot.png" -crop "1x$WH+$((WX + 9))+$WY" txt:- 2>/dev/null |
        awk -F'[(),]' '!/^#/ {
            r = $3; g = $4; b = $5
            c = (g > 180 && r < 120) ? "g" : (r > 180 && g < 120 && b < 120) ? "r" : "."
            if (c != last) { printf "%s", c; last = c }
        }' | tr -d .
}

# The change log starts afresh: the prefix outlives the test.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Netvigil
wine "$app/netvigil.exe" &
netvigil=$!
pids="$pids $netvigil"

wait_for 'present "$is_board"' 60 || fail "no board among: $(windows | tr '\n' ';')"
wait_for 'present "$is_icon"' || fail "no tray icon in trayer"
wait_for '[ "$(lights)" = grg ]' 60 || fail "the lights are '$(lights)', not green, red, green"
# What a screen reader reads of the board: each light's name, state, round
# trip and since when, and the names beside them.
read_names=$(wine "$bin/balloon_probe.exe" names 2>/dev/null | tr -d '\r' | head -n 6 | tr '\n' '|')
case "$read_names" in
'Büro – Köln Zentrale Drucker, online, '*' ms, since '*'|Büro – Köln Zentrale Drucker|silent, offline since '*'|silent|three, online, '*' ms, since '*'|three|') ;;
*) fail "a screen reader reads the board as \"$read_names\"" ;;
esac
if [ -n "$screenshot" ] && locate "$is_board"; then
    convert "$work/shot.png" -crop "$((WW + 4))x$((WH + 26))+$((WX - 2))+$((WY - 24))" +repage \
        "$screenshot"
fi

# The icon's tooltip, once the first sweep has ended: the summary, a line
# for each of the three hosts.
is_summary_tip='$2 > 700 && $3 > 20 && $3 < 120 && $4 > 40 && $5 >= 36 && $5 < 80'
summary=no
for _ in $(seq 20); do
    locate "$is_icon" || break
    xdotool mousemove $((WX + WW / 2)) $((WY + WH + 60)) sleep 0.3 mousemove $((WX + 4)) \
        $((WY + 4)) sleep 0.2 mousemove $((WX + WW / 2)) $((WY + WH / 2))
    if wait_for 'present "$is_summary_tip"' 2; then
        summary=yes
        break
    fi
done
[ $summary = yes ] || fail "the icon's tooltip never showed the summary of the three hosts"
expected_tip='Büro – Köln Zentrale Drucker is on.|silent is off.|three is on.|'
shown_tip=$(wine "$bin/balloon_probe.exe" tip 2>/dev/null | tr -d '\r')
[ "$shown_tip" = "$expected_tip" ] || fail "the icon's tooltip reads \"$shown_tip\""
xdotool mousemove 500 500

# Stop, then Resume in its place on the menu bar. The sweep keeps the
# program from its messages for a second at a time under Wine (a ping.exe a
# slot): of two clicks queued meanwhile, only Stop took effect, and the
# program stayed stopped. The second click waits until the first is taken:
# the badge greys.
click "$is_board" 118 -10
wait_for '[ "$(badge)" = none ]' 30 || fail "Stop left the badge $(badge)"
click "$is_board" 118 -10
# Options, then its Cancel.
click "$is_board" 28 -10
wait_for 'present "$is_options"' || fail "Options opened no window"
click "$is_options" 112 -10
wait_for 'absent "$is_options"' || fail "Cancel left the options open"

# Each host action, from the first host's button, records its command line.
actions=("Down" "Down Down" "Down Down Down" "Down Down Down Down")
for keys in "${actions[@]}"; do
    click "$is_board" 178 18
    wait_for 'present "$is_menu"' || fail "the host button opened no menu"
    # shellcheck disable=SC2086
    xdotool key $keys Return
    wait_for 'absent "$is_menu"'
done
expected_explorer='explorer \\127.0.0.1'
expected_shutdown='shutdown -m \\127.0.0.1 -s -t 10 -f
shutdown -m \\127.0.0.1 -r -t 10 -f
shutdown -m \\127.0.0.1 -a'
wait_for '[ "$(cat "$app/shutdown.txt" 2>/dev/null)" = "$expected_shutdown" ]' ||
    fail "shutdown.exe ran as: $(cat "$app/shutdown.txt" 2>/dev/null)"
[ "$(cat "$app/explorer.txt" 2>/dev/null)" = "$expected_explorer" ] ||
    fail "explorer.exe ran as: $(cat "$app/explorer.txt" 2>/dev/null)"

# Tray: the board goes; the icon's menu brings it back (Restore From Tray).
click "$is_board" 78 -10
wait_for 'absent "$is_board"' || fail "Tray left the board showing"
click_icon 3
wait_for 'present "$is_menu"' || fail "a right click on the icon gave no menu"
choose 3
wait_for 'present "$is_board"' || fail "Restore From Tray did not bring the board back"

# The shell starts afresh while the board is in the tray: it has the icon no
# more, then says so to every program. The icon comes back, and its menu
# still brings the board back.
click "$is_board" 78 -10
wait_for 'absent "$is_board"' || fail "Tray left the board showing"
wine "$bin/balloon_probe.exe" forget >/dev/null 2>&1 || fail "the icon could not be taken away"
wait_for 'absent "$is_icon"' || fail "the icon stayed after the shell forgot it"
wine "$bin/balloon_probe.exe" restarted >/dev/null 2>&1 || fail "no TaskbarCreated sent"
wait_for 'present "$is_icon"' || fail "the icon did not come back after TaskbarCreated"
click_icon 3
wait_for 'present "$is_menu"' || fail "a right click on the icon that came back gave no menu"
choose 3
wait_for 'present "$is_board"' || fail "the icon that came back did not bring the board back"

# Alerts from the tray. The silent host starts answering, then stops: each
# time the badge turns green, then red, with the sweep that sees it; one
# request with NIF_INFO follows with the next sweep, and a balloon (Wine shows
# it two seconds after the request) titled "Netvigil" with the host's line,
# information then warning.
click "$is_board" 78 -10
wait_for 'absent "$is_board"' || fail "Tray left the board showing"
# The first sweep since Resume may still run (twenty ping.exe under Wine).
wait_for '[ "$(badge)" = red ]' 60 || fail "the badge is $(badge), not red, with a host off"
before=$(requests | wc -l)
# The requests with NIF_INFO since the alerts began.
infos() {
    requests | tail -n +$((before + 1)) | while read -r flags; do
        (((0x$flags & 0x10) != 0)) && echo "$flags"
    done | wc -l
}
answer 0
wait_for '[ "$(badge)" = green ]' 60 || fail "the badge is $(badge), not green, with every host on"
[ "$(infos)" -eq 0 ] || fail "an alert after one sweep that found the host on"
balloon "silent is on."
answer silent
wait_for '[ "$(badge)" = red ]' 60 || fail "the badge is $(badge), not red, with a host off"
[ "$(infos)" -eq 1 ] || fail "$(infos) alerts after one sweep that found the host off, not 1"
if balloon "silent is off." && [ -n "$alert_screenshot" ] && locate "$is_icon"; then
    left=$((BX < WX ? BX : WX)) top=$((BY < WY ? BY : WY))
    right=$((BX + BW > WX + WW ? BX + BW : WX + WW)) bottom=$((BY + BH > WY + WH ? BY + BH : WY + WH))
    import -window root "$work/alert.png" 2>/dev/null
    convert "$work/alert.png" -crop "$((right - left + 8))x$((bottom - top + 8))+$((left - 4))+$((top - 4))" \
        +repage "$alert_screenshot"
fi
[ "$(infos)" -eq 2 ] || fail "$(infos) requests with NIF_INFO, not 2: $(requests | tr '\n' ' ')"
[ "$(balloon_titles | tr '\n' ';')" = 'L"Netvigil" 1;L"Netvigil" 2;' ] ||
    fail "the balloons' titles and icons: $(balloon_titles | tr '\n' ';')"
# A click on the balloon. Wine closes its balloon on a click but reports none
# to the program: the probe sends what the shell sends for one.
absent "$is_board" || fail "the board came back before the balloon's click"
wine "$bin/balloon_probe.exe" click >/dev/null 2>&1 || fail "no window for the balloon's click"
wait_for 'present "$is_board"' || fail "a click on the balloon did not bring the board back"

# The change log: a header, each host's first state, then the silent host's
# two changes; tab-separated, the local time with its offset first.
log=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/Netvigil/changes.log 2>/dev/null | head -n 1)
if [ -z "$log" ]; then
    fail "no change log in the user's local application data"
else
    header=$(head -n 1 "$log")
    [ "$header" = "$(printf 'time\tslot\tname\taddress\tstate\tround trip (ms)')" ] ||
        fail "the change log begins: $header"
    changes=$(tail -n +2 "$log" | awk -F'\t' '
        BEGIN { d = "[0-9][0-9]"; when = "^" d d "-" d "-" d "T" d ":" d ":" d "[+-]" d ":" d "$" }
        $1 !~ when { print "time " $1 }
        $5 == "on" && $6 !~ /^(<1|[0-9]+)$/ { print "round trip " $6 }
        $5 == "off" && $6 != "" { print "round trip " $6 }
        { print $2, $3, $4, $5 }' | tr '\n' ';')
    [ "$changes" = "1 Büro – Köln Zentrale Drucker 127.0.0.1 on;2 silent $silent off;3 three 127.0.0.2 on;2 silent $silent on;2 silent $silent off;" ] ||
        fail "the change log's lines: $changes"
fi

# Tray again, and the tray menu's Exit: the program ends and takes its icon.
click "$is_board" 78 -10
wait_for 'absent "$is_board"' || fail "Tray left the board showing"
click_icon 3
wait_for 'present "$is_menu"' || fail "a right click on the icon gave no menu"
choose 4
wait_for '! kill -0 "$netvigil" 2>/dev/null' || fail "Exit did not end the program"
wait_for 'absent "$is_icon"' || fail "the icon outlived the program"

# Started hidden at log-in, the options window open with a name half
# changed, and the session ends (Windows sends no WM_CLOSE then): the
# program ends as Exit ends it, takes its icon, and writes nothing.
wine "$app/netvigil.exe" /HIDE &
netvigil=$!
pids="$pids $netvigil"
wait_for 'present "$is_icon"' 60 || fail "no tray icon for a start hidden"
click_icon 3
wait_for 'present "$is_menu"' || fail "a right click on the icon gave no menu"
choose 1
wait_for 'present "$is_options"' || fail "Options from the tray opened no window"
xdotool type --delay 50 "half"
wine wineboot --end-session >/dev/null 2>&1
wait_for '! kill -0 "$netvigil" 2>/dev/null' || fail "the end of the session did not end the program"
wait_for 'absent "$is_icon"' || fail "the icon outlived the session"
stored=$(wine "$bin/netvigil-reg.exe" query 'HKCU\Software\Netvigil\Remote Hosts' /v 'Host 1' 2>/dev/null |
    tr -d '\r')
case "$stored" in
*half*) fail "the end of the session saved the edit: $stored" ;;
*"Büro – Köln Zentrale Drucker"*) ;;
*) fail "host 1 reads \"$stored\" after the end of the session" ;;
esac

if [ $failures -gt 0 ]; then
    kill -0 "$netvigil" 2>/dev/null && state=running || state=ended
    echo "netvigil.exe: $state; windows: $(windows | tr '\n' ';')"
else
    echo "PASS"
fi
exit $((failures > 0))
