#!/usr/bin/env bash
# Searching as a user does: from the home folder for a name, a result's
# containing folder opened with the result selected, then a search of the
# contents and a result moved to the trash from the results.
#   DROMEL_BIN=build/release/src/app/dromel tests/e2e/search.sh
source "$(dirname "$0")/lib.sh"
make_sandbox
start_x

mkdir -p "$HOME/projects/alpha/notes" "$HOME/letters"
printf 'first\n' >"$HOME/projects/alpha/notes/Needle-plan.txt"
printf 'the secret phrase is here\n' >"$HOME/letters/to-bob.txt"
printf 'nothing\n' >"$HOME/letters/to-ann.txt"
SESSION=$WORK/session.json
session_search_is() { [[ $(json_value "$SESSION" '$.tabs[0].search.text' 2>/dev/null) == "$1" ]]; }

launch "$HOME" "$(basename "$HOME")"

# A name search from home: the session records the query once it runs.
keys ctrl+shift+f
type_text needle
keys Return
wait_for "the name search" session_search_is needle
keys Down # from the query field into the results
select_by_name Needle-plan.txt "$HOME/projects/alpha/notes"

# Open Containing Folder: the result's folder, the result selected.
keys ctrl+alt+o
wait_for_title notes
select_copied() { keys ctrl+c; }
retry "the result selected in its folder" select_copied \
    "clipboard_files_are $HOME/projects/alpha/notes/Needle-plan.txt"

# A content search from home (the start folder is the tab's folder).
go "$HOME"
keys ctrl+shift+f
type_text "SECRET phrase"
keys Tab Tab Down # the query, where to search, then Names -> Contents (runs it)
wait_for "the content search" session_search_is "SECRET phrase"
[[ $(json_value "$SESSION" '$.tabs[0].search.mode') == content ]] || fail "session: $(cat "$SESSION")"
keys ctrl+shift+f Down
select_by_name to-bob.txt "$HOME/letters"

# Trash it from the results: the sheet asks first (Cancel, then Trash).
keys Delete
wait_for "the trash question" other_window "$WID"
keys_to "$OTHER" Tab space
wait_for "to-bob.txt in the trash" exists "$XDG_DATA_HOME/Trash/files/to-bob.txt"
missing "$HOME/letters/to-bob.txt" || fail "to-bob.txt is still in letters"
exists "$HOME/letters/to-ann.txt" || fail "to-ann.txt went too"

quit_program
echo "PASS: search"
