#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Draws Quillane's program icon (a quill over a mosaic of coloured tiles) as SVG and renders the
PNG sizes that desktops look for. The small sizes get a simpler drawing: at 16 and 32 pixels the
barbs, the grout between the tiles and the ink line would only blur into grey.

Needs rsvg-convert (Debian package librsvg2-bin) only when the icon is redrawn; the build uses the
committed files."""
import pathlib
import subprocess

HERE = pathlib.Path(__file__).resolve().parent
INK = "#1c2131"
COLOURS = [
    ["#f2c14e", "#e89a3c", "#d8653a", "#b3424a"],
    ["#f6d77a", "#eab04b", "#c9573f", "#7e3a67"],
    ["#6fb3ad", "#4a8fa0", "#356d8f", "#2f4b7c"],
    ["#5c9a6e", "#437c5c", "#2f604f", "#26434a"],
]


def tiles(gap):
    step = 60
    rects = []
    for r, row in enumerate(COLOURS):
        for c, colour in enumerate(row):
            x = 8 + c * step + gap / 2
            y = 8 + r * step + gap / 2
            rects.append(f'    <rect x="{x:g}" y="{y:g}" width="{step - gap:g}" '
                         f'height="{step - gap:g}" fill="{colour}"/>')
    return "\n".join(rects)


def barbs():
    # Barbs leave the shaft slanting towards the tip, on both sides of it.
    parts = []
    for x in (100, 124, 148, 172):
        y = 256 - x
        parts.append(f"M {x} {y} L {x - 4} {y - 22}")
    for x in (96, 120, 144, 168):
        y = 256 - x
        parts.append(f"M {x} {y} L {x + 22} {y + 4}")
    return " ".join(parts)


def icon(detailed):
    outline = 7 if detailed else 16
    shaft = 6 if detailed else 16
    # The small drawing has a plumper vane and shows the shaft only below it.
    vane = ("M 68 188 C 78 122 150 52 222 34 C 204 106 134 176 68 188 Z" if detailed else
            "M 64 192 C 64 110 150 40 224 32 C 216 106 146 192 64 192 Z")
    shaft_path = "M 222 34 L 44 212" if detailed else "M 72 184 L 44 212"
    extras = ""
    if detailed:
        extras = f'''    <path d="{barbs()}"
          fill="none" stroke="#c9b58a" stroke-width="3" stroke-linecap="round"/>
'''
    ink_line = ""
    if detailed:
        ink_line = f'''  <path d="M 30 226 C 60 214 70 236 98 224 S 136 214 150 222" fill="none" stroke="{INK}"
        stroke-width="9" stroke-linecap="round"/>
'''
    return f'''<?xml version="1.0" encoding="UTF-8"?>
<!-- SPDX-FileCopyrightText: The Quillane developers -->
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!-- Quillane's program icon: a quill over a mosaic of coloured tiles. -->
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <clipPath id="card">
      <rect x="8" y="8" width="240" height="240" rx="44"/>
    </clipPath>
    <linearGradient id="vane" x1="0" y1="1" x2="1" y2="0">
      <stop offset="0" stop-color="#fffaf0"/>
      <stop offset="1" stop-color="#efe0bd"/>
    </linearGradient>
  </defs>
  <g clip-path="url(#card)">
    <rect x="8" y="8" width="240" height="240" fill="{INK}"/>
{tiles(4 if detailed else 0)}
  </g>
  <rect x="10" y="10" width="236" height="236" rx="42" fill="none" stroke="{INK}" stroke-width="{4 if detailed else 10}"/>
{ink_line}  <g stroke="{INK}" stroke-linejoin="round">
    <path d="{vane}" fill="url(#vane)"
          stroke-width="{outline}"/>
{extras}    <path d="{shaft_path}" fill="none" stroke-width="{shaft}" stroke-linecap="round"/>
  </g>
  <path d="M 44 212 L 28 230 L 36 206 Z" fill="{INK}" stroke="{INK}" stroke-width="{2 if detailed else 8}"
        stroke-linejoin="round"/>
</svg>
'''


def main():
    (HERE / "quillane.svg").write_text(icon(True))
    small = HERE / "quillane-small.svg"
    small.write_text(icon(False))
    for size in (16, 32, 48, 64, 128, 256):
        source = small if size <= 32 else HERE / "quillane.svg"
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), str(source), "-o",
                        str(HERE / f"quillane-{size}.png")], check=True)


if __name__ == "__main__":
    main()
