#!/usr/bin/env bash
# A file replaced on paste goes to the trash under its own name: trash-cli, a
# client no one here wrote, lists it where it was and restores it there with
# its bytes.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/trash-replace.sh
source "$(dirname "$0")/lib.sh"
command -v trash-restore >/dev/null || fail "trash-restore (package trash-cli) is not installed"
make_sandbox
start_x

mkdir -p "$FIX/src" "$FIX/dst"
printf 'newer\n' >"$FIX/src/report.txt"
printf 'older\n' >"$FIX/dst/report.txt"
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite

launch "$FIX/src"
select_by_name report.txt "$FIX/src"
go "$FIX/dst"
keys ctrl+v
# The clash sheet: Keep Both (focused), Skip, Replace, Cancel.
wait_for "the clash question" other_window "$WID"
keys_to "$OTHER" Tab Tab space
wait_for "the replacing copy" newest_task_is "completed copy"
[[ $(cat "$FIX/dst/report.txt") == newer ]] || fail "dst/report.txt was not replaced"
quit_program

trash=$XDG_DATA_HOME/Trash
[[ $(cat "$trash/files/report.txt") == older ]] || fail "the trash holds: $(ls -A "$trash/files")"
grep -qx "Path=$FIX/dst/report.txt" "$trash/info/report.txt.trashinfo" || fail "the record: $(cat "$trash"/info/*)"
trash-list | grep -q " $FIX/dst/report.txt\$" || fail "trash-list shows: $(trash-list)"

# trash-restore puts nothing over an existing file: the new copy steps aside.
mv "$FIX/dst/report.txt" "$WORK/newer.txt"
echo 0 | (cd "$FIX/dst" && trash-restore "$FIX/dst") >"$WORK/restore.log" 2>&1 || fail "trash-restore: $(cat "$WORK/restore.log")"
[[ $(cat "$FIX/dst/report.txt") == older ]] || fail "restored: $(ls -A "$FIX/dst")"
[[ -z $(ls -A "$trash/files") && -z $(ls -A "$trash/info") ]] || fail "the trash still holds: $(ls -A "$trash"/*)"
[[ $(ls -A "$FIX/dst") == report.txt ]] || fail "dst holds: $(ls -A "$FIX/dst")"
echo "PASS: a replaced file is restored by trash-cli under its own name"
