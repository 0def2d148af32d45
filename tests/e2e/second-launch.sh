#!/usr/bin/env bash
# Dromel runs once per session: a second launch with a folder hands the
# folder to the running program, which shows it in a new tab, and ends.
# Without a session bus (as here) the two meet on a socket in
# $XDG_RUNTIME_DIR. Fixture runs meet only when they ask for it.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/second-launch.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x
export DromelFixtureSingleInstance=1

mkdir -p "$FIX/first" "$FIX/second"
launch "$FIX/first"
[[ -S $XDG_RUNTIME_DIR/org.dromel.Dromel.socket ]] || fail "the running program offers no socket"

"$DROMEL_BIN" --isolated --directory "$FIX/second" --session-file "$WORK/session.json" \
    >>"$WORK/second.log" 2>&1 &
SECOND=$!
second_ended() { ! kill -0 "$SECOND" 2>/dev/null; }
wait_for "the second launch to end" second_ended
status=0
wait "$SECOND" || status=$?
((status == 0)) || fail "the second launch exited with status $status"

# The running window shows the folder in a tab of its own, the first kept.
wait_for_title second
[[ $(xdotool search --onlyvisible --name ' — Dromel$' | wc -l) == 1 ]] || fail "a second main window appeared"
keys ctrl+Page_Up
wait_for_title first
quit_program
echo "ok second-launch"
