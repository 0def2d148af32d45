#!/usr/bin/env bash
# Two processes on one operations journal (two isolated runs on the same
# folder, which do not hand over to each other): the first runs a task; the
# second, which cannot lock the journal, may look but not act. Its trash and
# paste are refused, and the journal keeps every byte while it runs.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/journal-in-use.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src" "$FIX/dst"
printf 'alpha\n' >"$FIX/src/a.txt"
printf 'bravo\n' >"$FIX/src/b.txt"
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite # both runs start in src: one journal

launch "$FIX/src"
copy_all() { keys ctrl+a ctrl+c; }
retry "both files on the clipboard" copy_all "clipboard_files_are $FIX/src/a.txt $FIX/src/b.txt"
go "$FIX/dst"
keys ctrl+v
wait_for "the pasted copies" exists "$FIX/dst/b.txt"
wait_for "the copy task" newest_task_is "completed copy"
before=$(sha256sum <"$JOURNAL")

"$DROMEL_BIN" --isolated --directory "$FIX/src" --session-file "$WORK/second-session.json" \
    >>"$WORK/second.log" 2>&1 &
SECOND=$!
OTHER_PIDS+=("$SECOND")
second_window() {
    kill -0 "$SECOND" 2>/dev/null || fail "the second run ended: $(tail -n 3 "$WORK/second.log")"
    WID2=$(xdotool search --all --onlyvisible --pid "$SECOND" --name ' — Dromel$' 2>/dev/null | head -n 1)
    [[ -n $WID2 ]]
}
wait_for "the second window" second_window
second_shows_src() { [[ $(xdotool getwindowname "$WID2" 2>/dev/null) == "src — Dromel" ]]; }
wait_for "the second window to show src" second_shows_src

# Select both files (copy is allowed: it only fills the clipboard, and tells
# that the list is read and selected), then trash them, paste the clipboard
# into src and ask for a new folder: each is refused without a question or
# dialog, and nothing changes.
printf 'other\n' | xclip -selection clipboard -i
select_all() { keys_to "$WID2" ctrl+a ctrl+c; }
retry "src selected in the second window" select_all "clipboard_files_are $FIX/src/a.txt $FIX/src/b.txt"
keys_to "$WID2" Delete
keys_to "$WID2" ctrl+v
keys_to "$WID2" ctrl+shift+n
# Proves that nothing opens: a question would be up well within a second.
sleep 1
kill -0 "$SECOND" 2>/dev/null || fail "the second run ended"
[[ $(xdotool search --onlyvisible --pid "$SECOND" 2>/dev/null | wc -l) == 1 ]] ||
    fail "the second run opened a question or a dialog instead of refusing"
[[ $(cat "$FIX/src/b.txt") == bravo ]] || fail "b.txt changed"
[[ $(ls -A "$FIX/src" | grep -v '^\.dromel-qa$' | sort | tr '\n' ' ') == "a.txt b.txt " ]] ||
    fail "src holds: $(ls -A "$FIX/src")"
[[ ! -e $XDG_DATA_HOME/Trash/files/b.txt ]] || fail "the second run trashed b.txt"
[[ $(sha256sum <"$JOURNAL") == "$before" ]] || fail "the second run wrote the journal"

kill -TERM "$SECOND"
wait "$SECOND" 2>/dev/null || true
[[ $(sha256sum <"$JOURNAL") == "$before" ]] || fail "the second run wrote the journal when it ended"
quit_program
echo "ok journal-in-use"
