#!/usr/bin/env bash
# A user's session: open a folder, copy two files, paste them elsewhere,
# trash one, rename the other, undo the rename, quit. Then the file system,
# the trash, the journal and the session file are checked.
# Runs under its own X server: tests/e2e/file-commands.sh (DROMEL_BIN set).
if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1400x900x24" "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
make_sandbox
trap 'status=$?; kill -9 ${PID:-0} 2>/dev/null || true; if ((status == 0)); then rm -rf "$WORK"; else echo "kept $WORK" >&2; fi' EXIT

mkdir -p "$FIX/src" "$FIX/dst"
printf 'alpha\n' >"$FIX/src/a.txt"
printf 'bravo\n' >"$FIX/src/b.txt"

JOURNAL=$FIX/src/.dromel-qa/operations.sqlite # the start folder keeps the fixture's journal
launch "$FIX/src"
keys ctrl+a
keys ctrl+c
go "$FIX/dst"
keys ctrl+v
wait_for "the pasted copies" exists "$FIX/dst/b.txt"
wait_for "the pasted copies" exists "$FIX/dst/a.txt"
wait_for "the copy task" newest_task_is "$JOURNAL" "completed copy"

# Trash b.txt: type-ahead selects it, Delete asks, Tab and Return confirm.
settle
type_text b
keys Delete
keys Tab
keys Return
wait_for "b.txt in the trash" exists "$XDG_DATA_HOME/Trash/files/b.txt"
missing "$FIX/dst/b.txt" || fail "b.txt is still in dst"
wait_for "the trash task" newest_task_is "$JOURNAL" "completed trash"

# Rename a.txt with F2, then undo it.
settle
type_text a
keys F2
keys ctrl+a
type_text renamed.txt
keys Return
wait_for "the rename" exists "$FIX/dst/renamed.txt"
wait_for "the rename task" newest_task_is "$JOURNAL" "completed rename"
settle
keys ctrl+z
wait_for "the undo" exists "$FIX/dst/a.txt"
missing "$FIX/dst/renamed.txt" || fail "the undo left renamed.txt"
wait_for "the undo task" bash -c "[[ \$(python3 -c 'import sqlite3; print(sqlite3.connect(\"$JOURNAL\").execute(\"select count(*) from operations\").fetchone()[0])') == 4 ]]"
wait_for "the undo task" newest_task_is "$JOURNAL" "completed rename"

quit_program

# The sources are untouched, the copy is exact, the trash has its record.
[[ $(cat "$FIX/src/a.txt") == alpha && $(cat "$FIX/src/b.txt") == bravo ]] || fail "sources changed"
[[ $(cat "$FIX/dst/a.txt") == alpha ]] || fail "dst/a.txt differs"
[[ $(cat "$XDG_DATA_HOME/Trash/files/b.txt") == bravo ]] || fail "trashed b.txt differs"
exists "$XDG_DATA_HOME/Trash/info/b.txt.trashinfo" || fail "no trash info for b.txt"

# The journal holds the four tasks, all completed, newest first.
tasks=$(journal_tasks "$JOURNAL")
expected=$'completed rename \ncompleted rename \ncompleted trash \ncompleted copy '
[[ $tasks == "$expected" ]] || fail "journal: got"$'\n'"$tasks"

# The session was saved at quit, showing dst.
python3 - "$WORK/session.json" "$FIX/dst" <<'PY' || fail "session file"
import json, sys
session = json.load(open(sys.argv[1]))
text = json.dumps(session)
assert sys.argv[2] in text, text
PY
echo "PASS: file commands"
