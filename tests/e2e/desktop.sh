#!/usr/bin/env bash
# The desktop's applications: Return opens a text file with the default the
# user's mimeapps.list names (a recorder script, found through its desktop
# entry), a right-click on a row and Open With ▸ open it with another
# application, Alt+Return opens the properties window, where a permission is
# changed on disk, F4 starts the terminal TERMINAL names in the shown folder.
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
cat >"$WORK/other.sh" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$WORK/other"
SCRIPT
chmod +x "$WORK/other.sh"
cat >"$XDG_DATA_HOME/applications/other.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Other Recorder
Exec=$WORK/other.sh %F
MimeType=text/plain;
ENTRY
# A folder the list fills, every row a text file: a click anywhere in it is on a row.
mkdir -p "$FIX/many"
for n in $(seq -w 1 150); do printf 'note %s\n' "$n" >"$FIX/many/note-$n.txt"; done
update-desktop-database "$XDG_DATA_HOME/applications"
printf '[Default Applications]\ntext/plain=recorder.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
export TERMINAL=$WORK/terminal.sh

# taller_than <window> <pixels>: a window that grew as its contents arrived.
taller_than() {
    local HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
    ((HEIGHT > $2))
}
# The Open With submenu with its applications (a separator and three entries,
# not the one line it shows while it looks for them).
submenu_filled() { other_window "$WID" "$MENU" && taller_than "$OTHER" 70; }

launch "$FIX/docs"
select_by_name notes.txt "$FIX/docs"
keys Return
wait_for "the recorder to receive the file" exists "$WORK/opened"
[[ $(cat "$WORK/opened") == "$FIX/docs/notes.txt" ]] || fail "the recorder got: $(cat "$WORK/opened")"

keys alt+Return
wait_for "the properties window" other_window "$WID"
[[ $(xdotool getwindowname "$OTHER") == *notes.txt* ]] || fail "the other window is $(xdotool getwindowname "$OTHER")"
# From Close, the first of the nine boxes; the eighth is others' write, then Apply
# past the ninth.
wait_for "the properties to be read" taller_than "$OTHER" 300
keys_to "$OTHER" Tab Tab Tab Tab Tab Tab Tab Tab space Tab Tab space
wait_for "others to be allowed to write the file" eval '[[ $(stat -c %a "$FIX/docs/notes.txt") == 646 ]]'
keys_to "$OTHER" Escape
wait_for "the properties window to close" eval '! other_window "$WID"'

# A right-click on a row of a full list, then Open With ▸, the second entry.
go "$FIX/many"
eval "$(xdotool getwindowgeometry --shell "$WID")"
xdotool mousemove --window "$WID" $((WIDTH * 2 / 3)) $((HEIGHT / 2)) click 3
wait_for "the context menu" other_window "$WID"
MENU=$OTHER
# Open, then Open With; its submenu fills once the applications are read.
xdotool key --clearmodifiers Down Down Right
wait_for "the applications" submenu_filled
xdotool key --clearmodifiers Down Return
wait_for "the other application to receive a file" exists "$WORK/other"
clicked=$(cat "$WORK/other")
[[ $clicked == "$FIX/many/note-"*.txt && -e $clicked ]] || fail "the other application got: $clicked"
keys ctrl+c
wait_for "the file opened to be the row clicked" clipboard_files_are "$clicked"

keys F4
wait_for "the terminal" exists "$WORK/terminal"
[[ $(cat "$WORK/terminal") == "$FIX/many" ]] || fail "the terminal started in $(cat "$WORK/terminal")"
quit_program
echo "ok: desktop"
