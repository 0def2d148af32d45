#!/usr/bin/env bash
# Dromel beside Dolphin and PCManFM-Qt (scripts/install-peers), side by side in
# one run: from exec until the program's processes settle (no CPU used for
# 300 ms, sampled from /proc/<pid>/stat every ~25 ms), and the main process's
# resident memory (VmRSS) once settled. Two folders: 10,000 real mixed files
# (photos, text, PDFs, folders, archives …) and 100,000 small files. Each
# program runs under its own Xvfb, session bus and scratch HOME/XDG folders; a
# first unmeasured run per folder fills the page cache and each program's
# thumbnail cache, then ROUNDS (3) rounds run interleaved and the median is
# printed with its ratio against the fastest peer and against Dolphin. What
# each program showed after its first run is kept in PEERS_WORK/seen-*.png.
#   bench/peers.sh [dromel-program]     (default build/release/src/app/dromel)
# Environment: ROUNDS, PEERS_WORK (fixture folder, kept between runs),
# PEERS_DISPLAYS (three free X display numbers, default "33 34 35").
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/src/app/dromel}
rounds=${ROUNDS:-3}
work=${PEERS_WORK:-/tmp/dromel-peers}
read -r -a displays <<< "${PEERS_DISPLAYS:-33 34 35}"
quiet=300000 # µs without CPU that count as settled
limit=90     # s before a run counts as never settling
[ -x "$program" ] || { echo "no program at $program (make build first)" >&2; exit 1; }
for tool in Xvfb dolphin pcmanfm-qt dbus-daemon convert import xdotool; do
    command -v $tool >/dev/null || { echo "$tool is missing (scripts/install-peers, make deps)" >&2; exit 1; }
done

# ---- The folders, made once.
mixed=$work/mixed-10k
many=$work/files-100k
tiny_pdf() { # A one-page PDF with a line of text, its cross-reference table exact.
    local objects=("<< /Type /Catalog /Pages 2 0 R >>"
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>"
        "<< /Length 44 >>
stream
BT /F1 24 Tf 72 760 Td (Report $1) Tj ET
endstream"
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    local out="%PDF-1.4"$'\n' offsets=() i
    for i in "${!objects[@]}"; do
        offsets+=("${#out}")
        out+="$((i + 1)) 0 obj"$'\n'"${objects[$i]}"$'\n'"endobj"$'\n'
    done
    local xref=${#out}
    out+="xref"$'\n'"0 6"$'\n'"0000000000 65535 f "$'\n'
    for i in "${offsets[@]}"; do out+="$(printf '%010d 00000 n ' "$i")"$'\n'; done
    out+="trailer"$'\n'"<< /Size 6 /Root 1 0 R >>"$'\n'"startxref"$'\n'"$xref"$'\n'"%%EOF"$'\n'
    printf '%s' "$out"
}
if [ ! -e "$mixed/.complete" ]; then
    echo "making $mixed (10,000 mixed files)…"
    rm -rf "$mixed"; mkdir -p "$mixed" "$work/sources"
    for i in $(seq 0 11); do # a dozen distinct photos, copied under many names
        convert -size 800x600 -seed "$i" plasma:fractal -blur 0x1 -quality 85 "$work/sources/photo-$i.jpg"
    done
    for i in $(seq 0 3); do convert -size 640x480 -seed "$((i + 20))" plasma:fractal "$work/sources/shot-$i.png"; done
    tiny_pdf sample > "$work/sources/report.pdf"
    n=0
    for i in $(seq 0 2999); do cp "$work/sources/photo-$((i % 12)).jpg" "$mixed/IMG_$((1000 + i)).jpg"; done
    for i in $(seq 0 999); do cp "$work/sources/shot-$((i % 4)).png" "$mixed/screenshot-$i.png"; done
    for i in $(seq 0 2499); do
        printf 'Notes, day %d.\nA line of plain text.\n' "$i" > "$mixed/notes-$i.txt"
    done
    for i in $(seq 0 999); do printf '# Section %d\n\nText.\n' "$i" > "$mixed/readme-$i.md"; done
    for i in $(seq 0 799); do tiny_pdf "$i" > "$mixed/report-$i.pdf"; done
    for i in $(seq 0 699); do mkdir "$mixed/folder-$i"; printf 'x' > "$mixed/folder-$i/inside.txt"; done
    for i in $(seq 0 499); do head -c 4096 /dev/urandom | gzip -c > "$mixed/archive-$i.tar.gz"; done
    for i in $(seq 0 499); do printf '#!/bin/sh\necho %d\n' "$i" > "$mixed/script-$i.sh"; done
    touch "$mixed/.complete"
fi
if [ ! -e "$many/.complete" ]; then
    echo "making $many (100,000 files)…"
    rm -rf "$many"; mkdir -p "$many"
    extensions=(.txt .jpg .pdf .mp3 "" .tar.gz .md .cpp)
    for i in $(seq 0 99999); do printf x > "$many/item $i${extensions[$((i % 8))]}"; done
    touch "$many/.complete"
fi
count() { find "$1" -mindepth 1 -maxdepth 1 ! -name .complete | wc -l; }

# ---- One run.
declare -A xvfb=()
cleanup() {
    for pid in "${xvfb[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
start_display() { # number
    Xvfb ":$1" -screen 0 1280x860x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb[$1]=$!
    for _ in $(seq 50); do DISPLAY=":$1" xdotool getdisplaygeometry >/dev/null 2>&1 && return; sleep 0.1; done
    echo "Xvfb :$1 did not start (is it taken?)" >&2; exit 1
}

# Sums utime+stime (ticks) and RSS (pages) over the run's processes: those of
# the program's session and those its session bus started. Prints
# "ticks rss-pages pids…".
sample() { # session-pid bus-pid
    awk -v session="$1" -v bus="$2" '
        BEGIN {
            for (i = 1; i < ARGC; i++) {
                # A process may end between the listing and the read.
                if ((getline line < ARGV[i]) <= 0) continue
                close(ARGV[i])
                pid = line; sub(/ .*/, "", pid)
                sub(/^[0-9]+ \(.*\) /, "", line); split(line, f, " ")
                parent[pid] = f[2]; sid[pid] = f[4]; ticks[pid] = f[12] + f[13]; rss[pid] = f[22]
            }
            total = 0; pages = 0; list = ""
            for (p in parent) {
                mine = (sid[p] == session)
                for (q = p; !mine && q > 1 && (q in parent); q = parent[q]) if (q == bus) mine = 1
                if (mine) { total += ticks[p]; pages += rss[p]; list = list " " p }
            }
            print total, pages list
        }' /proc/[0-9]*/stat 2>/dev/null
}

# Runs one program on a folder until settled; prints "seconds main-rss-kB tree-rss-kB".
# With a picture file, the screen is taken once settled (to see what it showed).
run() { # name display folder [picture]
    local name=$1 display=$2 folder=$3 picture=${4:-} home=$work/home-$1
    mkdir -p "$home"/{.config,.cache,.local/share,.local/state,run}
    chmod 700 "$home/run"
    local -a command
    case $name in
    dromel) command=("$program" --directory "$folder") ;;
    dolphin) command=(dolphin --new-window "$folder") ;;
    pcmanfm-qt) command=(pcmanfm-qt "$folder") ;;
    esac
    local -a environment=(PATH="$PATH" DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config"
        XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state"
        XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8)
    local bus bus_pid
    { read -r bus; read -r bus_pid; } < <(env -i "${environment[@]}" dbus-daemon --session --fork \
        --print-address=1 --print-pid=1)
    local before=$EPOCHREALTIME
    env -i "${environment[@]}" DBUS_SESSION_BUS_ADDRESS="$bus" setsid "${command[@]}" >/dev/null 2>&1 &
    local pid=$!
    local start=${before/./} last_change ticks=-1 now seen="" fields
    last_change=$start
    while :; do
        now=${EPOCHREALTIME/./}
        read -r -a fields < <(sample "$pid" "$bus_pid") || true
        seen="$seen ${fields[*]:2}"
        if [ "${fields[0]:-0}" != "$ticks" ]; then ticks=${fields[0]:-0}; last_change=$now; fi
        if ((now - last_change >= quiet && ticks > 0)); then break; fi
        if ((now - start > limit * 1000000)); then echo "$name did not settle on $folder" >&2; break; fi
        kill -0 "$pid" 2>/dev/null || { echo "$name quit on $folder" >&2; break; }
        sleep 0.02
    done
    [ -z "$picture" ] || DISPLAY=":$display" import -window root "$picture" 2>/dev/null || true
    local main_kb tree_kb
    main_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
    tree_kb=$((${fields[1]:-0} * $(getconf PAGESIZE) / 1024))
    # Everything the run started, by the ids seen.
    kill -TERM -- "-$pid" 2>/dev/null || true
    kill -TERM "$bus_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    for p in $(tr ' ' '\n' <<< "$seen" | sort -u); do
        [ "$p" = "$pid" ] || kill -KILL "$p" 2>/dev/null || true
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    printf '%d.%06d %s %s\n' $(((last_change - start) / 1000000)) $(((last_change - start) % 1000000)) \
        "${main_kb:-0}" "$tree_kb"
}

programs=(dromel dolphin pcmanfm-qt)
declare -A display_of=()
for i in 0 1 2; do
    display_of[${programs[$i]}]=${displays[$i]}
    start_display "${displays[$i]}"
done
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   cores: $(nproc)"
echo "folders: $(count "$mixed") mixed entries, $(count "$many") entries"
for folder in "$mixed" "$many"; do
    for name in "${programs[@]}"; do # unmeasured: caches and first-run files
        run "$name" "${display_of[$name]}" "$folder" "$work/seen-$name-$(basename "$folder").png" >/dev/null
    done
done
declare -A times=() memory=() trees=()
for round in $(seq "$rounds"); do
    for folder in "$mixed" "$many"; do
        for name in "${programs[@]}"; do
            read -r seconds main_kb tree_kb < <(run "$name" "${display_of[$name]}" "$folder")
            key="$name $(basename "$folder")"
            times[$key]="${times[$key]:-} $seconds"
            memory[$key]="${memory[$key]:-} $main_kb"
            trees[$key]="${trees[$key]:-} $tree_kb"
            printf 'round %d  %-10s %-9s %6.2f s  %7d kB main  %7d kB all\n' "$round" "$name" \
                "$(basename "$folder")" "$seconds" "$main_kb" "$tree_kb"
        done
    done
done
median() { tr ' ' '\n' <<< "$1" | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "median of $rounds (settled s, VmRSS MB of the main process, RSS MB of all its processes):"
for folder in "$mixed" "$many"; do
    base=$(basename "$folder")
    fastest=""
    for name in dolphin pcmanfm-qt; do
        t=$(median "${times[$name $base]}")
        if [ -z "$fastest" ] || awk -v a="$t" -v b="$fastest" 'BEGIN { exit !(a < b) }'; then fastest=$t; fi
    done
    dolphin_mb=$(median "${memory[dolphin $base]}")
    for name in "${programs[@]}"; do
        t=$(median "${times[$name $base]}")
        m=$(median "${memory[$name $base]}")
        a=$(median "${trees[$name $base]}")
        awk -v n="$name" -v f="$base" -v t="$t" -v m="$m" -v a="$a" -v best="$fastest" -v d="$dolphin_mb" \
            'BEGIN { printf "  %-10s %-9s %6.2f s (%.2fx the fastest peer)  %6.1f MB (%.2fx Dolphin)  %6.1f MB all\n",
                     n, f, t, t / best, m / 1024, m / d, a / 1024 }'
    done
done
