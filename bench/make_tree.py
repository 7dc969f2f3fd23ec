#!/usr/bin/env python3
"""Creates the benchmark's synthetic tree natively: 20 folders of 100 folders of 100 files (200,000 files
in 2,020 folders). Names are built so that fixed texts hit known counts:
  "report" about 50,000 files (one name in four), "rare137_" 1,000, "id19999" 11."""
import os
import sys

WORDS = ["report", "notes", "photo", "music"]


def main():
    root = sys.argv[1]
    marker = root.rstrip("/") + ".complete"  # beside the tree, not in it
    if os.path.exists(marker):
        return
    n = 0
    for top in range(20):
        for sub in range(100):
            folder = os.path.join(root, f"area{top:02d}", f"box{sub:03d}")
            os.makedirs(folder, exist_ok=True)
            for _ in range(100):
                name = f"{WORDS[n % 4]}_rare{(n // 4) % 200:03d}_id{n}.txt"
                os.close(os.open(os.path.join(folder, name), os.O_CREAT | os.O_WRONLY, 0o644))
                n += 1
    open(marker, "w").close()


if __name__ == "__main__":
    main()
