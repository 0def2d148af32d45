#!/usr/bin/env bash
# Retakes the README's screenshots of the main window: light and dark, English
# and Chinese. Runs the program under Xvfb in a throwaway home (its own
# settings, session and folders), so nothing of the user's is read or changed.
#   scripts/screenshots.sh [program]   (default: build/release/src/app/dromel)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/src/app/dromel}
out=$root/docs/screenshots
[ -x "$program" ] || { echo "no program at $program (make build first)" >&2; exit 1; }
for tool in Xvfb xdotool import; do
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

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x860x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

shoot() { # language appearance file
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
    # The listing is read in the background; give it the time to paint.
    sleep 1.5
    DISPLAY=$display import -window "$window" "$out/$3"
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
    app_pid=""
    cp "$work/session.keep" "$work/state/Dromel/session.json"
    echo "wrote docs/screenshots/$3"
}

shoot en light main-light-en.png
shoot en dark main-dark-en.png
shoot zh-Hans light main-light-zh.png
shoot zh-Hans dark main-dark-zh.png
