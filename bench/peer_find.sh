#!/bin/sh
# The same jobs as a user would do them with find and one batched mv per
# target folder.
#   peer_find.sh extension|type|year|flatten FOLDER
set -eu
set -f  # the name patterns below are find's to expand, not the shell's
mode=$1
root=${2%/}

visible_files() {
  find "$root" -mindepth 1 -maxdepth 1 -type f ! -name '.*' "$@"
}

# Moves the visible files that match the remaining arguments into the folder $1.
move_into() {
  target=$root/$1
  shift
  mkdir -p "$target"
  visible_files "$@" -exec mv -t "$target" {} +
}

# Moves the files of any of the extensions that follow, in lower or upper case, into $1.
move_type() {
  folder=$1
  shift
  names=""
  for extension in "$@"; do
    upper=$(printf %s "$extension" | tr a-z A-Z)
    names="$names -o -name *.$extension -o -name *.$upper"
  done
  # shellcheck disable=SC2086
  move_into "$folder" '(' -false $names ')'
}

case $mode in
extension)
  visible_files -name '*.?*' -printf '%f\n' | sed 's/.*\.//' | sort -u |
    while IFS= read -r extension; do move_into "$extension" -name "*.$extension"; done
  ;;
type)
  move_type 图片 eps gif jpeg png wmf jpg psd ico bmp tiff tif ai
  move_type 视频 avi mp4 rmvb rm mkv 3gp swf wma mov mpg mpeg flv vob
  move_type 音频 mp3 wav ape flac mid acc amr m4a ogg m4r mp2 wavpack mmf
  move_type 文档 doc docx ppt pptx xls xlsx txt pdf epud dot dotx
  move_type 软件 exe
  ;;
year)
  visible_files -printf '%TY\n' | sort -u | while IFS= read -r year; do
    move_into "${year}年" -newermt "$year-01-01" ! -newermt "$((year + 1))-01-01"
  done
  ;;
flatten)
  find "$root" -mindepth 2 -type f -exec mv -t "$root" {} +
  find "$root" -mindepth 1 -type d -empty -delete
  ;;
*)
  echo "usage: peer_find.sh extension|type|year|flatten FOLDER" >&2
  exit 2
  ;;
esac
