# --video: --record 12 in an odd 161 x 121 window ends with status 0 and
# leaves a 12-frame H.264 video (ffprobe), yuv420p at 100/3 frames per
# second, padded to 162 x 122, and no TGA file; its last frame, decoded,
# is the right way up: close to the seq00011.tga of the same run without
# --video, far from it upside down. An ffmpeg that fails once F4 has
# started stops the recording with one line, and the window stays.
set -euo pipefail
source "${RIPPLEX_SOURCE_DIR:?}/tests/e2e/xvfb.sh"
viewer_setup
copy_default_scene scene 161 121
cd "$TEST_DIR"

start_viewer --directory scene --record 12 --video "two words.mp4"
wait_exit "$VIEWER_PID" 300
[[ $EXIT_STATUS == 0 ]] && ! compgen -G "scene/seq*.tga" >/dev/null ||
    fail "--video run: status $EXIT_STATUS, files $(ls scene)"
probe=$(ffprobe -v error -count_frames -select_streams v:0 -of default=nw=1 \
    -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames "two words.mp4" | tr '\n' ' ')
[[ $probe == "codec_name=h264 width=162 height=122 pix_fmt=yuv420p r_frame_rate=100/3 nb_read_frames=12 " ]] ||
    fail "the video: $probe"

start_viewer --directory scene --record 12
wait_exit "$VIEWER_PID" 300
ffmpeg -v error -i "two words.mp4" -vf 'select=eq(n\,11)' -frames:v 1 -f rawvideo -pix_fmt rgb24 last.rgb
PYTHONPATH="${TOOLS%/*}" python3 - scene/seq00011.tga last.rgb <<'PY' || fail "the last frame is not seq00011.tga's picture"
import sys
from viewer_tools import read_rle_tga
w, h, rows = read_rle_tga(sys.argv[1])
video = open(sys.argv[2], "rb").read()
def mean_difference(top_first):
    return sum(abs(a - video[((y * 162) + x) * 3 + c]) for y, row in enumerate(top_first)
               for x, pixel in enumerate(row) for c, a in enumerate(pixel)) / (w * h * 3)
upright, flipped = mean_difference(rows[::-1]), mean_difference(rows)
sys.exit(not (upright < 8 and flipped > 20))
PY

mkdir fake && printf '#!/bin/sh\nexit 1\n' >fake/ffmpeg && chmod +x fake/ffmpeg
PATH="$TEST_DIR/fake:$PATH" start_viewer --directory scene --video failed.mp4
window=$(wait_window Ripplex)
send_keys "$window" F4
deadline=$((SECONDS + 60))
until grep -q "L'encodeur" error.log; do
    ((SECONDS < deadline)) || fail "no line about the failed encoder"
    sleep 0.1
done
[[ $(log_messages | tail -n +2) == "CWaterScene::IdleScene -- L'encodeur vid$(printf '\xE9')o a $(printf '\xE9')chou$(printf '\xE9') pour $TEST_DIR/failed.mp4 ($(printf '\xE9')criture : Broken pipe, ffmpeg a termin$(printf '\xE9') avec le code 1), l'enregistrement s'arr$(printf '\xEA')te" ]] ||
    fail "error.log: $(log_messages | cat -v)"
quit_viewer "$window"
echo "viewer video: ok"
