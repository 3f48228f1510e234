#!/usr/bin/env bash
# Draw times of the viewer under a private Xvfb (Mesa's software renderer),
# for one or more builds and looks side by side: each round runs every
# scene with every build and every look in turn, so that they all see the
# same machine load.
#
#   bench/frame-times.sh [-r ROUNDS] [-p] [-l LOOKS] BINARY...
#
# Scenes, all in an 800 × 600 window with the shipped camera:
#   50, 256, 512  default/ on a grid of that many cells a side, dForceFactor
#                 scaled by the cell area, no events: calm water
#   spray         default/ (50²) with dParticleThresHold 0.2: the spray runs
#                 away; the frames drawn after 89 to 92 recorded steps have
#                 483 to 538 particles in flight
#   large         large/ as shipped (512², its balls and spray)
#   2048          large/ on 2048² cells, dParticleThresHold 20.48 (0.5 × N/50)
#   256drops      default/ on 256² cells, dParticleThresHold 0.8: the spray
#                 runs away; the frames drawn after 70 to 74 recorded steps
#                 (2.10 to 2.22 s) have 3 259 to 4 772 drops in flight
# Each figure is the median draw time in ms (RIPPLEX_FRAME_TIMES) over the
# frames of one run: the first two left out; for spray and 256drops, only
# the frames named above; for 2048, 10 frames. LOOKS is the list of
# graphics.opt iLook values to draw each scene with ("0" unless given; "0 1"
# for the fixed and the shaded look). With -p, RIPPLEX_FRAME_TIMES=passes:
# the median of each pass instead (fixed look: bottom, spheres, cells,
# surface, spray; shaded look: heights, caustics, scene, surface, spray),
# real time, then processor time. Builds are named by their place on the
# command line. SCENES="50 256" limits the scenes.
set -euo pipefail
rounds=3
passes=0
looks="0"
while getopts "r:pl:" option; do
    case $option in
    r) rounds=$OPTARG ;;
    p) passes=1 ;;
    l) looks=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
(($# > 0)) || { echo "usage: $0 [-r ROUNDS] [-p] [-l LOOKS] BINARY..." >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
xvfb_pid=""
finish() {
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

set_key() {  # file key value
    sed -i "s/^$2 = .*/$2 = $3;/" "$1"
}

make_scene() {  # name
    local dir="$work/scene-$1" sim
    case $1 in
    large | 2048) cp -r "$root/large" "$dir" ;;
    *) cp -r "$root/default" "$dir" ;;
    esac
    sim="$dir/simulation.opt"
    case $1 in
    spray) set_key "$sim" dParticleThresHold 0.2 ;;
    large) ;;
    2048)
        set_key "$sim" iSimulationWidth 2048
        set_key "$sim" iSimulationHeight 2048
        set_key "$sim" dParticleThresHold 20.48
        ;;
    256drops)
        set_key "$sim" iSimulationWidth 256
        set_key "$sim" iSimulationHeight 256
        set_key "$sim" dParticleThresHold 0.8
        ;;
    *)
        set_key "$sim" iSimulationWidth "$1"
        set_key "$sim" iSimulationHeight "$1"
        set_key "$sim" dForceFactor "$(awk -v n="$1" 'BEGIN { printf "%.6f", 10 * (50 / n) ^ 2 }')"
        echo 'iEventNumber = 0;' >"$dir/events.opt"
        ;;
    esac
}

# Prints the median(s) of one run of binary $1 on scene $2 in look $3.
measure() {
    local binary=$1 scene=$2 look=$3 frames=30 first=3
    case $scene in
    spray) frames=93 first=90 ;;
    256drops) frames=75 first=71 ;;
    2048) frames=10 ;;
    esac
    local dir="$work/scene-$scene"
    rm -f "$dir"/seq*.tga
    sed -i '/^iLook = /d' "$dir/graphics.opt"
    echo "iLook = $look;" >>"$dir/graphics.opt"
    (cd "$work" && RIPPLEX_FRAME_TIMES=$([[ $passes == 1 ]] && echo passes || echo 1) \
        "$binary" --directory "scene-$scene" --record "$frames" 2>&1 >/dev/null) |
        awk -v first="$first" -v passes="$passes" '
            function median(list, n,   i, j, t) {
                for (i = 2; i <= n; i++)
                    for (j = i; j > 1 && list[j - 1] > list[j]; j--) { t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
                return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
            }
            $1 == "passes" || $1 == "shaded" {
                p++
                if (p >= first) { n++; for (k = 1; k <= 5; k++) { name[k] = $(2 * k); pass[k, n] = $(2 * k + 1) } }
            }
            $1 == "passes-cpu" || $1 == "shaded-cpu" { if (p >= first) for (k = 1; k <= 5; k++) cpu[k, n] = $(2 * k + 1) }
            $1 == "frame" { f++; if (f >= first) { m++; frame[m] = $2 } }
            END {
                if (passes) {
                    for (k = 1; k <= 5; k++) { for (i = 1; i <= n; i++) one[i] = pass[k, i]; printf "%s %.2f ", name[k], median(one, n) }
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
echo "# load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((round = 1; round <= rounds; round++)); do
    for scene in $scenes; do
        line="round $round  scene $scene"
        for ((b = 1; b <= $#; b++)); do
            for look in $looks; do
                line+="  | build $b look $look: $(measure "$(realpath "${!b}")" "$scene" "$look")"
            done
        done
        echo "$line"
    done
done
echo "# load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
