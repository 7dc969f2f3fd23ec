#!/usr/bin/env python3
"""Draws the core library's ten 16 x 16 icons (eight property kinds, copy and run), the program's
icon (a "V", 16 x 16 and 32 x 32 in one file), the web-search plug-in's own icon and its engines'
icons (a rounded square in a colour of its own with the engine's initial), the Opera plug-in's icon, and
the Firefox, Explorer and Chromium plug-ins' own icons and the icons of their results as .ico files.

Run once when an icon changes; the .ico files are checked in beside core.rc, app/res/verbinox.rc,
plugins/webquery/res/webquery.rc, plugins/opera/res/opera.rc, plugins/firefox/res/firefox.rc,
plugins/explorer/res/explorer.rc, plugins/chromium/res/chromium.rc and in plugins/webquery/images."""
import os
import struct
import sys

# name: (fill colour RGB, 5x7 glyph rows drawn in white)
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "@": ["01110", "10001", "10111", "10101", "10111", "10000", "01111"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
}
ICONS = {
    101: ("email", (0x2E, 0x7D, 0x32), "@"),
    102: ("text", (0x61, 0x61, 0x61), "T"),
    103: ("url", (0x15, 0x65, 0xC0), "U"),
    104: ("file", (0xEF, 0x8F, 0x00), "F"),
    105: ("name", (0x6A, 0x1B, 0x9A), "N"),
    106: ("address", (0x00, 0x83, 0x8F), "A"),
    107: ("phone", (0xC6, 0x28, 0x28), "P"),
    108: ("im", (0x00, 0x89, 0x7B), "I"),
    109: ("copy", (0x45, 0x5A, 0x64), "C"),
    110: ("run", (0x2E, 0x7D, 0x32), "R"),
}
# The web-search engines' icons: generic artwork of our own, never a service's logo.
ENGINE_ICONS = {
    "google": ((0x1E, 0x88, 0xE5), "G"),
    "yahoo": ((0x7B, 0x1F, 0xA2), "Y"),
    "wiki": ((0x54, 0x6E, 0x7A), "W"),
    "craigslist": ((0x5D, 0x40, 0x37), "C"),
    "ebay": ((0xE6, 0x51, 0x00), "E"),
    "imdb": ((0xAF, 0xB4, 0x2B), "I"),
    "youtube": ((0xD8, 0x1B, 0x60), "Y"),
    "myspace": ((0x39, 0x49, 0xAB), "M"),
    "msdn": ((0x00, 0x79, 0x6B), "M"),
    "amazon": ((0xF5, 0x7F, 0x17), "A"),
    "dictionary": ((0x00, 0x97, 0xA7), "D"),
    "accuweather": ((0xEF, 0x6C, 0x00), "A"),
    "codeproject": ((0x43, 0xA0, 0x47), "C"),
}


def image_bytes(colour, glyph, size):
    scale = size // 16
    pixels = []  # bottom-up rows of BGRA
    for y in range(size - 1, -1, -1):
        row = b""
        for x in range(size):
            sx, sy = x // scale, y // scale
            inside = 1 <= sx <= 14 and 1 <= sy <= 14 and not ((sx in (1, 14)) and (sy in (1, 14)))
            gx, gy = sx - 5, sy - 4
            on = 0 <= gx < 5 and 0 <= gy < 7 and GLYPHS[glyph][gy][gx] == "1"
            if not inside:
                row += bytes((0, 0, 0, 0))
            elif on:
                row += bytes((255, 255, 255, 255))
            else:
                r, g, b = colour
                row += bytes((b, g, r, 255))
        pixels.append(row)
    xor = b"".join(pixels)
    and_mask = b"\x00" * (((size + 31) // 32) * 4 * size)  # 1 bit a pixel, rows of 32 bits; alpha decides
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def icon_bytes(colour, glyph, sizes=(16,)):
    images = [image_bytes(colour, glyph, size) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    here = os.path.dirname(__file__)
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "core", "res")
    for number, (name, colour, glyph) in ICONS.items():
        with open(os.path.join(out, f"{name}.ico"), "wb") as f:
            f.write(icon_bytes(colour, glyph))
    app = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "app", "res")
    with open(os.path.join(app, "verbinox.ico"), "wb") as f:
        f.write(icon_bytes((0x3A, 0x2C, 0x8C), "V", (16, 32)))
    webquery = sys.argv[3] if len(sys.argv) > 3 else os.path.join(here, "..", "plugins", "webquery")
    with open(os.path.join(webquery, "res", "webquery.ico"), "wb") as f:
        f.write(icon_bytes((0x0D, 0x47, 0xA1), "Q"))
    for name, (colour, glyph) in ENGINE_ICONS.items():
        with open(os.path.join(webquery, "images", f"{name}.ico"), "wb") as f:
            f.write(icon_bytes(colour, glyph))
    opera = os.path.join(here, "..", "plugins", "opera", "res")
    os.makedirs(opera, exist_ok=True)
    with open(os.path.join(opera, "opera.ico"), "wb") as f:
        f.write(icon_bytes((0xC6, 0x28, 0x28), "O"))
    explorer = os.path.join(here, "..", "plugins", "explorer", "res")
    os.makedirs(explorer, exist_ok=True)
    with open(os.path.join(explorer, "explorer.ico"), "wb") as f:
        f.write(icon_bytes((0x01, 0x57, 0x9B), "E"))
    with open(os.path.join(explorer, "favorite.ico"), "wb") as f:
        f.write(icon_bytes((0xF5, 0x7F, 0x17), "F"))
    firefox = os.path.join(here, "..", "plugins", "firefox", "res")
    os.makedirs(firefox, exist_ok=True)
    with open(os.path.join(firefox, "firefox.ico"), "wb") as f:
        f.write(icon_bytes((0xE6, 0x5C, 0x00), "F"))
    with open(os.path.join(firefox, "firefox-result.ico"), "wb") as f:
        f.write(icon_bytes((0xE6, 0x5C, 0x00), "U"))
    chromium = os.path.join(here, "..", "plugins", "chromium", "res")
    os.makedirs(chromium, exist_ok=True)
    with open(os.path.join(chromium, "chromium.ico"), "wb") as f:
        f.write(icon_bytes((0x1A, 0x73, 0xE8), "C"))
    with open(os.path.join(chromium, "chromium-result.ico"), "wb") as f:
        f.write(icon_bytes((0x1A, 0x73, 0xE8), "U"))


if __name__ == "__main__":
    main()
