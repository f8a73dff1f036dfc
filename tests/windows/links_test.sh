#!/bin/sh
# Links made on the Linux side, as Wine shows them to the Windows build: a
# folder link is a reparse point that flattening leaves alone, never a
# folder it walks into.
#   links_test.sh VARNELO_DRIVE_EXE
set -eu
drive=$1
work=$(mktemp -d /tmp/varnelo-links-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/folder/sub" "$work/outside"
echo a >"$work/folder/sub/a.txt"
echo o >"$work/outside/o.txt"
ln -s ../outside "$work/folder/out"
ln -s .. "$work/folder/sub/loop"
# Through wine_run.sh, which starts the driver again where Wine failed to.
output=$(sh "$(dirname "$0")/wine_run.sh" "$drive" flatten "$(winepath -w "$work/folder")")
case "$output" in
  *"操作已完成!!"*) ;;
  *) echo "links test: flatten said: $output" >&2; exit 1 ;;
esac
found=$(cd "$work" && find . | sort | tr '\n' ' ')
# The sub-folder keeps its link, so it stays too.
expected=". ./folder ./folder/a.txt ./folder/out ./folder/sub ./folder/sub/loop ./outside ./outside/o.txt "
if [ "$found" != "$expected" ] || [ ! -L "$work/folder/out" ]; then
  echo "links test: $found, not $expected" >&2
  exit 1
fi
echo "links test: the folder links stayed links, and nothing outside moved"
