#!/usr/bin/env python3
"""Draws the default smiley pack: twenty animated faces of 19 x 19 pixels, written in the text form of
giflib's gifbuild (Debian's giflib-tools) and turned into GIFs by it, and the pack's "_define.ini" in
code page 1251 with each face's text codes.

    draw_smilies.py [pack folder] [gifbuild]

Faces that change a little (blinking, a moving mouth) keep their first frame and draw only the
changed rectangle over it (disposal 1); faces that move are drawn whole each frame over a cleared
background (disposal 2). Outside the face every frame is transparent (index 0). The outputs are
committed; run this again after changing a face."""

import math
import os
import subprocess
import sys

SIZE = 19
CENTRE = 9

# The pack's one table. Index 0 is never drawn: it is the transparent index of every frame.
PALETTE = [
    (255, 0, 255),    # 0 transparent
    (96, 60, 0),      # 1 outline
    (255, 214, 40),   # 2 face
    (236, 170, 20),   # 3 face shade
    (0, 0, 0),        # 4 eyes
    (255, 255, 255),  # 5 white
    (214, 30, 30),    # 6 mouth
    (255, 120, 150),  # 7 pink
    (70, 150, 255),   # 8 tear
    (150, 0, 0),      # 9 dark red
    (120, 200, 60),   # 10 sick green
    (255, 120, 0),    # 11 angry orange
    (70, 70, 80),     # 12 glasses
    (200, 230, 255),  # 13 glint
    (150, 50, 200),   # 14 devil
    (255, 240, 110),  # 15 halo
]
T, OUTLINE, FACE, SHADE, EYE, WHITE, MOUTH, PINK, TEAR, DARK, SICK, ANGRY, GLASSES, GLINT, DEVIL, HALO = range(16)


def blank():
    return [[T] * SIZE for _ in range(SIZE)]


def put(img, x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = colour


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            put(img, x, y, colour)


def face(colour=FACE, dy=0, radius=8.6, cy=CENTRE):
    img = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - CENTRE, y - (cy + dy))
            if d <= radius - 1:
                shaded = colour == FACE and (x - CENTRE) + (y - cy - dy) > 8
                img[y][x] = SHADE if shaded else colour
            elif d <= radius:
                img[y][x] = OUTLINE
    return img


def eyes(img, dy=0, closed=(False, False), colour=EYE):
    for i, x in enumerate((6, 11)):
        if closed[i]:
            rect(img, x - 1, 7 + dy, x + 2, 7 + dy, OUTLINE)
        else:
            rect(img, x, 5 + dy, x + 1, 7 + dy, colour)


def arc(img, y_mid, y_end, dy=0, colour=MOUTH, x0=5, x1=13, thick=1):
    """A mouth from (x0, y_end) through (centre, y_mid) to (x1, y_end)."""
    half = (x1 - x0) / 2
    for x in range(x0, x1 + 1):
        t = (x - CENTRE) / half
        y = round(y_mid + (y_end - y_mid) * t * t) + dy
        for k in range(thick):
            put(img, x, y + k, colour)


def smile(img, dy=0):
    arc(img, 13, 11, dy)


def frown(img, dy=0):
    arc(img, 12, 14, dy)


def line_mouth(img, dy=0, x0=6, x1=12, y=13):
    rect(img, x0, y + dy, x1, y + dy, MOUTH)


def open_mouth(img, w, h, dy=0, y=12):
    rect(img, CENTRE - w, y + dy, CENTRE + w, y + h - 1 + dy, DARK)
    rect(img, CENTRE - w + 1, y + h - 1 + dy, CENTRE + w - 1, y + h - 1 + dy, MOUTH)


def heart(img, x, y):
    for dx, dy in [(0, 0), (2, 0), (-1, 1), (0, 1), (1, 1), (2, 1), (3, 1), (0, 2), (1, 2), (2, 2), (1, 3)]:
        put(img, x + dx, y + dy, PINK)


def letter_z(img, x, y):
    rect(img, x, y, x + 2, y, OUTLINE)
    put(img, x + 1, y + 1, OUTLINE)
    rect(img, x, y + 2, x + 2, y + 2, OUTLINE)


def base(mouth=smile, colour=FACE, dy=0, closed=(False, False), eye=EYE):
    img = face(colour, dy)
    eyes(img, dy, closed, eye)
    mouth(img, dy)
    return img


def copy(img):
    return [row[:] for row in img]


# Each face: file name, codes, style ("patch": later frames drawn over the first; "whole": every
# frame drawn alone), frames as (picture, delay in hundredths of a second), and whether it is
# stored interlaced.
def faces():
    out = []

    smile_face = base()
    out.append(("01_smile", [":-)", ":)", "=)"], "patch",
                [(smile_face, 250), (base(closed=(True, True)), 15)], False))

    out.append(("02_wink", [";-)", ";)"], "patch", [(smile_face, 200), (base(closed=(False, True)), 45)], False))

    sad = base(frown)
    trembling = face()
    eyes(trembling)
    arc(trembling, 13, 14)
    out.append(("03_sad", [":-(", ":("], "patch", [(sad, 120), (trembling, 25)], False))

    grins = []
    for w, h in [(3, 2), (4, 3), (5, 3)]:
        img = face()
        eyes(img)
        open_mouth(img, w, h, y=11)
        grins.append(img)
    out.append(("04_grin", [":-D", ":D"], "patch", [(grins[0], 100), (grins[1], 40), (grins[2], 60)], False))

    tongue_in = base()
    tongue_out = copy(tongue_in)
    rect(tongue_out, 9, 13, 11, 15, PINK)
    tongue_half = copy(tongue_in)
    rect(tongue_half, 9, 13, 11, 14, PINK)
    out.append(("05_tongue", [":-P", ":P", ":-p"], "patch",
                [(tongue_in, 120), (tongue_half, 20), (tongue_out, 60), (tongue_half, 20)], False))

    small_o, big_o = face(), face()
    eyes(small_o)
    eyes(big_o)
    rect(small_o, 8, 12, 10, 14, DARK)
    rect(big_o, 7, 11, 11, 15, DARK)
    out.append(("06_surprised", [":-O", ":O", "=-O"], "patch", [(small_o, 90), (big_o, 90)], False))

    cool = face()
    rect(cool, 3, 5, 15, 5, GLASSES)
    rect(cool, 4, 6, 8, 8, GLASSES)
    rect(cool, 10, 6, 14, 8, GLASSES)
    smile(cool)
    glints = []
    for x in (4, 6, 8):
        img = copy(cool)
        put(img, x, 6, GLINT)
        put(img, x + 6, 6, GLINT)
        glints.append(img)
    out.append(("07_cool", ["8-)", "B-)"], "patch",
                [(cool, 200), (glints[0], 8), (glints[1], 8), (glints[2], 8)], True))

    crying = []
    for y in (8, 10, 12, 14, 16):
        img = base(frown)
        rect(img, 12, y, 12, y + 1, TEAR)
        crying.append((img, 15))
    out.append(("08_crying", [":'(", ";-("], "whole", crying, False))

    kiss = face()
    eyes(kiss, closed=(True, True))
    rect(kiss, 8, 12, 10, 13, MOUTH)
    kiss_heart = copy(kiss)
    heart(kiss_heart, 13, 1)
    out.append(("09_kiss", [":-*", ":*"], "patch", [(kiss, 120), (kiss_heart, 60)], False))

    neutral = face()
    eyes(neutral)
    line_mouth(neutral)
    blink = face()
    eyes(blink, closed=(True, True))
    line_mouth(blink)
    out.append(("10_neutral", [":-|", ":|"], "patch", [(neutral, 300), (blink, 15)], False))

    confused = []
    for shift in (0, 1, 0, -1):
        img = face()
        eyes(img)
        for x in range(6, 13):
            put(img, x, 13 - (x - 6) // 3 + shift, MOUTH)
        confused.append((img, 30))
    out.append(("11_confused", [":-/", ":-\\"], "whole", confused, False))

    angel = []
    for lift in (0, 1, 2, 1):
        img = face(radius=7.6, cy=10)
        eyes(img, dy=1)
        arc(img, 14, 12)
        rect(img, 5, 1 - lift + 1, 13, 1 - lift + 1, HALO)
        angel.append((img, 20))
    out.append(("12_angel", ["O:-)", "0:-)"], "whole", angel, False))

    angry = []
    for colour in (FACE, ANGRY):
        img = base(frown, colour=colour)
        rect(img, 5, 4, 7, 4, OUTLINE)
        rect(img, 11, 4, 13, 4, OUTLINE)
        angry.append((img, 35))
    out.append(("13_angry", [">:(", ":-@"], "whole", angry, False))

    shy = base(lambda img, dy=0: line_mouth(img, x0=7, x1=11))
    blush = copy(shy)
    rect(blush, 3, 10, 5, 11, PINK)
    rect(blush, 13, 10, 15, 11, PINK)
    out.append(("14_embarrassed", [":-[", ":["], "patch", [(shy, 100), (blush, 100)], False))

    laughing = []
    for dy in (0, -1, -2, -2, -1, 0):
        img = face(dy=dy, radius=7.6, cy=10)
        eyes(img, dy + 1, closed=(True, True))
        open_mouth(img, 4, 3, dy=dy, y=12)
        laughing.append((img, 8))
    out.append(("15_laughing", ["*LOL*", ":))"], "whole", laughing, False))

    sick = []
    for colour in (SICK, FACE, SICK):
        img = base(lambda img, dy=0: arc(img, 13, 13), colour=colour)
        sick.append((img, 40))
    out.append(("16_sick", [":-!", "*SICK*"], "whole", sick, False))

    devil = base(colour=DEVIL)
    for x, y in [(3, 0), (4, 1), (15, 0), (14, 1)]:
        put(devil, x, y, DEVIL)
    glow = base(colour=DEVIL, eye=ANGRY)
    for x, y in [(3, 0), (4, 1), (15, 0), (14, 1)]:
        put(glow, x, y, DEVIL)
    out.append(("17_devil", ["]:->", ">:)"], "patch", [(devil, 150), (glow, 30)], False))

    sleeping = []
    for step in range(3):
        img = base(lambda img, dy=0: line_mouth(img, x0=8, x1=10), closed=(True, True))
        letter_z(img, 15, 4 - 2 * step)
        sleeping.append((img, 50))
    out.append(("18_sleeping", ["*SLEEP*", "|-)"], "whole", sleeping, False))

    waving = []
    for x in (15, 16, 15, 14):
        img = base()
        rect(img, x, 9, x + 2, 12, SHADE)
        put(img, x + 1, 8, SHADE)
        waving.append((img, 20))
    out.append(("19_hello", ["*HI*", "*\u041f\u0420\u0418\u0412\u0415\u0422*"], "whole", waving, False))

    dizzy = []
    for dx, dy in [(0, 0), (1, 0), (1, 1), (0, 1)]:
        img = face()
        for ex in (6, 11):
            rect(img, ex + dx, 5 + dy, ex + dx, 6 + dy, EYE)
        arc(img, 12, 13)
        dizzy.append(img)
    out.append(("20_dizzy", [":-S", ":S"], "patch", [(d, 25) for d in dizzy], False))
    return out


def bounding_box(a, b):
    xs = [x for y in range(SIZE) for x in range(SIZE) if a[y][x] != b[y][x]]
    ys = [y for y in range(SIZE) for x in range(SIZE) if a[y][x] != b[y][x]]
    return (min(xs), min(ys), max(xs), max(ys)) if xs else (CENTRE, CENTRE, CENTRE, CENTRE)


def gifbuild_text(style, frames, interlaced):
    lines = ["screen width %d" % SIZE, "screen height %d" % SIZE, "screen colors 16", "screen map"]
    lines += ["\trgb %d %d %d" % c for c in PALETTE] + ["end"]
    previous = None
    for picture, delay in frames:
        if style == "patch" and previous is not None:
            x0, y0, x1, y1 = bounding_box(previous, picture)
            for y in range(y0, y1 + 1):
                for x in range(x0, x1 + 1):
                    # Drawn over the frame before: a pixel may not turn transparent.
                    assert picture[y][x] != T or previous[y][x] == T
            disposal = 1
        else:
            x0, y0, x1, y1 = 0, 0, SIZE - 1, SIZE - 1
            disposal = 1 if style == "patch" else 2
        lines += ["graphics control", "\tdisposal mode %d" % disposal, "\tdelay %d" % delay,
                  "\ttransparent index %d" % T, "end"]
        lines += ["image", "image left %d" % x0, "image top %d" % y0]
        if interlaced:
            lines.append("image interlaced")
        lines.append("image bits %d by %d hex" % (x1 - x0 + 1, y1 - y0 + 1))
        lines += ["".join("%02x" % picture[y][x] for x in range(x0, x1 + 1)) for y in range(y0, y1 + 1)]
        previous = picture
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "ZEL PDA smilies")
    gifbuild = sys.argv[2] if len(sys.argv) > 2 else "gifbuild"
    os.makedirs(folder, exist_ok=True)
    definition = []
    for name, codes, style, frames, interlaced in faces():
        gif = subprocess.run([gifbuild], input=gifbuild_text(style, frames, interlaced).encode(), check=True,
                             stdout=subprocess.PIPE).stdout
        with open(os.path.join(folder, name + ".gif"), "wb") as out:
            out.write(gif)
        for code in codes:
            assert 0 < len(code.encode("cp1251")) <= 19 and "," not in code
        definition.append(",".join(codes))
    with open(os.path.join(folder, "_define.ini"), "wb") as out:
        out.write("\r\n".join(definition).encode("cp1251") + b"\r\n")


if __name__ == "__main__":
    main()
