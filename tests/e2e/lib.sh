# Shared helpers of the end-to-end runs: a private X server, a launched
# browser, keys typed as a user types them, and conditions waited for.
set -euo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

: "${DROMEL_BIN:?set DROMEL_BIN to the built dromel program}"
E2E_TIMEOUT=${E2E_TIMEOUT:-30}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_for "description" command...: polls until the command succeeds.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + E2E_TIMEOUT))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.1
    done
}

# The window reacts to keys only once it has painted and taken the focus; a
# short pause after each action lets the event loop take it in (what the
# action did is then checked on disk, never assumed).
settle() { sleep "${E2E_SETTLE:-0.6}"; }

# Private folders for everything the program writes.
make_sandbox() {
    WORK=$(mktemp -d /tmp/dromel-e2e-XXXXXX)
    export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_STATE_HOME=$WORK/state XDG_CONFIG_HOME=$WORK/config
    export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    FIX=$WORK/fixture
    mkdir -p "$FIX"
}

# launch <start folder>: starts an isolated run with its own session file.
launch() {
    "$DROMEL_BIN" --isolated --directory "$1" --session-file "$WORK/session.json" >"$WORK/dromel.log" 2>&1 &
    PID=$!
    WID=
    wait_for "the main window" find_window
    xdotool windowfocus --sync "$WID" 2>/dev/null || true
    settle
}

find_window() {
    kill -0 "$PID" 2>/dev/null || fail "the program ended: $(tail -5 "$WORK/dromel.log")"
    WID=$(xdotool search --onlyvisible --pid "$PID" 2>/dev/null | head -1) && [[ -n $WID ]]
}

keys() {
    xdotool key --clearmodifiers "$@"
    settle
}

type_text() {
    xdotool type --delay 20 "$1"
    settle
}

# go <folder>: types the folder into the path field.
go() {
    keys ctrl+l
    keys ctrl+a
    type_text "$1"
    keys Return
}

running() { [[ -d /proc/$PID && $(awk '{print $3}' /proc/$PID/stat 2>/dev/null) != Z ]]; }

quit_program() {
    keys ctrl+q
    wait_for "the program to quit" bash -c "! $(declare -f running); PID=$PID running"
    local status=0
    wait "$PID" || status=$?
    ((status == 0)) || fail "the program exited with status $status: $(tail -5 "$WORK/dromel.log")"
}

exists() { [[ -e $1 ]]; }
missing() { [[ ! -e $1 ]]; }

# Prints "phase kind" of every task in the journal, newest first.
journal_tasks() {
    python3 - "$1" <<'PY'
import json, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
for (payload,) in db.execute("SELECT payload FROM operations ORDER BY rowid DESC"):
    task = json.loads(payload)
    print(task["phase"], task["request"]["kind"], " ".join(task["recoveryPaths"]))
PY
}

# newest_task_is <journal> "<phase> <kind>": the last task written has that state.
newest_task_is() {
    [[ -e $1 ]] || return 1
    local tasks
    tasks=$(journal_tasks "$1") || return 1
    [[ ${tasks%%$'\n'*} == "$2 "* ]]
}
