#!/usr/bin/env bash
# Retakes the README's picture of the sidebar: favourites, the folder tree
# expanded down to the active tab's folder, and the volumes with a loop-mounted
# disk image (when this machine allows loop mounts; run as root). Runs the
# program under Xvfb in a throwaway home, so nothing of the user's is touched.
#   scripts/sidebar-screenshot.sh [program]   (default: build/release/src/app/dromel)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/src/app/dromel}
out=$root/docs/screenshots
[ -x "$program" ] || { echo "no program at $program (make build first)" >&2; exit 1; }
for tool in Xvfb xdotool import mkfs.ext4; do
    command -v $tool >/dev/null || { echo "$tool is missing (make deps)" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
mounted=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    [ -n "$mounted" ] && umount -l "$mounted" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

home=$work/home
mkdir -p "$home"/{Desktop,Documents/Letters,Downloads,Music,Pictures/Holidays,Backup} \
    "$home"/Projects/{Dromel/{docs,src,tests},Website}
truncate -s 16M "$work/backup.img"
mkfs.ext4 -q -L "Backup Disk" "$work/backup.img"
if mount -o loop "$work/backup.img" "$home/Backup" 2>/dev/null; then
    mounted=$home/Backup
    mkdir -p "$home/Backup/2026"
else
    echo "loop mounts are not allowed here: the picture shows no extra volume" >&2
fi

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x860x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$work/config" "$work/state"
DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work \
    LANG=C.UTF-8 "$program" --directory "$home/Projects/Dromel" >/dev/null 2>&1 &
app_pid=$!
window=""
for _ in $(seq 100); do
    window=$(DISPLAY=$display xdotool search --name ' — Dromel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
# The tree is read level by level in the background; give it the time to paint.
sleep 2
DISPLAY=$display import -window "$window" -crop 330x0+0+0 +repage "$out/sidebar.png"
echo "wrote docs/screenshots/sidebar.png"
