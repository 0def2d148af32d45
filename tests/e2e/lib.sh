# Shared helpers of the end-to-end runs: a private X server, the program in
# fixture mode, keys sent only to a window known to hold the focus, and every
# step waited for by what it changes (files, journal rows, window titles, the
# clipboard), each wait bounded. Whatever happens, the program and the X
# server are gone when the script ends.
set -Eeuo pipefail
shopt -s nullglob

: "${DROMEL_BIN:?set DROMEL_BIN to the built dromel program}"
E2E_TIMEOUT=${E2E_TIMEOUT:-20}
E2E_NAME=$(basename "$0" .sh)
PID=
OTHER_PIDS=() # more programs a run started, ended with it
XVFB_PID=
WID=
WORK=

trap 'echo "FAIL ($E2E_NAME): line $LINENO: $BASH_COMMAND" >&2' ERR
trap 'e2e_finish' EXIT
trap 'exit 130' INT TERM HUP

fail() {
    echo "FAIL ($E2E_NAME): $*" >&2
    if [[ -n $WORK && -s $WORK/dromel.log ]]; then
        echo "--- program output (last lines)" >&2
        tail -n 15 "$WORK/dromel.log" >&2
    fi
    exit 1
}

e2e_finish() {
    local status=$?
    trap - ERR
    stop_program
    local other
    for other in "${OTHER_PIDS[@]}"; do
        kill -KILL "$other" 2>/dev/null || true
        wait "$other" 2>/dev/null || true
    done
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    if [[ -n $WORK ]]; then
        if ((status == 0)); then rm -rf "$WORK"; else echo "kept $WORK" >&2; fi
    fi
    exit "$status"
}

# wait_for "what" command...: polls the command until it succeeds.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# retry "what" action check: repeats an idempotent action (each time giving
# the check a second to see its effect) until the check holds. Used where
# the program may not yet be ready to take the action, e.g. a listing still
# being read.
retry() {
    local what=$1 action=$2 check=$3
    local deadline=$((SECONDS + E2E_TIMEOUT))
    while :; do
        $action
        local until=$((SECONDS + 1))
        while ((SECONDS <= until)); do
            $check && return 0
            sleep 0.05
        done
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
    done
}

# Private folders for everything the program writes.
make_sandbox() {
    WORK=$(mktemp -d /tmp/dromel-e2e-XXXXXX)
    export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_STATE_HOME=$WORK/state XDG_CONFIG_HOME=$WORK/config
    export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8 DromelFixtureLanguage=en
    unset DBUS_SESSION_BUS_ADDRESS
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    FIX=$WORK/fixture
    mkdir -p "$FIX"
}

# A private X server on a random display number, kept from resetting: an X
# server resets when its last client leaves, and a program connecting during
# that reset (just after xdotool's probe left) fails to start.
start_x() {
    local n
    for n in $(shuf -i 200-899 -n 50); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1400x900x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        DISPLAY=:$n
        export DISPLAY
        break
    done
    [[ -n $XVFB_PID ]] || fail "no free display"
    wait_for "the X server" test -S "/tmp/.X11-unix/X${DISPLAY#:}"
    wait_for "the X server to answer" xdotool getdisplaygeometry >/dev/null
}

# launch <start folder> [shown folder]: an isolated run with its own session
# file (a saved session wins over the start folder); returns once the main
# window is mapped, shows the folder and holds the focus.
launch() {
    "$DROMEL_BIN" --isolated --directory "$1" --session-file "$WORK/session.json" >>"$WORK/dromel.log" 2>&1 &
    PID=$!
    WID=
    wait_for "the main window" find_main_window
    wait_for_title "$(basename "${2:-$1}")"
    focus "$WID"
}

find_main_window() {
    alive || fail "the program ended early"
    WID=$(xdotool search --onlyvisible --pid "$PID" --name ' — Dromel$' 2>/dev/null | head -n 1) || return 1
    [[ -n $WID ]]
}

alive() { [[ -n $PID && -r /proc/$PID/stat && $(cut -d ' ' -f 3 "/proc/$PID/stat" 2>/dev/null) != Z ]]; }

stop_program() {
    [[ -n $PID ]] || return 0
    kill -KILL "$PID" 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
    PID=
}

title_is() { [[ $(xdotool getwindowname "$WID" 2>/dev/null) == "$1 — Dromel" ]]; }
wait_for_title() { wait_for "the window to show $1" title_is "$1"; }

# focus <window>: there is no window manager, so the focus is given by hand
# and confirmed by the server before any key is sent.
focus() {
    local window=$1
    local deadline=$((SECONDS + 5))
    until [[ $(xdotool getwindowfocus 2>/dev/null) == "$window" ]]; do
        ((SECONDS < deadline)) || fail "window $window does not take the focus"
        timeout 2 xdotool windowfocus --sync "$window" 2>/dev/null || true
    done
}

# keys_to <window> key...: real key presses (XTEST) into that window.
keys_to() {
    local window=$1
    shift
    alive || fail "the program ended"
    focus "$window"
    xdotool key --clearmodifiers "$@"
}
keys() { keys_to "$WID" "$@"; }

type_text() {
    alive || fail "the program ended"
    focus "$WID"
    xdotool type --clearmodifiers --delay 12 "$1"
}

# The visible window of the program other than the ones given (a sheet or
# the operations window), in OTHER.
other_window() {
    OTHER=
    local window known
    for window in $(xdotool search --onlyvisible --pid "$PID" 2>/dev/null); do
        for known in "$@"; do [[ $window == "$known" ]] && continue 2; done
        OTHER=$window
        return 0
    done
    return 1
}

# go <folder>: types the folder into the path field.
go() {
    keys ctrl+l
    keys ctrl+a
    type_text "$1"
    keys Return
    wait_for_title "$(basename "$1")"
}

# The clipboard and the selection as another program reads them.
clipboard() { timeout 3 xclip -o -selection clipboard -t "${1:-UTF8_STRING}" 2>/dev/null; }
selection() { timeout 3 xclip -o -selection primary 2>/dev/null; }
uri_list() {
    local path
    for path in "$@"; do printf 'file://%s\r\n' "$path"; done
}
clipboard_files_are() { [[ $(clipboard text/uri-list) == "$(uri_list "$@")" ]]; }

# select_by_name <name>: type-ahead, confirmed by copying the selection.
select_by_name() {
    local name=$1
    local folder=$2
    retry "$name to be selected" "pick_by_typing $name" "clipboard_files_are $folder/$name"
}
pick_by_typing() {
    type_text "$1"
    keys ctrl+c
}

quit_program() {
    keys ctrl+q
    wait_for "the program to quit" eval '! alive'
    local status=0
    wait "$PID" || status=$?
    PID=
    ((status == 0)) || fail "the program exited with status $status"
}

exists() { [[ -e $1 ]]; }
missing() { [[ ! -e $1 && ! -L $1 ]]; }

# The journal as the sqlite3 program reads it, read-only. A program killed
# during a write leaves a hot rollback journal, which only a writer may roll
# back: that is read from a copy, so that the program's own recovery at its
# next start still finds the journal as the kill left it.
journal() {
    sqlite3 -readonly -cmd '.timeout 3000' "$JOURNAL" "$1" 2>/dev/null && return 0
    [[ -e $JOURNAL-journal ]] || return 1
    local copy=$WORK/journal-copy
    rm -rf "$copy"
    mkdir -p "$copy"
    cp "$JOURNAL" "$copy/operations.sqlite"
    cp "$JOURNAL-journal" "$copy/operations.sqlite-journal"
    sqlite3 -cmd '.timeout 3000' "$copy/operations.sqlite" "$1" 2>/dev/null
}
newest_task() {
    journal "SELECT json_extract(payload, '$.phase') || ' ' || json_extract(payload, '$.request.kind')
             FROM operations ORDER BY rowid DESC LIMIT 1"
}
newest_task_is() { [[ -e $JOURNAL && $(newest_task) == "$1" ]]; }
task_count_is() { [[ $(journal 'SELECT count(*) FROM operations') == "$1" ]]; }

# A JSON file's value at a path, through sqlite3's JSON functions.
json_value() { sqlite3 :memory: "SELECT json_extract(CAST(readfile('$1') AS TEXT), '$2')"; }
