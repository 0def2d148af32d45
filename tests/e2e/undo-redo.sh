#!/usr/bin/env bash
# Undo and redo as a user meets them, across a restart: two files trashed
# together, the trash undone with Ctrl+Z and done again with Ctrl+Shift+Z;
# the program is closed and opened again, and Ctrl+Z still brings both back.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/undo-redo.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src"
for name in a b; do printf '%s\n' "$name" >"$FIX/src/$name.txt"; done
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite
TRASH=$XDG_DATA_HOME/Trash

launch "$FIX/src"
select_by_name a.txt "$FIX/src"
keys ctrl+a
keys Delete
wait_for "the trash question" other_window "$WID"
keys_to "$OTHER" Tab space # Cancel, Trash
wait_for "the trash" newest_task_is "completed trash"
missing "$FIX/src/a.txt" && missing "$FIX/src/b.txt" || fail "src: $(ls -A "$FIX/src")"

keys ctrl+z
wait_for "the undo" newest_task_is "completed restore"
[[ $(cat "$FIX/src/a.txt") == a && $(cat "$FIX/src/b.txt") == b ]] || fail "src: $(ls -A "$FIX/src")"

keys ctrl+shift+z
wait_for "the redo" newest_task_is "completed trash"
exists "$TRASH/files/a.txt" && exists "$TRASH/files/b.txt" || fail "trash: $(ls -A "$TRASH/files")"
quit_program

launch "$FIX/src"
keys ctrl+z
wait_for "the undo after a restart" newest_task_is "completed restore"
quit_program

[[ $(cat "$FIX/src/a.txt") == a && $(cat "$FIX/src/b.txt") == b ]] || fail "src: $(ls -A "$FIX/src")"
[[ -z $(ls -A "$TRASH/files") && -z $(ls -A "$TRASH/info") ]] || fail "the trash holds: $(ls -A "$TRASH"/*)"
[[ $(journal 'SELECT count(*) FROM undo_history') == 1 ]] || fail "no undo history in the journal"
[[ $(journal 'PRAGMA user_version') == 2 ]] || fail "journal version $(journal 'PRAGMA user_version')"
echo "PASS: undo, redo and undo after a restart"
