#!/usr/bin/env bash
# Drives kelvo-terminal the way a user does, in a real X server: F8 opens the emulator's port
# (the ride starts by itself), F9 stops the ride, F9 starts a new one, and F8 closes the port.
# The terminal's text is read back from outside the process: select all, copy, read the clipboard.
# usage: RealWindowTest.sh KELVO_TERMINAL KELVO_CONSOLE_SIM
set -euo pipefail
terminal=$1 console_sim=$2

if [[ -z "${KELVO_UNDER_XVFB:-}" ]]; then
    export KELVO_UNDER_XVFB=1
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi
unset QT_QPA_PLATFORM

work=$(mktemp -d)
link="$work/console"
cleanup() {
    kill "${terminal_pid:-}" "${console_pid:-}" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A run-local registry that names the emulator's port, so that F8 opens it at once.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Corvane"
printf '[General]\nPort=%s\n' "$link" >"$XDG_CONFIG_HOME/Corvane/Tavrik.conf"

mkfifo "$work/console.in"
"$console_sim" --version 5 --link "$link" <"$work/console.in" >"$work/console.out" 2>&1 &
console_pid=$!
exec 3>"$work/console.in"
until [[ -e "$link" ]]; do kill -0 "$console_pid"; sleep 0.05; done

# The program runs from a copy of itself so that its settings.ini and CS.log stay in the work folder.
cp "$terminal" "$work/kelvo-terminal"
"$work/kelvo-terminal" >"$work/terminal.out" 2>&1 &
terminal_pid=$!

fail() { echo "FAIL: $*"; echo "--- terminal text:"; cat "$work/text" 2>/dev/null | head -40; exit 1; }

# Polls until the expression holds, at most $2 seconds.
wait_for() {
    local what=$1 seconds=$2
    for ((i = 0; i < seconds * 10; i++)); do
        eval "$what" && return 0
        kill -0 "$terminal_pid" 2>/dev/null || fail "kelvo-terminal ended"
        sleep 0.1
    done
    return 1
}

window=""
wait_for 'window=$(xdotool search --onlyvisible --name "Kelvo Terminal Tester" 2>/dev/null | head -1); [[ -n "$window" ]]' 20 \
    || fail "the main window did not appear"
press() { xdotool windowfocus --sync "$window" key --clearmodifiers "$@"; }

# Select all and copy, then read the clipboard into $work/text.
read_terminal() {
    press ctrl+a ctrl+c
    xclip -o -selection clipboard >"$work/text" 2>/dev/null || true
}
terminal_has() { read_terminal; grep -qE "$1" "$work/text"; }

press F8
wait_for 'terminal_has "Rcv>>  F0 08 .* MtIdentification"' 10 || fail "no identification line after F8"
wait_for 'terminal_has "Rcv>>  F0 01 .* mtInfos, Rolls: "' 10 || fail "no infos lines: the ride did not start"

count_of() { grep -c "$1" "$work/text" || true; }
# A ride starts once the handshake's wait is over, with its serial-number request; the window
# refuses F8 and F9 while that wait runs.
serial_requests() { read_terminal; count_of "TRX <<<   F0 03 00 00 00 F7 3 Request: Serial number"; }
wait_for '[[ $(serial_requests) -eq 1 ]]' 5 || fail "no serial-number request before the ride"

# F9 on a running ride stops it; the next F9 connects again, so a second identification answer
# arrives only after the second press.
press F9
read_terminal
[[ $(count_of MtIdentification) -eq 1 ]] || fail "F9 on a running ride connected again instead of stopping it"
press F9
wait_for 'read_terminal; [[ $(count_of MtIdentification) -eq 2 ]]' 10 || fail "the second F9 did not start a new ride"
wait_for '[[ $(serial_requests) -eq 2 ]]' 5 || fail "no serial-number request before the second ride"

# F8 closes the port: the infos lines stop, and the program is still there.
# Real time must pass to see that nothing more arrives; one second is ten frames of the console.
press F8
sleep 0.3
read_terminal
closed=$(count_of Rcv)
sleep 1
read_terminal
[[ $(count_of Rcv) -eq "$closed" ]] || fail "lines went on arriving after F8 closed the port"
kill -0 "$terminal_pid" || fail "kelvo-terminal ended after closing the port"
echo "PASS: $(grep -c 'mtInfos' "$work/text") infos lines read back from the window"
