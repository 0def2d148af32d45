#!/usr/bin/env bash
# Retakes the README's screenshots of the main window (light and dark, English
# and Chinese) and of the file commands (a conflict sheet, the operations
# window during a copy, a task under review, the toolbar as tasks run and
# fail). Runs the program under Xvfb in a throwaway home (its own settings,
# session, journal and folders), so nothing of the user's is read or changed.
#   scripts/screenshots.sh [program] [all|main|desktop|commands|trash|search]
#   (default: build/release/src/app/dromel, all; SCREENSHOT_DISPLAY=:N picks
#   the X display, else a random one)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/src/app/dromel}
pictures=${2:-all}
out=$root/docs/screenshots
[ -x "$program" ] || { echo "no program at $program (make build first)" >&2; exit 1; }
for tool in Xvfb xdotool import xclip sqlite3; do
    command -v $tool >/dev/null || { echo "$tool is missing (make deps)" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The fixture: a small home with the folders and files a person has.
home=$work/home
demo=$home/Projects/Dromel
mkdir -p "$home"/{Documents,Downloads,Pictures,Music,Desktop} "$demo"/{docs,src,tests,data}
write() { # path size date: text for text-like names, so the kinds read right
    case "$1" in
    *.md | *.txt | *.sh | */Makefile | */LICENSE) { yes "A line of plain text." || true; } | head -c "$2" > "$1" ;;
    *) head -c "$2" /dev/urandom > "$1" ;;
    esac
    touch -d "$3" "$1"
}
write "$demo/README.md" 4200 "2026-11-30 09:12"
write "$demo/CMakeLists.txt" 2300 "2026-11-28 17:40"
write "$demo/Makefile" 3100 "2026-11-29 11:05"
write "$demo/LICENSE" 1100 "2026-10-02 08:00"
write "$demo/screenshot-light.png" 184000 "2026-12-01 15:22"
write "$demo/release-notes.pdf" 912000 "2026-11-20 10:47"
write "$demo/design.odt" 48100 "2026-11-18 14:30"
write "$demo/budget.ods" 23800 "2026-11-12 16:03"
write "$demo/demo-video.mp4" 38400000 "2026-11-25 19:55"
write "$demo/source-2026-11.tar.gz" 5600000 "2026-11-30 22:10"
write "$demo/notes.txt" 620 "2026-12-02 07:45"
write "$demo/install.sh" 1900 "2026-11-27 12:00"
write "$home/Documents/report.pdf" 250000 "2026-11-03 10:00"
write "$home/Downloads/debian-12.iso" 1200000 "2026-10-20 10:00"
# Photos for the icon view's thumbnails (made afresh: no user picture is read).
for i in 1 2 3 4 5 6 7 8; do
    convert -size 960x640 -seed "$i" plasma:fractal -blur 0x2 "$home/Pictures/holiday-$i.jpg"
    touch -d "2026-08-1$i 12:00" "$home/Pictures/holiday-$i.jpg"
done
convert -size 800x800 xc:'#87ceeb' -fill '#ffa500' -draw 'circle 400,400 400,160' "$home/Pictures/sun.png"
for sub in docs src tests data; do touch -d "2026-11-2$((RANDOM % 9)) 1$((RANDOM % 9)):00" "$demo/$sub"; done

# Three restored tabs, the first active, with one item selected.
selected="$(stat -c '%d:%i' "$demo/release-notes.pdf"):release-notes.pdf"
mkdir -p "$work/state/Dromel" "$work/config/Dromel"
tab() { # folder [selection]
    printf '{"history":["%s"],"historyIndex":0,"filter":"","sort":{"column":"name","ascending":true},"selection":[%s],"scrollOffset":0}' \
        "$1" "${2:+\"$2\"}"
}
printf '{"schemaVersion":2,"tabs":[%s,%s,%s],"activeIndex":0}' \
    "$(tab "$demo" "$selected")" "$(tab "$home/Documents")" "$(tab "$home/Downloads")" > "$work/state/Dromel/session.json"

display=${SCREENSHOT_DISPLAY:-:$((200 + RANDOM % 700))}
Xvfb "$display" -screen 0 1280x860x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

shoot() { # language appearance file
    printf '[General]\npresentation.v1="{\\"schemaVersion\\":1,\\"language\\":\\"%s\\",\\"appearance\\":\\"%s\\",\\"skin\\":\\"glass\\"}"\n' \
        "$1" "$2" > "$work/config/Dromel/Dromel.conf"
    cp "$work/state/Dromel/session.json" "$work/session.keep"
    DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state \
        XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work LANG=C.UTF-8 "$program" >/dev/null 2>&1 &
    app_pid=$!
    local window=""
    for _ in $(seq 100); do
        window=$(DISPLAY=$display xdotool search --name ' — Dromel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
    # The listing is read in the background; give it the time to paint.
    sleep 1.5
    DISPLAY=$display import -window "$window" "$out/$3"
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
    app_pid=""
    cp "$work/session.keep" "$work/state/Dromel/session.json"
    echo "wrote docs/screenshots/$3"
}

# The icon view of the photos (Ctrl+2), and the window at 800 px with four tabs.
shoot_view() { # language appearance file width keys tab-folders...
    local language=$1 appearance=$2 file=$3 width=$4 keys=$5 tabs="" folder
    shift 5
    for folder in "$@"; do tabs="$tabs${tabs:+,}$(tab "$folder")"; done
    cp "$work/state/Dromel/session.json" "$work/session.keep"
    printf '{"schemaVersion":2,"tabs":[%s],"activeIndex":0}' "$tabs" > "$work/state/Dromel/session.json"
    printf '[General]\npresentation.v1="{\\"schemaVersion\\":1,\\"language\\":\\"%s\\",\\"appearance\\":\\"%s\\",\\"skin\\":\\"glass\\"}"\n' \
        "$language" "$appearance" > "$work/config/Dromel/Dromel.conf"
    DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state \
        XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work LANG=C.UTF-8 "$program" >/dev/null 2>&1 &
    app_pid=$!
    local window=""
    for _ in $(seq 100); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name ' — Dromel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
    DISPLAY=$display xdotool windowsize "$window" "$width" 672
    if [ -n "$keys" ]; then
        DISPLAY=$display xdotool windowfocus --sync "$window" 2>/dev/null || true
        DISPLAY=$display xdotool key --clearmodifiers "$keys"
    fi
    # The listing and the thumbnails are made in the background.
    sleep 3
    DISPLAY=$display import -window "$window" "$out/$file"
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
    app_pid=""
    cp "$work/session.keep" "$work/state/Dromel/session.json"
    echo "wrote docs/screenshots/$file"
}

# Search results: a tab restored with its search finds the results again.
search_session() { # mode text
    printf '{"schemaVersion":2,"tabs":[{"history":["%s"],"historyIndex":0,"filter":"","sort":{"column":"name","ascending":true},"selection":[],"scrollOffset":0,"search":{"text":"%s","mode":"%s","startFolder":"%s","crossVolumes":false,"type":"any"}}],"activeIndex":0}' \
        "$home" "$2" "$1" "$home" > "$work/state/Dromel/session.json"
}
if [ "$pictures" = search ] || [ "$pictures" = all ]; then
    cp "$work/state/Dromel/session.json" "$work/session.tabs"
    search_session name '*.pdf'
    shoot en light search-name-light-en.png
    shoot zh-Hans dark search-name-dark-zh.png
    search_session content 'plain text'
    shoot en dark search-content-dark-en.png
    shoot zh-Hans light search-content-light-zh.png
    cp "$work/session.tabs" "$work/state/Dromel/session.json"
fi
[ "$pictures" != search ] || exit 0

if [ "$pictures" = all ] || [ "$pictures" = main ]; then
    shoot en light main-light-en.png
    shoot en dark main-dark-en.png
    shoot zh-Hans light main-light-zh.png
    shoot zh-Hans dark main-dark-zh.png
    shoot_view en light icons-light-en.png 1100 ctrl+2 "$home/Pictures" "$demo"
    shoot_view en dark icons-dark-en.png 1100 ctrl+2 "$home/Pictures" "$demo"
    shoot_view en light tabs-800-en.png 800 "" "$demo" "$home/Documents" "$home/Downloads" "$home/Pictures"
fi
# The desktop's side, in every language and appearance: the context menu of
# the selected item, its Open With submenu (two demo applications of the
# sandbox's own) and its properties window. Menus are windows of their own,
# so the whole screen is taken.
apps=$home/.local/share/applications
mkdir -p "$apps"
printf '[Desktop Entry]\nType=Application\nName=Document Viewer\nExec=true %%F\nIcon=x-office-document\nMimeType=application/pdf;text/plain;\n' > "$apps/viewer.desktop"
printf '[Desktop Entry]\nType=Application\nName=Text Editor\nExec=true %%F\nIcon=accessories-text-editor\nMimeType=application/pdf;text/plain;\n' > "$apps/editor.desktop"
update-desktop-database "$apps" 2>/dev/null || true
shoot_desktop() { # language appearance
    local suffix=${1%%-*}-$2
    printf '[General]\npresentation.v1="{\\"schemaVersion\\":1,\\"language\\":\\"%s\\",\\"appearance\\":\\"%s\\",\\"skin\\":\\"glass\\"}"\n' \
        "$1" "$2" > "$work/config/Dromel/Dromel.conf"
    cp "$work/state/Dromel/session.json" "$work/session.keep"
    DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state \
        XDG_RUNTIME_DIR=$work LANG=C.UTF-8 "$program" >/dev/null 2>&1 &
    app_pid=$!
    local window=""
    for _ in $(seq 100); do
        window=$(DISPLAY=$display xdotool search --name ' — Dromel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
    sleep 1.5
    DISPLAY=$display xdotool windowfocus --sync "$window"
    DISPLAY=$display xdotool key Menu
    sleep 0.8
    DISPLAY=$display import -window root "$out/context-menu-$suffix.png"
    DISPLAY=$display xdotool key Down Down Right
    sleep 0.8
    DISPLAY=$display import -window root "$out/open-with-$suffix.png"
    # Other Application…, the submenu's last entry: the searchable list.
    DISPLAY=$display xdotool key Up Return
    sleep 1.5
    DISPLAY=$display import -window root "$out/open-with-dialog-$suffix.png"
    DISPLAY=$display xdotool key Escape
    sleep 0.3
    DISPLAY=$display xdotool windowfocus --sync "$window" key alt+Return
    sleep 1.5
    DISPLAY=$display import -window root "$out/properties-$suffix.png"
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
    app_pid=""
    cp "$work/session.keep" "$work/state/Dromel/session.json"
    echo "wrote docs/screenshots/{context-menu,open-with,open-with-dialog,properties}-$suffix.png"
}
if [ "$pictures" = all ] || [ "$pictures" = desktop ]; then
    shoot_desktop en light
    shoot_desktop en dark
    shoot_desktop zh-Hans light
    shoot_desktop zh-Hans dark
fi
[ "$pictures" != main ] && [ "$pictures" != desktop ] || exit 0

# The Trash (light and dark): a few items trashed from around the home, one of
# them without its record, shown in a tab of its own.
trash=$work/data/Trash
mkdir -p "$trash/files" "$trash/info"
trashed() { # origin size deleted: an item in the home trash with its record
    local name
    name=$(basename "$1")
    write "$trash/files/$name" "$2" "$3"
    printf '[Trash Info]\nPath=%s\nDeletionDate=%s\n' "$1" "$(date -d "$3" +%Y-%m-%dT%H:%M:%S)" \
        > "$trash/info/$name.trashinfo"
}
trashed "$home/Documents/old-draft.odt" 38200 "2026-12-01 16:40"
trashed "$home/Desktop/holiday-plan.txt" 2100 "2026-11-29 09:15"
trashed "$demo/notes.txt" 480 "2026-12-02 08:05"
trashed "$home/Downloads/setup-1.2.tar.gz" 4200000 "2026-11-21 12:30"
trashed "$home/Pictures/screenshot-old.png" 164000 "2026-11-30 18:02"
write "$trash/files/unknown.bin" 9000 "2026-10-10 10:10"
cp "$work/state/Dromel/session.json" "$work/session.main"
printf '{"schemaVersion":2,"tabs":[%s,%s],"activeIndex":0}' \
    "$(tab "$trash/files")" "$(tab "$demo")" > "$work/state/Dromel/session.json"
if [ "$pictures" = all ] || [ "$pictures" = trash ]; then
    shoot en light trash-light-en.png
    shoot en dark trash-dark-en.png
fi
cp "$work/session.main" "$work/state/Dromel/session.json"

# The file commands, in English and light: the conflict sheet of a paste into
# the same folder, the operations window during a large copy, and that copy
# shown for review after the program was killed in its middle.
printf '[General]\npresentation.v1="{\\"schemaVersion\\":1,\\"language\\":\\"en\\",\\"appearance\\":\\"light\\",\\"skin\\":\\"glass\\"}"\n' \
    > "$work/config/Dromel/Dromel.conf"
mkdir -p "$home/Videos" "$home/Backup"
head -c $((1536 << 20)) /dev/zero > "$home/Videos/holiday-2026.mkv"
touch -d "2026-08-14 18:30" "$home/Videos/holiday-2026.mkv"
journal=$work/state/Dromel/operations.sqlite
x() { DISPLAY=$display "$@"; }
within() { # seconds command...: polls the command until it succeeds
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "timed out: $*" >&2; exit 1; }
        sleep 0.05
    done
}
start() { # folder [title]: the program on that folder, its main window in $window
    DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state \
        XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work LANG=C.UTF-8 "$program" --directory "$1" >/dev/null 2>&1 &
    app_pid=$!
    window=""
    within 20 main_window "${2:-$(basename "$1")}"
    focused "$window"
}
main_window() { window=$(x xdotool search --onlyvisible --pid "$app_pid" --name "^$1 — Dromel\$" 2>/dev/null | head -n1) && [ -n "$window" ]; }
focused() { # no window manager: the focus is given by hand
    within 5 give_focus "$1"
}
give_focus() { [ "$(x xdotool getwindowfocus)" = "$1" ] || { x timeout 2 xdotool windowfocus --sync "$1" 2>/dev/null; false; }; }
keys() { focused "$1"; shift; x xdotool key --clearmodifiers "$@"; }
other() { # the program's visible window that is not the main one, in $other
    other=$(x xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$window" | head -n1) && [ -n "$other" ]
}
copied() { [ "$(DISPLAY=$display timeout 3 xclip -o -selection clipboard -t text/uri-list 2>/dev/null | tr -d '\r')" = "file://$1" ]; }
pick() { # folder name: selects by typing the name, checked through the clipboard
    local tries=0
    until copied "$1/$2"; do
        tries=$((tries + 1)); [ "$tries" -le 20 ] || { echo "cannot select $2" >&2; exit 1; }
        focused "$window"; x xdotool type --delay 12 "$2"; keys "$window" ctrl+c; sleep 0.3
    done
}
phase() { sqlite3 -readonly -cmd '.timeout 2000' "$journal" \
    "SELECT json_extract(payload, '$.phase') FROM operations ORDER BY rowid DESC LIMIT 1" 2>/dev/null; }
phase_is() { [ -e "$journal" ] && [ "$(phase)" = "$1" ]; }
operations() { # opens the operations window from the File menu; its id in $other
    keys "$window" alt; keys "$window" Return
    within 5 other
    keys "$other" Up Up Up Return
    within 5 operations_shown
}
operations_shown() { other && [ "$(x xdotool getwindowname "$other")" = Operations ]; }
grab() { # window file: that window as it is on the screen, with whatever lies over it
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(x xdotool getwindowgeometry --shell "$1")"
    sleep 0.7 # the last repaint after the awaited change
    x import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$2"
    echo "wrote docs/screenshots/$2"
}
sheet_closed() { ! other; }
go() { # folder: typed into the path field
    keys "$window" ctrl+l ctrl+a
    x xdotool type --delay 12 "$1"
    keys "$window" Return
    within 10 main_window "$(basename "$1")"
}
stop() { kill -KILL "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true; app_pid=""; }
strip() { # file: the main window's toolbar row, under its menu bar
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(x xdotool getwindowgeometry --shell "$window")"
    sleep 0.7
    x import -window root -crop "${WIDTH}x32+${X}+$((Y + 22))" +repage "$work/$1"
}

if [ "$pictures" = trash ]; then
    # Restoring an item whose name is taken again: the clash sheet.
    start "$trash/files" Trash
    pick "$trash/files" notes.txt
    keys "$window" Menu
    within 5 other
    keys "$other" Down Return
    within 10 other
    grab "$window" restore-clash.png
    stop
    exit 0
fi

start "$demo"
strip toolbar-idle.png
pick "$demo" notes.txt
keys "$window" ctrl+v
within 10 other
grab "$window" conflict-sheet.png
keys "$other" Escape
within 10 sheet_closed
go "$home/Videos"
pick "$home/Videos" holiday-2026.mkv
go "$home/Backup"
keys "$window" ctrl+v
within 20 phase_is copying
strip toolbar-running.png
operations
sleep 1.5 # a few progress reports into the copy
grab "$other" operations-copying.png
stop

start "$home/Backup"
operations
grab "$other" operations-review.png
stop

# The toolbar idle, during the copy and after a folder was pasted into itself:
# the Operations button's badge changes, nothing moves.
start "$demo"
pick "$demo" docs
go "$demo/docs"
keys "$window" ctrl+v
within 10 phase_is failed
strip toolbar-failed.png
stop
convert "$work/toolbar-idle.png" "$work/toolbar-running.png" "$work/toolbar-failed.png" -append \
    "$out/toolbar-operations.png"
echo "wrote docs/screenshots/toolbar-operations.png"
