#!/usr/bin/env bash
# The Trash as a user meets it: three files trashed one by one, the last
# trash undone with Ctrl+Z, the Trash opened from the sidebar, one item
# restored from its context menu, the Trash emptied after its question.
# Then the folder, the trash folders and the journal are checked.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/trash.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src"
for name in a b c; do printf '%s\n' "$name" >"$FIX/src/$name.txt"; done
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite
TRASH=$XDG_DATA_HOME/Trash

launch "$FIX/src"
trash_one() {
    select_by_name "$1" "$FIX/src"
    keys Delete
    wait_for "the trash question" other_window "$WID"
    keys_to "$OTHER" Tab space # Cancel, Trash
    wait_for "$1 in the trash" exists "$TRASH/files/$1"
}
trash_one a.txt
trash_one c.txt
trash_one b.txt
wait_for "three trash tasks" task_count_is 3

keys ctrl+z
wait_for "b.txt back" exists "$FIX/src/b.txt"
wait_for "the undo" newest_task_is "completed restore"
missing "$TRASH/info/b.txt.trashinfo" || fail "the record of b.txt stayed"

# The Trash, opened by a click on its sidebar row. No tool here can ask the
# window where the row is, so the sidebar is clicked from just below the
# toolbar downwards, one point every few pixels, each click given a bounded
# moment to show its place, until the window shows the Trash. The rows above
# it are headers and folders: a single click on one only selects or shows it.
eval "$(xdotool getwindowgeometry --shell "$WID")"
shows_trash() { title_is Trash; }
click_sidebar_rows() {
    local y
    for ((y = 60; y < HEIGHT / 2; y += 8)); do
        focus "$WID"
        xdotool mousemove --window "$WID" 80 "$y" click 1
        local until=$((SECONDS + 1))
        while ((SECONDS <= until)); do
            shows_trash && return 0
            sleep 0.05
        done
    done
    return 1
}
click_sidebar_rows || fail "no sidebar row opened the Trash"
# The keys go to the list again: a click on its empty lower part.
xdotool mousemove --window "$WID" $((WIDTH * 2 / 3)) $((HEIGHT * 3 / 4)) click 1

select_by_name a.txt "$TRASH/files"
open_menu() { keys Menu; }
menu_open() { other_window "$WID"; }
retry "the context menu" open_menu menu_open
keys_to "$OTHER" Down Return # Restore
wait_for "a.txt restored" exists "$FIX/src/a.txt"
wait_for "the restore" newest_task_is "completed restore"

select_by_name c.txt "$TRASH/files"
retry "the context menu" open_menu menu_open
keys_to "$OTHER" Down Down Down Return # Empty Trash
wait_for "the empty-trash question" other_window "$WID"
keys_to "$OTHER" Tab space # Cancel, Empty Trash
wait_for "the trash emptied" newest_task_is "completed deletePermanently"
quit_program

[[ $(cat "$FIX/src/a.txt") == a && $(cat "$FIX/src/b.txt") == b ]] || fail "src: $(ls -A "$FIX/src")"
missing "$FIX/src/c.txt" || fail "c.txt came back"
[[ -z $(ls -A "$TRASH/files") && -z $(ls -A "$TRASH/info") ]] || fail "the trash holds: $(ls -A "$TRASH"/*)"
[[ $(ls -A "$TRASH" | grep -c dromel) == 0 ]] || fail "left in the trash: $(ls -A "$TRASH")"
tasks=$(journal "SELECT json_extract(payload, '$.phase') || ' ' || json_extract(payload, '$.request.kind')
                 FROM operations ORDER BY rowid")
expected=$'completed trash\ncompleted trash\ncompleted trash\ncompleted restore\ncompleted restore\ncompleted deletePermanently'
[[ $tasks == "$expected" ]] || fail "journal: got"$'\n'"$tasks"
echo "PASS: trash, undo, restore and empty"
