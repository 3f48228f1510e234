#!/usr/bin/env bash
# Draw times of the viewer under a private Xvfb (Mesa's software renderer),
# for one or more builds side by side: each round runs every scene with
# every build in turn, so builds see the same machine load.
#
#   bench/frame-times.sh [-r ROUNDS] [-p] BINARY...
#
# Scenes, all copies of default/ in an 800 × 600 window with the shipped
# camera: "50", "256", "512" (calm water on a grid of that many cells a
# side, dForceFactor scaled by the cell area; no events), and "spray"
# (50², the shipped events, dParticleThresHold 0.2: the spray runs away;
# the frames drawn after 89 to 92 recorded steps have 483 to 538 particles
# in flight). Each figure is the median draw time in ms
# (RIPPLEX_FRAME_TIMES) over the frames of one run, the first two left out
# (for "spray", over those four frames). With -p, RIPPLEX_FRAME_TIMES=passes:
# the median of each pass instead (bottom, spheres, cells, surface, spray),
# real time, then processor time. Builds are named by their place on the
# command line. SCENES="50 256" limits the scenes.
set -euo pipefail
rounds=3
passes=0
while getopts "r:p" option; do
    case $option in
    r) rounds=$OPTARG ;;
    p) passes=1 ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
(($# > 0)) || { echo "usage: $0 [-r ROUNDS] [-p] BINARY..." >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
xvfb_pid=""
finish() {
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

make_scene() {  # name
    local dir="$work/scene-$1"
    cp -r "$root/default" "$dir"
    if [[ $1 == spray ]]; then
        sed -i 's/^dParticleThresHold = .*/dParticleThresHold = 0.2;/' "$dir/simulation.opt"
        return
    fi
    local force
    force=$(awk -v n="$1" 'BEGIN { printf "%.6f", 10 * (50 / n) ^ 2 }')
    sed -i "s/^iSimulationWidth = .*/iSimulationWidth = $1;/; s/^iSimulationHeight = .*/iSimulationHeight = $1;/
            s/^dForceFactor = .*/dForceFactor = $force;/" "$dir/simulation.opt"
    echo 'iEventNumber = 0;' >"$dir/events.opt"
}

# Prints the median(s) of one run of binary $1 on scene $2.
measure() {
    local binary=$1 scene=$2 frames=30 first=3
    [[ $scene == spray ]] && frames=93 first=90
    rm -f "$work/scene-$scene"/seq*.tga
    (cd "$work" && RIPPLEX_FRAME_TIMES=$([[ $passes == 1 ]] && echo passes || echo 1) \
        "$binary" --directory "scene-$scene" --record "$frames" 2>&1 >/dev/null) |
        awk -v first="$first" -v passes="$passes" '
            function median(list, n,   i, j, t) {
                for (i = 2; i <= n; i++)
                    for (j = i; j > 1 && list[j - 1] > list[j]; j--) { t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
                return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
            }
            $1 == "passes" { p++; if (p >= first) { n++; for (k = 1; k <= 5; k++) pass[k, n] = $(2 * k + 1) } }
            $1 == "passes-cpu" { if (p >= first) for (k = 1; k <= 5; k++) cpu[k, n] = $(2 * k + 1) }
            $1 == "frame" { f++; if (f >= first) { m++; frame[m] = $2 } }
            END {
                if (passes) {
                    for (k = 1; k <= 5; k++) { for (i = 1; i <= n; i++) one[i] = pass[k, i]; printf "%.2f ", median(one, n) }
                    printf "/ cpu"
                    for (k = 1; k <= 5; k++) { for (i = 1; i <= n; i++) one[i] = cpu[k, i]; printf " %.2f", median(one, n) }
                } else printf "%.2f", median(frame, m)
            }'
}

fd_file="$work/.display"
exec {fd}>"$fd_file"
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec {fd}>&-
for ((i = 0; i < 200; i++)); do
    grep -q '^[0-9]' "$fd_file" 2>/dev/null && break
    sleep 0.05
done
export DISPLAY=":$(head -n1 "$fd_file")"

scenes=${SCENES:-50 256 512 spray}
for scene in $scenes; do make_scene "$scene"; done
for ((b = 1; b <= $#; b++)); do echo "# build $b: ${!b}"; done
if [[ $passes == 1 ]]; then echo "# medians in ms: bottom spheres cells surface spray / cpu: the same"; fi
for ((round = 1; round <= rounds; round++)); do
    for scene in $scenes; do
        line="round $round  scene $scene"
        for ((b = 1; b <= $#; b++)); do
            line+="  | build $b: $(measure "$(realpath "${!b}")" "$scene")"
        done
        echo "$line"
    done
done
