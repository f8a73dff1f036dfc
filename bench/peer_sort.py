#!/usr/bin/env python3
"""The same jobs as a user would script them: os.scandir and shutil.move.

usage: peer_sort.py extension|type|year|flatten FOLDER
"""
import os
import shutil
import sys
import time

TYPE_FOLDERS = {}
for folder, names in (
    ("图片", "eps gif jpeg png wmf jpg psd ico bmp tiff tif ai"),
    ("视频", "avi mp4 rmvb rm mkv 3gp swf wma mov mpg mpeg flv vob"),
    ("音频", "mp3 wav ape flac mid acc amr m4a ogg m4r mp2 wavpack mmf"),
    ("文档", "doc docx ppt pptx xls xlsx txt pdf epud dot dotx"),
    ("软件", "exe"),
):
    for name in names.split():
        TYPE_FOLDERS[name] = folder
        TYPE_FOLDERS[name.upper()] = folder


def target_of(mode, entry):
    _, dot, extension = entry.name.rpartition(".")
    if mode == "extension":
        return extension if dot and extension else None
    if mode == "type":
        return TYPE_FOLDERS.get(extension) if dot else None
    year = time.localtime(entry.stat(follow_symlinks=False).st_mtime).tm_year
    return f"{year}年"


def sort(mode, root):
    made = set()
    for entry in list(os.scandir(root)):
        if entry.name.startswith(".") or not entry.is_file(follow_symlinks=False):
            continue
        target = target_of(mode, entry)
        if target is None:
            continue
        folder = os.path.join(root, target)
        if folder not in made:
            os.makedirs(folder, exist_ok=True)
            made.add(folder)
        shutil.move(entry.path, folder)


def walk(folder, files, folders):
    for entry in list(os.scandir(folder)):
        if entry.is_dir(follow_symlinks=False):
            folders.append(entry.path)
            walk(entry.path, files, folders)
        elif entry.is_file(follow_symlinks=False):
            files.append(entry.path)


def flatten(root):
    files, folders = [], []
    walk(root, files, folders)
    for path in files:
        if os.path.dirname(path) != root:
            shutil.move(path, root)
    for folder in reversed(folders):
        os.rmdir(folder)


def main():
    mode, root = sys.argv[1], sys.argv[2].rstrip("/")
    if mode == "flatten":
        flatten(root)
    else:
        sort(mode, root)


if __name__ == "__main__":
    main()
