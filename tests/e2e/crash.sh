#!/usr/bin/env bash
# The program is killed (SIGKILL) in the middle of a large copy. After the
# restart the interrupted task is shown for review and not resumed, and no
# byte is lost: every source is intact, every file under a user's name in
# the destination is a whole copy, and whatever is half-written is named in
# the journal as left for review.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/crash.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src" "$FIX/dst"
# The second file is the large one: the kill lands while it is copied.
head -c $((16 << 20)) /dev/urandom >"$FIX/src/part1.bin"
head -c $((96 << 20)) /dev/urandom >"$FIX/src/part2.bin"
head -c $((16 << 20)) /dev/urandom >"$FIX/src/part3.bin"
(cd "$FIX/src" && sha256sum part*.bin) >"$WORK/sources.sha256"
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite

launch "$FIX/src"
copy_all() { keys ctrl+a ctrl+c; }
retry "the files on the clipboard" copy_all \
    "clipboard_files_are $FIX/src/part1.bin $FIX/src/part2.bin $FIX/src/part3.bin"
go "$FIX/dst"
keys ctrl+v

# Killed while the second file is being written: the first is in place (a
# copy is published by one rename) and the second's hidden temporary copy
# has bytes in it.
second_copying() {
    [[ -e $FIX/dst/part1.bin ]] || return 1
    local staged
    for staged in "$FIX"/dst/.dromel-copy-*; do [[ -s $staged ]] && return 0; done
    return 1
}
wait_for "the copy of the second file" second_copying
kill -KILL "$PID"
wait "$PID" 2>/dev/null || true
PID=

row=$(journal "SELECT json_extract(payload, '$.phase') FROM operations")
[[ $row == copying || $row == verifying || $row == committing ]] || fail "the journal shows the task as $row, not as interrupted while copying"
# Every path the interrupted step may have left: the task's and its results'.
left=$(journal "SELECT value FROM operations, json_each(payload, '$.recoveryPaths')
                UNION SELECT p.value FROM operations, json_each(payload, '$.results') AS r,
                                          json_each(r.value, '$.recoveryPaths') AS p")
[[ -n $left ]] || fail "the journal names nothing left for review"

check_nothing_lost() {
    (cd "$FIX/src" && sha256sum --quiet -c "$WORK/sources.sha256") || fail "a source changed"
    local file name
    for file in "$FIX/dst"/* "$FIX/dst"/.[!.]*; do
        name=$(basename "$file")
        if grep -qxF "file://$file" <<<"$left"; then
            continue
        fi
        grep -q "  $name\$" "$WORK/sources.sha256" || fail "$name in dst is neither a copy nor left for review"
        [[ $(sha256sum <"$file" | cut -d ' ' -f 1) == $(grep "  $name\$" "$WORK/sources.sha256" | cut -d ' ' -f 1) ]] ||
            fail "$name in dst is not a whole copy"
    done
    [[ $(ls -A "$XDG_DATA_HOME/Trash/files" 2>/dev/null) == "" ]] || fail "something went to the trash"
}
check_nothing_lost
exists "$FIX/dst/part1.bin" || fail "the first file was not copied before the kill"
missing "$FIX/dst/part3.bin" || fail "the third file was copied before the kill"
ls -A "$FIX/dst" >"$WORK/dst.after-kill"

# The restart shows the task for review in the operations window (File menu,
# its fourth entry from the bottom); its detail text, copied from the
# window, names what was left. The saved session brings back dst.
launch "$FIX/src" "$FIX/dst"
open_menu() { keys alt && keys Return; }
menu_open() { other_window "$WID"; }
retry "the File menu" open_menu menu_open
keys_to "$OTHER" Up Up Up Return
operations_window() { other_window "$WID" && [[ $(xdotool getwindowname "$OTHER") == Operations ]]; }
wait_for "the operations window" operations_window
panel=$OTHER
copy_detail() { keys_to "$panel" Tab ctrl+a ctrl+c; }
detail_names_leftovers() {
    local text path
    text=$(clipboard) || return 1
    [[ $text == *"Left for review: "* ]] || return 1
    while read -r path; do
        [[ $text == *"Left for review: ${path#file://}"* ]] || return 1
    done <<<"$left"
}
retry "the detail of the task under review" copy_detail detail_names_leftovers
grep -q '^Succeeded: ' <<<"$(clipboard)" || fail "the detail lacks the finished item: $(clipboard)"

# Not resumed, nothing changed by the restart; then a clean quit.
[[ $(ls -A "$FIX/dst") == "$(cat "$WORK/dst.after-kill")" ]] || fail "the restart changed dst"
check_nothing_lost
keys_to "$WID" ctrl+q
wait_for "the program to quit" eval '! alive'
status=0
wait "$PID" || status=$?
PID=
((status == 0)) || fail "the program exited with status $status"
echo "PASS: crash during a copy"
