#!/usr/bin/env python3
"""Creates the program benchmark's profile natively: the seven folders the file-system presets search,
200,000 files in all, most of them documents in nested folders, shortcuts in the menus."""
import os
import sys

# folder: (files, extensions in turn, files per subfolder or 0 for a flat folder)
FOLDERS = {
    "Start Menu": (5000, [".lnk", ".lnk", ".ini"], 50),
    "All Start Menu": (5000, [".lnk", ".lnk", ".url"], 50),
    "Documents": (170000, [".doc", ".pdf", ".txt", ".jpg", ".mp3", ".xls", ".odt", ".png"], 200),
    "Desktop": (12000, [".exe", ".lnk", ".txt", ".pdf"], 100),
    "All Desktop": (4000, [".exe", ".lnk", ".doc"], 100),
    "Recent": (3000, [".lnk"], 0),
    "Quick Launch": (1000, [".lnk"], 0),
}


def main():
    root = sys.argv[1]
    marker = root.rstrip("/") + ".complete"
    if os.path.exists(marker):
        return
    for folder, (count, extensions, per_folder) in FOLDERS.items():
        for n in range(count):
            where = os.path.join(root, folder)
            if per_folder:
                where = os.path.join(where, f"group{n // per_folder:03d}")
            os.makedirs(where, exist_ok=True)
            name = f"item{n:05d}_{folder[:4].lower()}{extensions[n % len(extensions)]}"
            os.close(os.open(os.path.join(where, name), os.O_CREAT | os.O_WRONLY, 0o644))
    open(marker, "w").close()


if __name__ == "__main__":
    main()
