#!/usr/bin/env bash
# The desktop's applications: Return opens a text file with the default the
# user's mimeapps.list names (a recorder script, found through its desktop
# entry), Alt+Return opens the properties window, F4 starts the terminal
# TERMINAL names in the shown folder.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/desktop.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/docs" "$XDG_DATA_HOME/applications"
printf 'some notes\n' >"$FIX/docs/notes.txt"
cat >"$WORK/record.sh" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$WORK/opened"
SCRIPT
cat >"$WORK/terminal.sh" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$PWD" >"$WORK/terminal"
SCRIPT
chmod +x "$WORK/record.sh" "$WORK/terminal.sh"
cat >"$XDG_DATA_HOME/applications/recorder.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Recorder
Exec=$WORK/record.sh %F
MimeType=text/plain;
ENTRY
update-desktop-database "$XDG_DATA_HOME/applications"
printf '[Default Applications]\ntext/plain=recorder.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
export TERMINAL=$WORK/terminal.sh

launch "$FIX/docs"
select_by_name notes.txt "$FIX/docs"
keys Return
wait_for "the recorder to receive the file" exists "$WORK/opened"
[[ $(cat "$WORK/opened") == "$FIX/docs/notes.txt" ]] || fail "the recorder got: $(cat "$WORK/opened")"

keys alt+Return
wait_for "the properties window" other_window "$WID"
[[ $(xdotool getwindowname "$OTHER") == *notes.txt* ]] || fail "the other window is $(xdotool getwindowname "$OTHER")"
keys_to "$OTHER" Escape
wait_for "the properties window to close" eval '! other_window "$WID"'

keys F4
wait_for "the terminal" exists "$WORK/terminal"
[[ $(cat "$WORK/terminal") == "$FIX/docs" ]] || fail "the terminal started in $(cat "$WORK/terminal")"
quit_program
echo "ok: desktop"
