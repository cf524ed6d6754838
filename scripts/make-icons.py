#!/usr/bin/env python3
"""Draws the program's numbered icon set as small SVG files under resources/images.

Every icon is the same rounded tile in a colour of its group with a white symbol on it, so the set
reads as one family in the menus, the status bar, the windows' buttons and the notification area.
It also paints the About window's 320 x 80 banner (image 18) with ImageMagick's convert, writes
resources/quillbox.qrc listing every file under resources/images, and renders the program icon
(image 46) into the desktop's icon theme sizes under resources/hicolor for installing.
"""
import os
import shutil
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources", "images")

STROKE = 'fill="none" stroke="#fff" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"'
FILL = 'fill="#fff"'

SYMBOLS = {
    # Files
    1: ("#8e3b46", f'<path {STROKE} d="M9 4H5v8h4M8 8h5M11 6l2 2-2 2"/>'),
    2: ("#8e3b46", f'<circle {STROKE} cx="6" cy="8" r="2.3"/><path {STROKE} d="M8.3 8H13M11.5 8v2M13 8v1.5"/>'),
    3: ("#8e3b46", f'<rect {FILL} x="4.5" y="7.5" width="7" height="5" rx="1"/><path {STROKE} d="M6 7.5V6a2 2 0 0 1 4 0v1.5"/>'),
    # Site tools
    4: ("#2f6f4f", f'<path {STROKE} d="M8 4v8M4 8h8"/>'),
    5: ("#2f6f4f", f'<rect {STROKE} x="4" y="5.5" width="5.5" height="6.5" rx=".8"/><path {STROKE} d="M6.5 5.5V4h5.5v6.5h-2.5"/>'),
    6: ("#2f6f4f", f'<circle {FILL} cx="6" cy="6" r="2"/><path {FILL} d="M2.8 12.5a3.2 3.2 0 0 1 6.4 0z"/><path {STROKE} d="M10 8h3.5M12 6.5 13.5 8 12 9.5"/>'),
    7: ("#2f6f4f", f'<path {STROKE} d="M5 5l6 6M11 5l-6 6"/>'),
    8: ("#2f6f4f", f'<path {STROKE} d="M4.5 11.5l.5-2 5.5-5.5 1.5 1.5L6.5 11z"/>'),
    9: ("#2f6f4f", f'<rect {STROKE} x="3.5" y="7" width="9" height="4" rx=".8"/><path {STROKE} d="M5.5 7V4h5v3M5.5 10h5v2.5h-5z"/>'),
    10: ("#2f6f4f", f'<path {STROKE} d="M3.5 8 8 4l4.5 4M5 7v5h6V7"/>'),
    11: ("#2f6f4f", f'<path {STROKE} d="M3.5 6 5 7.5 7.5 4.5M3.5 11 5 12.5 7.5 9.5M9.5 6h3M9.5 11h3"/>'),
    # Import and export
    12: ("#2d5a8e", f'<path {STROKE} d="M8 3.5v6M5.5 7 8 9.5 10.5 7M4 10.5v2h8v-2"/>'),
    13: ("#2d5a8e", f'<path {STROKE} d="M8 9.5v-6M5.5 6 8 3.5 10.5 6M4 10.5v2h8v-2"/>'),
    # Miscellaneous and help
    14: ("#7a5c1e", f'<path {STROKE} d="M11.5 8A3.5 3.5 0 1 1 10 5.2M10.5 3.5 10 5.2l1.8.4"/>'),
    15: ("#5b4a8a", f'<circle {FILL} cx="8" cy="4.8" r="1.1"/><path {STROKE} d="M8 7.3v4.7"/>'),
    16: ("#5b4a8a", f'<rect {STROKE} x="3" y="5.5" width="10" height="6" rx="1"/><path {STROKE} d="M5 7.5h.1M7 7.5h.1M9 7.5h.1M11 7.5h.1M6 9.5h4"/>'),
    17: ("#5b4a8a", f'<path {STROKE} d="M6 6.2a2 2 0 1 1 2.8 1.8c-.6.3-.8.7-.8 1.3v.4"/><circle {FILL} cx="8" cy="12" r=".9"/>'),
    # Print window: print, preview, exit
    19: ("#2f6f4f", f'<rect {STROKE} x="3.5" y="7" width="9" height="4" rx=".8"/><path {STROKE} d="M5.5 7V4h5v3M5.5 10h5v2.5h-5z"/>'),
    20: ("#2f6f4f", f'<path {STROKE} d="M4 12.5V3.5h5l2 2v2"/><circle {STROKE} cx="9.5" cy="10" r="2"/><path {STROKE} d="M11 11.5l1.8 1.8"/>'),
    21: ("#8e3b46", f'<path {STROKE} d="M9 4H5v8h4M8 8h5M11 6l2 2-2 2"/>'),
    # Data form: the label-edit buttons (25 to 37 share one drawing), save, spare, clear, help, exit
    **{n: ("#2a6f7a", f'<path {STROKE} d="M3.5 4.5h6M6.5 4.5v7.5M11.5 8v5M10.3 8h2.4M10.3 13h2.4"/>') for n in range(25, 38)},
    38: ("#2a6f7a", f'<path {STROKE} d="M3.5 3.5h7l2 2v7h-9z"/><path {STROKE} d="M5.5 3.5v3h4.5v-3M5.5 12.5v-3.5h5v3.5"/>'),
    39: ("#2a6f7a", f'<path {STROKE} d="M4.5 3.5h5l2 2v7h-7zM6.5 8h3M6.5 10.5h3"/>'),
    40: ("#2a6f7a", f'<path {STROKE} d="M3.5 10.5 8.5 5.5l3.5 3.5-3.5 3.5h-3.5zM6.5 7.5 10 11M8.5 12.5h4"/>'),
    41: ("#5b4a8a", f'<path {STROKE} d="M6 6.2a2 2 0 1 1 2.8 1.8c-.6.3-.8.7-.8 1.3v.4"/><circle {FILL} cx="8" cy="12" r=".9"/>'),
    42: ("#8e3b46", f'<path {STROKE} d="M9 4H5v8h4M8 8h5M11 6l2 2-2 2"/>'),
    # Shortcut editor buttons: save, the keyboard (no action), close
    22: ("#2f6f4f", f'<path {STROKE} d="M4 8.5 6.8 11.3 12 5"/>'),
    23: ("#4d6b7a", f'<rect {STROKE} x="2.8" y="5" width="10.4" height="6.5" rx="1"/><path {STROKE} d="M5 7.2h.1M7 7.2h.1M9 7.2h.1M11 7.2h.1M5.5 9.4h5"/>'),
    24: ("#8e3b46", f'<path {STROKE} d="M5.2 5.2l5.6 5.6M10.8 5.2l-5.6 5.6"/>'),
    # Status bar and the program itself
    44: ("#4d6b7a", f'<circle {FILL} cx="8" cy="8" r="2.5"/>'),
    45: ("#4d6b7a", f'<path {STROKE} d="M4.5 5.5h7M4.5 8h7M4.5 10.5h7"/>'),
    46: ("#3d4f8c", f'<path {FILL} d="M12.8 3.2c-4 .4-6.6 3-7.6 7.2l1.3.3c.3-1 .7-1.9 1.2-2.6h2.1L8.7 7.4l2.2-.6c1-1 1.6-2.2 1.9-3.6z"/><path {STROKE} d="M4.5 12.8 6 9.5"/>'),
}

TEMPLATE = """<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">
<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{colour}"/></linearGradient></defs>
<rect x=".5" y=".5" width="15" height="15" rx="3" fill="url(#g)" stroke="#222" stroke-opacity=".45"/>
{symbol}
</svg>
"""


def lighten(colour, amount=0.35):
    r, g, b = (int(colour[i:i + 2], 16) for i in (1, 3, 5))
    r, g, b = (int(c + (255 - c) * amount) for c in (r, g, b))
    return f"#{r:02x}{g:02x}{b:02x}"


BANNER_FONT = "/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf"
BANNER_SMALL_FONT = "/usr/share/fonts/opentype/comic-neue/ComicNeue-Regular.otf"
# The program icon's quill (image 46), drawn four times larger in white.
QUILL = "M12.8 3.2c-4 .4-6.6 3-7.6 7.2l1.3.3c.3-1 .7-1.9 1.2-2.6h2.1L8.7 7.4l2.2-.6c1-1 1.6-2.2 1.9-3.6z"


def make_banner():
    """Image 18: the program's name on a tile-coloured band, with the quill of the program icon."""
    target = os.path.join(OUT, "18.png")
    if not shutil.which("convert"):
        print("convert not found: the banner is left as it is")
        return
    subprocess.run([
        "convert", "-size", "320x80", "gradient:#7d8fc4-#2b3a6e",
        "-fill", "#ffffff22", "-stroke", "none", "-draw", "roundrectangle 8,8 72,72 12,12",
        "-fill", "none", "-stroke", "#ffffff66", "-strokewidth", "1.5",
        "-draw", "roundrectangle 8,8 72,72 12,12",
        "-stroke", "none", "-fill", "white",
        "-draw", f"translate 8,6 scale 4,4 path '{QUILL}'",
        "-stroke", "white", "-strokewidth", "6", "-fill", "none",
        "-draw", "line 26,57 32,44",
        "-stroke", "none", "-fill", "#1b2550", "-font", BANNER_FONT, "-pointsize", "34",
        "-annotate", "+89+43", "Quillbox",
        "-fill", "white", "-annotate", "+87+41", "Quillbox",
        "-fill", "#ffd86b", "-pointsize", "18", "-annotate", "+238+41", "v2.00",
        "-fill", "#e8ecf8", "-font", BANNER_SMALL_FONT, "-pointsize", "13",
        "-annotate", "+88+64", "sites, log-ins and notes, kept close",
        "-depth", "8", "-strip", "-define", "png:exclude-chunks=date,time",
        target,
    ], check=True)


APP_ID = "net.vennholt.Quillbox"
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def make_hicolor():
    """The program icon as desktops look it up: the SVG itself, and PNGs for desktops that want them."""
    source = os.path.join(OUT, "46.svg")
    base = os.path.join(HERE, "..", "resources", "hicolor")
    os.makedirs(os.path.join(base, "scalable", "apps"), exist_ok=True)
    shutil.copyfile(source, os.path.join(base, "scalable", "apps", f"{APP_ID}.svg"))
    if not shutil.which("convert"):
        print("convert not found: the PNG icons are left as they are")
        return
    # ImageMagick's own SVG reader paints gradients black: the PNGs get the tile's flat colour.
    with open(source) as f:
        flat = (f.read().replace('fill="url(#g)"', f'fill="{SYMBOLS[46][0]}"')
                .replace('stroke="#222" stroke-opacity=".45"', 'stroke="#2a3561"')
                .replace('fill="#fff"', 'fill="#fff" stroke="none"'))
    flat_source = os.path.join(base, "flat.svg")
    with open(flat_source, "w") as f:
        f.write(flat)
    for size in HICOLOR_SIZES:
        folder = os.path.join(base, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        # Rendered at the size itself, not scaled from a bitmap, so the edges stay sharp.
        subprocess.run([
            "convert", "-background", "none", "-density", str(72 * size / 16), flat_source,
            "-resize", f"{size}x{size}!", "-depth", "8", "-strip",
            "-define", "png:exclude-chunks=date,time", os.path.join(folder, f"{APP_ID}.png"),
        ], check=True)
    os.remove(flat_source)


def write_qrc():
    files = sorted(name for name in os.listdir(OUT) if not name.startswith("."))
    lines = ['<!DOCTYPE RCC><RCC version="1.0">', '<qresource prefix="/images">']
    lines += [f'    <file alias="{name}">images/{name}</file>' for name in files]
    lines += ["</qresource>", "</RCC>", ""]
    with open(os.path.join(OUT, "..", "quillbox.qrc"), "w") as f:
        f.write("\n".join(lines))


def main():
    os.makedirs(OUT, exist_ok=True)
    for number, (colour, symbol) in SYMBOLS.items():
        with open(os.path.join(OUT, f"{number}.svg"), "w") as f:
            f.write(TEMPLATE.format(colour=colour, light=lighten(colour), symbol=symbol))
    make_banner()
    make_hicolor()
    write_qrc()


if __name__ == "__main__":
    main()
