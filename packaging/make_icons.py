#!/usr/bin/env python3
"""Writes the application icon for the desktop: the hicolor PNG sizes, the SVG and
the 32 x 32 XPM of the window icon, all from the drawing in icon_art.py.

    packaging/make_icons.py            # rewrites packaging/icons/
    packaging/make_icons.py --check    # fails when packaging/icons/ is out of date

The output is committed, so building and installing need no Python.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import icon_art  # noqa: E402

SIZES = (16, 32, 48, 64, 128, 256)
NAME = "hc12prog"


def outputs():
    files = {f"{NAME}-{s}.png": icon_art.png_bytes(s) for s in SIZES}
    files[f"{NAME}.svg"] = icon_art.svg_text().encode()
    files[f"{NAME}-32.xpm"] = icon_art.xpm_text("hc12prog_icon_xpm").encode()
    return files


def main(argv):
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "icons")
    check = "--check" in argv[1:]
    stale = []
    os.makedirs(folder, exist_ok=True)
    for name, data in outputs().items():
        path = os.path.join(folder, name)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except FileNotFoundError:
                stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date: " + ", ".join(stale) + " (run packaging/make_icons.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
