#!/usr/bin/env bash
# Makes doc/screenshot.png: the main window over a small notebook of Chinese notes, shot in a
# virtual X server. The notes are written straight into a portable program folder (the record
# layout of doc/qm_format.md), so nothing of the user's own notebook is touched.
# Usage: scripts/screenshot.sh [OUTPUT.png]   (display :16 unless SCREENSHOT_DISPLAY is set;
# CORVANEL=path shoots that executable instead of building one)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-doc/screenshot.png}")
display=${SCREENSHOT_DISPLAY:-:16}
bash scripts/install-deps.sh
need=()
for tool in xdotool openbox python3; do
    command -v "$tool" >/dev/null || need+=("$tool")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
program=${CORVANEL:-}
if [ -z "$program" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target corvanel
    program=build/src/app/corvanel
fi

folder=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$folder"
}
trap cleanup EXIT
cp "$program" "$folder/corvanel"
touch "$folder/portable"

python3 - "$folder" <<'PY'
import sys, time
folder = sys.argv[1]
now = time.strftime("%Y-%m-%d %H:%M:%S")
def record(title, image, depth, body="", state=0):
    fields = [title, str(image), str(image), "0", str(state), str(depth), body, "", "0", "0",
              now, now, now]
    return "\x1e\x1e".join(fields).encode("gb18030") + b"\x00"
notes = [
    ("笔记本", 2, 1, "", 2),
    ("读书笔记", 0, 2, "", 2),
    ("《红楼梦》人物关系", 1, 3,
     "贾宝玉：荣国府贾政之子，衔玉而生。\r\n林黛玉：贾母外孙女，寄居荣国府。\r\n"
     "薛宝钗：薛姨妈之女，端庄稳重。\r\n\r\n第三回：托内兄如海荐西宾，接外孙贾母惜孤女。"),
    ("唐诗三百首摘抄", 1, 3,
     "床前明月光，疑是地上霜。\r\n举头望明月，低头思故乡。\r\n——李白《静夜思》"),
    ("工作", 0, 2, "", 2),
    ("周会记录 2026-12-07", 1, 3,
     "一、上周进度\r\n  1. 搜索支持正则表达式 ✅\r\n  2. 备份每 30 次保存一份\r\n"
     "二、本周计划\r\n  1. 打包 Debian 安装包\r\n  2. 适配 Wayland 与 fcitx5 输入法 😀"),
    ("待办事项", 1, 3, "□ 买菜\r\n□ 交电费\r\n☑ 整理笔记\r\n生僻字：𠀀𠀁𪚥"),
    ("生活", 0, 2, "", 2),
    ("菜谱：红烧肉", 1, 3, "五花肉 500 克，冰糖 30 克，生抽、老抽、料酒适量。"),
    ("旅行计划：云南", 1, 3, "昆明 → 大理 → 丽江 → 香格里拉"),
]
with open(f"{folder}/笔记本.qm", "wb") as f:
    for title, image, depth, body, *state in notes:
        f.write(record(title, image, depth, body, state[0] if state else 0))
# Starts on the meeting note (node 5), whose body has an emoji and rare ideographs nearby.
with open(f"{folder}/Quelmar·Corvanel.ini", "wb") as f:
    f.write("[主界面]\r\n树型框选中项=5\r\n".encode("gb18030"))
PY

Xvfb "$display" -screen 0 1100x720x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting is never managed nor shown.
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
sleep 0.5
"$folder/corvanel" >/dev/null 2>&1 &
pids+=($!)
window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --class Corvanelia 2>/dev/null | tail -1) && [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
xdotool windowmove "$window" 0 0 windowsize "$window" 1100 720
sleep 2
mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "wrote $out"
