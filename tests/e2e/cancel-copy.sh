#!/usr/bin/env bash
# A 500 MB copy is cancelled from the operations window while it is written.
# Afterwards the destination holds no hidden file (the task removed its own
# stage), the source is intact and the task says it was cancelled.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/cancel-copy.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$FIX/src" "$FIX/dst"
head -c $((500 << 20)) /dev/urandom >"$FIX/src/large.bin"
(cd "$FIX/src" && sha256sum large.bin) >"$WORK/sources.sha256"
JOURNAL=$FIX/src/.dromel-qa/operations.sqlite

launch "$FIX/src"
copy_all() { keys ctrl+a ctrl+c; }
retry "the file on the clipboard" copy_all "clipboard_files_are $FIX/src/large.bin"
go "$FIX/dst"
keys ctrl+v

staging() {
    local staged
    for staged in "$FIX"/dst/.dromel-copy-*; do [[ -s $staged ]] && return 0; done
    return 1
}
wait_for "the copy to be written" staging

# The operations window (File menu, its fourth entry from the bottom) opens on
# the running task; its first button cancels it.
open_menu() { keys alt && keys Return; }
menu_open() { other_window "$WID"; }
retry "the File menu" open_menu menu_open
keys_to "$OTHER" Up Up Up Return
operations_window() { other_window "$WID" && [[ $(xdotool getwindowname "$OTHER") == Operations ]]; }
wait_for "the operations window" operations_window
keys_to "$OTHER" Tab Tab space

wait_for "the task to end cancelled" newest_task_is "cancelled copy"
hidden=$(ls -A "$FIX/dst" | grep '^\.' || true)
[[ -z $hidden ]] || fail "hidden files left in the destination: $hidden"
missing "$FIX/dst/large.bin" || fail "a cancelled copy was published"
(cd "$FIX/src" && sha256sum --quiet -c "$WORK/sources.sha256") || fail "the source changed"
removed=$(journal "SELECT count(*) FROM operations, json_each(payload, '$.results') AS r,
                   json_each(r.value, '$.removedStages')")
[[ $removed == 1 ]] || fail "the result does not say its stage was removed ($removed)"

keys_to "$WID" ctrl+q
wait_for "the program to quit" eval '! alive'
status=0
wait "$PID" || status=$?
PID=
((status == 0)) || fail "the program exited with status $status"
echo "PASS: cancelled copy leaves no hidden file"
