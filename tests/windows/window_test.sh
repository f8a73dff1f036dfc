#!/bin/sh
# The Windows window under Wine on a virtual screen: types a folder path into
# Text1 (and drags one there from another program), presses each command
# button, answers the boxes with the keyboard, checks the folder after each,
# and leaves a screenshot.
#   window_test.sh BUILD_FOLDER SCREENSHOT
# Needs WINEPREFIX set to a prefix made with wineboot.
set -eu
build=$(cd "$1" && pwd)
screenshot=$2
here=$(cd "$(dirname "$0")" && pwd)
export LANG=C.UTF-8 WINEDEBUG=-all

work=$(mktemp -d /tmp/varnelo-window-XXXXXX)
app=""
source_app=""
xvfb=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$source_app" ] && kill "$source_app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A screen of its own, on the first display number free, which Xvfb tells.
Xvfb -displayfd 3 -screen 0 800x600x24 -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "window test: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

fail() {
  echo "window test: $*" >&2
  import -window root "$screenshot" 2>/dev/null || true
  echo "window test: the screen is in $screenshot" >&2
  exit 1
}

# Wine's services, if a server runs already, were started without this
# screen: the window would appear on none.
wineserver -k 2>/dev/null || true
wineserver -w

# Chinese captions need fonts the prefix lacks, and xdotool reaches windows
# that no window manager holds.
iconv -f UTF-8 -t UTF-16 "$here/../../tools/wine/prefix.reg" >"$work/prefix.reg"
wine regedit /S "$(winepath -w "$work/prefix.reg")"

# Waits until a window whose name matches $1 is there (or is gone, with $2 = gone).
wait_for() {
  for _ in $(seq 300); do
    if xdotool search --name "$1" >/dev/null 2>&1; then
      [ "${2:-}" = gone ] || return 0
    else
      [ "${2:-}" = gone ] && return 0
    fi
    sleep 0.1
  done
  fail "no window \"$1\"${2:+ $2}"
}

folder="$work/pics"
mkdir -p "$folder"
convert -size 16x16 xc:gray "$folder/a.jpg"
echo b >"$folder/b.txt"
echo c >"$folder/照片.mp3"
touch -d 2015-06-15 "$folder/a.jpg" "$folder/b.txt" "$folder/照片.mp3"

# The window's own tests, on this screen.
(cd "$build" && wine varnelo_window_tests.exe --gtest_brief=1) || fail "the window's tests failed"

(cd "$build" && exec wine varnelo.exe) &
app=$!
wait_for "^Varnelo V1.0$"
sleep 1
form=$(xdotool search --name "^Varnelo V1.0$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$form")"
# The client area lies inside the frame that Wine draws: equal sides and a
# caption above.
side=$(((WIDTH - 519) / 2))
left=$((X + side))
top=$((Y + HEIGHT - 349 - side))

click() {  # at client pixels
  xdotool mousemove $((left + $1)) $((top + $2)) click 1
}

# Answers the box named $1 with the keys $2 once it is there, and waits
# until that very box is gone: the next may bear its name.
answer() {
  wait_for "^$1\$"
  box=$(xdotool search --name "^$1\$" | head -n 1)
  sleep 0.3
  [ -n "${shot:-}" ] && import -window root "$shot" && shot=""
  xdotool key $2
  for _ in $(seq 300); do
    xdotool getwindowname "$box" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the box \"$1\" stayed after $2"
}

# Text1 takes the folder as a user types it, in place of the prompt.
# The folder as Wine shows a Linux path, spelt here: winepath cuts one at
# 260 characters.
windows_folder() {
  printf 'Z:%s' "$folder" | tr / '\\'
}
empty_box() {
  click 250 80
  xdotool key ctrl+End
  xdotool key --delay 2 --repeat 400 BackSpace
}
type_folder() {
  empty_box
  xdotool type --delay 20 "$(windows_folder)"
}
type_folder
# Ctrl+Z there undoes the typing first; with none left it is the window's,
# which has no run to undo yet.
xdotool key ctrl+z
sleep 0.5
xdotool search --name "^Varnelo\$" >/dev/null 2>&1 && fail "Ctrl+Z in Text1 left its typing"
xdotool key ctrl+z
answer Varnelo Return
type_folder

# Presses the button at client pixels $1 $2 and answers its boxes: $3 for the
# confirmation (Return for OK, Escape for Cancel), $4 for the completion box
# (Return unless given; "Tab space" presses 撤销, which stands before OK).
press() {
  click "$1" "$2"
  answer 请选择 "$3"
  [ "$3" = Escape ] && return 0
  answer Varnelo "${4:-Return}"
}

expect() {  # the folder's files, as find lists them, sorted
  actual=$(cd "$folder" && find . -type f | sort | tr '\n' ' ')
  [ "$actual" = "$1" ] || fail "after $2: $actual, not $1"
}

press 104 272 Escape
expect "./a.jpg ./b.txt ./照片.mp3 " "a cancelled sort"
# The completion box's 撤销 puts every file back at once.
press 104 272 Return "Tab space"
answer Varnelo Return
expect "./a.jpg ./b.txt ./照片.mp3 " "撤销 in the completion box"
# Undone is done with: Ctrl+Z has nothing left, and says so.
xdotool key ctrl+z
answer Varnelo Return
# The confirmation shows what the sort will do.
shot="${screenshot%.png}-confirm.png"
press 104 272 Return  # Command2
expect "./jpg/a.jpg ./mp3/照片.mp3 ./txt/b.txt " "按扩展名分类"
# Ctrl+Z asks first: Cancel leaves the sort, OK undoes it.
xdotool key ctrl+z
answer 请选择 Escape
expect "./jpg/a.jpg ./mp3/照片.mp3 ./txt/b.txt " "a cancelled Ctrl+Z"
xdotool key ctrl+z
answer 请选择 Return
answer Varnelo Return
expect "./a.jpg ./b.txt ./照片.mp3 " "Ctrl+Z"
press 104 272 Return
press 136 184 Return Escape  # Command3; Esc in the completion box is OK
expect "./a.jpg ./b.txt ./照片.mp3 " "将所有文件放到根目录"
press 256 272 Return  # Command4
expect "./图片/a.jpg ./文档/b.txt ./音频/照片.mp3 " "按文件类型分类"
press 136 184 Return
press 376 184 Return  # Command5
expect "./2015年/a.jpg ./2015年/b.txt ./2015年/照片.mp3 " "按最后修改年份分类"
press 136 184 Return
press 408 272 Return  # Command7
expect "./320p图片及以下/a.jpg ./b.txt ./照片.mp3 " "按照片像素分类"

import -window root "$screenshot"
# The body is see-through: not one pixel of the key colour reaches the screen.
keyed=$(convert "$screenshot" -depth 8 txt:- | grep -ci "#FFFF01" || true)
[ "$keyed" -eq 0 ] || fail "$keyed pixels of the key colour are seen"
# A folder dragged from another program arrives as its path, and the drop
# is answered as a copy: a move would have the source remove the folder.
(cd "$build" && exec wine varnelo_drag_source.exe "$(windows_folder)") &
source_app=$!
wait_for "^drag source\$"
sleep 1
source=$(xdotool search --name "^drag source\$" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$source")"
from_x=$((X + 90)) from_y=$((Y + 80)) to_x=$((left + 250)) to_y=$((top + 80))
empty_box
xdotool mousemove $from_x $from_y sleep 0.3 mousedown 1 sleep 0.3
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((from_x + (to_x - from_x) * step / 10)) $((from_y + (to_y - from_y) * step / 10))
  sleep 0.1
done
xdotool sleep 0.3 mouseup 1
wait_for "^dropped as a copy\$"
kill "$source_app"
source_app=""
press 104 272 Return
expect "./320p图片及以下/a.jpg ./mp3/照片.mp3 ./txt/b.txt " "按扩展名分类 on a dropped folder"

# A path longer than the old limit of 260 characters is taken whole.
folder="$work/long"
while [ ${#folder} -le 300 ]; do folder="$folder/a folder with a long name"; done
mkdir -p "$folder"
echo d >"$folder/d.txt"
type_folder
press 104 272 Return
expect "./txt/d.txt " "按扩展名分类 in a folder of ${#folder} characters"
echo "window test: every button sorted the folder; the screen is in $screenshot"
