#!/usr/bin/env bash
# A user's session: open a folder, copy two files, paste them in another
# folder, trash one, rename the other, undo the rename, quit. Then the file
# system, the trash, the journal and the session file are checked.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/file-commands.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src" "$FIX/dst"
printf 'alpha\n' >"$FIX/src/a.txt"
printf 'bravo\n' >"$FIX/src/b.txt"
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite # a fixture run keeps its journal in the start folder

launch "$FIX/src"
copy_all() { keys ctrl+a ctrl+c; }
retry "both files on the clipboard" copy_all "clipboard_files_are $FIX/src/a.txt $FIX/src/b.txt"
go "$FIX/dst"
keys ctrl+v
wait_for "the pasted copies" exists "$FIX/dst/a.txt"
wait_for "the pasted copies" exists "$FIX/dst/b.txt"
wait_for "the copy task" newest_task_is "completed copy"

# Trash b.txt: the sheet asks first; Cancel is its first button, Trash the second.
select_by_name b.txt "$FIX/dst"
keys Delete
wait_for "the trash question" other_window "$WID"
keys_to "$OTHER" Tab space
wait_for "b.txt in the trash" exists "$XDG_DATA_HOME/Trash/files/b.txt"
wait_for "the trash task" newest_task_is "completed trash"
missing "$FIX/dst/b.txt" || fail "b.txt is still in dst"

# Rename a.txt. Select-all in the name editor hands its text to the X
# selection, which tells that the editor is open and has the keys.
select_by_name a.txt "$FIX/dst"
keys F2
select_name() { keys ctrl+a; }
name_selected() { [[ $(selection) == a.txt ]]; }
retry "the name editor" select_name name_selected
type_text renamed.txt
keys Return
wait_for "the rename" exists "$FIX/dst/renamed.txt"
wait_for "the rename task" newest_task_is "completed rename"
missing "$FIX/dst/a.txt" || fail "the rename left a.txt"

keys ctrl+z
wait_for "the undo task" task_count_is 4
wait_for "the undo" newest_task_is "completed rename"
exists "$FIX/dst/a.txt" || fail "the undo did not bring a.txt back"
missing "$FIX/dst/renamed.txt" || fail "the undo left renamed.txt"

quit_program

# The sources are untouched, the copy is exact, the trash has its record.
[[ $(cat "$FIX/src/a.txt") == alpha && $(cat "$FIX/src/b.txt") == bravo ]] || fail "sources changed"
[[ $(cat "$FIX/dst/a.txt") == alpha ]] || fail "dst/a.txt differs"
[[ $(ls -A "$FIX/dst") == a.txt ]] || fail "dst holds: $(ls -A "$FIX/dst")"
[[ $(cat "$XDG_DATA_HOME/Trash/files/b.txt") == bravo ]] || fail "trashed b.txt differs"
grep -qx "Path=$FIX/dst/b.txt" "$XDG_DATA_HOME/Trash/info/b.txt.trashinfo" || fail "trash info for b.txt"

# The journal holds the four tasks, all completed, newest first; the last
# one is the undo of the rename before it.
tasks=$(journal "SELECT json_extract(payload, '$.phase'), json_extract(payload, '$.request.kind'),
                        json_extract(payload, '$.request.undo') IS NOT NULL
                 FROM operations ORDER BY rowid DESC")
expected=$'completed|rename|1\ncompleted|rename|0\ncompleted|trash|0\ncompleted|copy|0'
[[ $tasks == "$expected" ]] || fail "journal: got"$'\n'"$tasks"
undone=$(journal "SELECT json_extract(payload, '$.request.undo.original') FROM operations ORDER BY rowid DESC LIMIT 1")
[[ $undone == "file://$FIX/dst/a.txt" ]] || fail "the undo restores $undone"

# The session was saved at quit, showing dst in its only tab.
session=$WORK/session.json
[[ $(json_value "$session" '$.tabs') != "" ]] || fail "no session file"
[[ $(json_value "$session" '$.tabs[#-1].history[#-1]') == "$FIX/dst" ]] ||
    fail "session: $(cat "$session")"
[[ $(json_value "$session" '$.tabs[0].historyIndex') == 1 ]] || fail "session: $(cat "$session")"
echo "PASS: file commands"
