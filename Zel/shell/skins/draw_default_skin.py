#!/usr/bin/env python3
"""Draws the default skin "ZEL PDA skin": every picture the program and its plug-ins ask for, as
16-pixel pictures made of simple shapes (status pictures are coloured shapes, one colour per status
and one shape per network), the tiled background, the colour scheme file, and the program's icon.

Standard library only: shapes are rasterised here (4x4 samples per pixel), PNG files are written
with zlib. Run it from anywhere; it writes next to itself:
    python3 draw_default_skin.py
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "ZEL PDA skin")
ICON = os.path.join(HERE, "..", "Zel.ico")
SIZE = 16
SAMPLES = 4

# ---- Pictures: RGBA float canvases and shapes by coverage ----


class Canvas:
    def __init__(self, width=SIZE, height=SIZE):
        self.width, self.height = width, height
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = colour[0] / 255, colour[1] / 255, colour[2] / 255, (colour[3] if len(colour) > 3 else 255) / 255
        a *= coverage
        dr, dg, db, da = self.pixels[y][x]
        out = a + da * (1 - a)
        if out <= 0:
            return
        mix = lambda s, d: (s * a + d * da * (1 - a)) / out
        self.pixels[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), out)

    def fill(self, inside, colour):
        """Paints colour wherever inside(x, y) holds, x and y in pixel units."""
        for y in range(self.height):
            for x in range(self.width):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                            hits += 1
                self.blend(x, y, colour, hits / (SAMPLES * SAMPLES))

    def png(self):
        rows = b""
        for row in self.pixels:
            rows += b"\0" + bytes(
                int(round(channel * 255)) for pixel in row for channel in pixel)
        return png_bytes(self.width, self.height, rows)


def png_bytes(width, height, filtered_rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(filtered_rows, 9)) + chunk(b"IEND", b""))


def scaled(canvas_size, shape):
    """A shape drawn for a 16-pixel canvas, on a canvas of another size."""
    k = canvas_size / SIZE
    return lambda x, y: shape(x / k, y / k)


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    return lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        for i in range(len(points)):
            (ax, ay), (bx, by) = points[i], points[i - 1]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                result = not result
        return result
    return inside


def line(ax, ay, bx, by, width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= (width / 2) ** 2
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# A 3x5 pixel font for the letters on badges.
FONT = {
    "A": "010101111101101", "B": "110101110101110", "C": "011100100100011", "D": "110101101101110",
    "E": "111100110100111", "F": "111100110100100", "G": "011100101101011", "H": "101101111101101",
    "I": "111010010010111", "J": "001001001101010", "K": "101101110101101", "L": "100100100100111",
    "M": "101111111101101", "N": "110101101101101", "O": "010101101101010", "P": "110101110100100",
    "Q": "010101101110011", "R": "110101110101101", "S": "011100010001110", "T": "111010010010010",
    "U": "101101101101111", "V": "101101101101010", "W": "101101111111101", "X": "101101010101101",
    "Y": "101101010010010", "Z": "111001010100111", "?": "110001010000010", "!": "010010010000010",
    "+": "000010111010000", "@": "010101111100011", "1": "010110010010111", "2": "110001010100111",
    "3": "110001010001110", "4": "101101111001001", "5": "111100110001110",
}


def text(canvas, letters, colour, top=None):
    """Letters of the 3x5 font, centred, one pixel apart."""
    width = 4 * len(letters) - 1
    left = (canvas.width - width) // 2
    top = (canvas.height - 5) // 2 if top is None else top
    for i, letter in enumerate(letters):
        bits = FONT[letter]
        for row in range(5):
            for column in range(3):
                if bits[row * 3 + column] == "1":
                    canvas.blend(left + 4 * i + column, top + row, colour, 1.0)


WHITE = (255, 255, 255)
DARK = (40, 40, 40)
SHADOW = (0, 0, 0, 70)

# ---- Status pictures: one colour per status, one base shape per network ----

STATUS_COLOURS = {
    "online": (46, 173, 60), "offline": (150, 150, 150), "connect": (242, 193, 46), "away": (242, 140, 40),
    "na": (217, 83, 79), "occupied": (198, 40, 40), "dnd": (142, 0, 0), "freeforchat": (0, 200, 83),
    "invis": (120, 144, 156), "ifa": (84, 110, 122), "evil": (142, 36, 170), "depression": (30, 136, 229),
    "athome": (67, 160, 71), "atwork": (109, 76, 65), "lunch": (251, 140, 0), "notinlist": (117, 117, 117),
}

BASES = {
    "circle": lambda: disc(8, 8, 7),
    "square": lambda: rounded(1, 1, 15, 15, 3),
    "triangle": lambda: polygon([(8, 0.5), (15.5, 15), (0.5, 15)]),
    "diamond": lambda: polygon([(8, 0.3), (15.7, 8), (8, 15.7), (0.3, 8)]),
    "hexagon": lambda: polygon([(4, 1), (12, 1), (15.5, 8), (12, 15), (4, 15), (0.5, 8)]),
}


def status_picture(status, base="circle", letter=None):
    c = Canvas()
    colour = STATUS_COLOURS[status]
    shape = BASES[base]()
    if status in ("invis", "ifa"):
        # Hollow: the outline only, so invisibility reads as such.
        c.fill(minus(shape, lambda x, y: shape(8 + (x - 8) * 1.45, 8 + (y - 8) * 1.45)), colour)
        if status == "ifa":
            c.fill(line(3, 13, 13, 3, 2), colour)
        else:
            c.fill(disc(8, 8, 1.6), colour)
        return c
    c.fill(shape, colour)
    c.fill(lambda x, y: shape(x - 0.0, y) and not shape(x + 0.9, y + 0.9), SHADOW)
    glyphs = {
        "online": lambda: c.fill(disc(6, 6, 1.8), (255, 255, 255, 170)),
        "offline": lambda: c.fill(ring(8, 8, 4, 1.5), WHITE),
        "connect": lambda: [c.fill(disc(x, 8, 1.3), WHITE) for x in (4.5, 8, 11.5)],
        "away": lambda: c.fill(union(line(8, 8, 8, 3.5, 1.6), line(8, 8, 11.5, 8, 1.6)), WHITE),
        "na": lambda: c.fill(union(line(5, 5, 11, 11, 1.8), line(11, 5, 5, 11, 1.8)), WHITE),
        "occupied": lambda: c.fill(rect(3.5, 6.5, 12.5, 9.5), WHITE),
        "dnd": lambda: c.fill(union(rect(3.5, 7, 12.5, 9), ring(8, 8, 6, 1)), WHITE),
        "freeforchat": lambda: c.fill(union(rect(7, 3.5, 9, 12.5), rect(3.5, 7, 12.5, 9)), WHITE),
        "evil": lambda: c.fill(union(polygon([(4, 5), (6.5, 6.5), (4.5, 8)]), polygon([(12, 5), (9.5, 6.5), (11.5, 8)]),
                                     line(5, 11.5, 11, 11.5, 1.4)), WHITE),
        "depression": lambda: c.fill(union(disc(5.8, 6.5, 1.1), disc(10.2, 6.5, 1.1),
                                           lambda x, y: 2.2 ** 2 <= (x - 8) ** 2 + (y - 13.5) ** 2 <= 3.4 ** 2 and y < 11.8),
                                     WHITE),
        "athome": lambda: c.fill(polygon([(8, 3), (13, 8), (11.5, 8), (11.5, 12.5), (4.5, 12.5), (4.5, 8), (3, 8)]), WHITE),
        "atwork": lambda: c.fill(union(rect(3.5, 6.5, 12.5, 12), minus(rect(6, 4, 10, 7), rect(7, 5, 9, 7))), WHITE),
        "lunch": lambda: c.fill(union(rect(4, 5, 10, 11.5), ring(10.5, 8, 2.5, 1.2)), WHITE),
        "notinlist": lambda: text(c, "?", WHITE),
    }
    if letter:
        text(c, letter, WHITE)
    else:
        glyphs[status]()
    return c


def badge(letters, colour, shape="square"):
    """A coloured badge with up to three letters: the pictures that name an action or a mood."""
    c = Canvas()
    base = BASES[shape]()
    c.fill(base, colour)
    c.fill(lambda x, y: base(x, y) and not base(x + 0.9, y + 0.9), SHADOW)
    text(c, letters, WHITE)
    return c


def picture(*layers):
    c = Canvas()
    for shape, colour in layers:
        c.fill(shape, colour)
    return c


BLUE = (40, 100, 190)
GREEN = (46, 150, 60)
RED = (200, 40, 40)
GREY = (110, 110, 110)
GOLD = (220, 160, 30)
PAPER = (250, 250, 245)


def envelope(colour, flap=DARK):
    return picture((rect(1.5, 3.5, 14.5, 12.5), colour),
                   (union(line(2, 4, 8, 9, 1.2), line(14, 4, 8, 9, 1.2)), flap),
                   (minus(rect(1.5, 3.5, 14.5, 12.5), rect(2.5, 4.5, 13.5, 11.5)), flap))


def folder(mark=None, mark_colour=WHITE):
    c = picture((polygon([(1, 4), (6, 4), (7.5, 5.5), (15, 5.5), (15, 13.5), (1, 13.5)]), GOLD),
                (rect(1, 6.5, 15, 13.5), (240, 190, 60)))
    if mark:
        c.fill(mark, mark_colour)
    return c


def page(mark=None, mark_colour=DARK):
    c = picture((polygon([(3, 1), (10, 1), (13, 4), (13, 15), (3, 15)]), PAPER),
                (minus(polygon([(3, 1), (10, 1), (13, 4), (13, 15), (3, 15)]),
                       polygon([(4, 2), (9.5, 2), (12, 4.5), (12, 14), (4, 14)])), GREY))
    if mark:
        c.fill(mark, mark_colour)
    return c


def arrow(direction, colour=BLUE):
    points = {
        "left": [(2, 8), (9, 2), (9, 5.5), (14, 5.5), (14, 10.5), (9, 10.5), (9, 14)],
        "right": [(14, 8), (7, 2), (7, 5.5), (2, 5.5), (2, 10.5), (7, 10.5), (7, 14)],
        "up": [(8, 2), (14, 9), (10.5, 9), (10.5, 14), (5.5, 14), (5.5, 9), (2, 9)],
        "down": [(8, 14), (14, 7), (10.5, 7), (10.5, 2), (5.5, 2), (5.5, 7), (2, 7)],
    }[direction]
    return picture((polygon(points), colour))


def triangle(direction, colour=DARK):
    points = {"right": [(5, 3), (12, 8), (5, 13)], "down": [(3, 5), (13, 5), (8, 12)]}[direction]
    return picture((polygon(points), colour))


def person():
    return union(disc(8, 5, 3), lambda x, y: (x - 8) ** 2 / 36 + (y - 15) ** 2 / 36 <= 1 and y <= 15)


def cross(colour=RED):
    return picture((union(line(3.5, 3.5, 12.5, 12.5, 2.6), line(12.5, 3.5, 3.5, 12.5, 2.6)), colour))


def tick(colour=GREEN):
    return picture((union(line(2.5, 8.5, 6.5, 12.5, 2.6), line(6.5, 12.5, 13.5, 3.5, 2.6)), colour))


def gear(colour=GREY):
    teeth = union(*[rect(7, 0.8, 9, 15.2), rect(0.8, 7, 15.2, 9),
                    line(3, 3, 13, 13, 2.2), line(13, 3, 3, 13, 2.2)])
    return picture((minus(union(disc(8, 8, 5.2), teeth), disc(8, 8, 2)), colour))


def magnifier(colour=DARK):
    return picture((ring(6.5, 6.5, 5, 1.7), colour), (line(10, 10, 14.5, 14.5, 2.6), colour),
                   (disc(6.5, 6.5, 3.3), (200, 230, 255)))


def speaker(on):
    c = picture((polygon([(2, 6), (5, 6), (9, 2.5), (9, 13.5), (5, 10), (2, 10)]), DARK))
    if on:
        c.fill(lambda x, y: 4 ** 2 <= (x - 8) ** 2 + (y - 8) ** 2 <= 5.4 ** 2 and x > 10.3, BLUE)
    else:
        c.fill(union(line(10.5, 5.5, 14.5, 10.5, 1.6), line(14.5, 5.5, 10.5, 10.5, 1.6)), RED)
    return c


def smiley():
    return picture((disc(8, 8, 7), GOLD), (union(disc(5.7, 6, 1.2), disc(10.3, 6, 1.2)), DARK),
                   (lambda x, y: 2.6 ** 2 <= (x - 8) ** 2 + (y - 8) ** 2 <= 4 ** 2 and y > 9, DARK))


# ---- The pictures by name ----


def pictures():
    out = {}
    # The program's presence statuses.
    for name in ("athome", "atwork", "away", "connect", "depression", "dnd", "evil", "freeforchat", "ifa", "invis",
                 "lunch", "na", "occupied", "offline", "online"):
        out["zel_st%s.png" % name] = status_picture(name)

    # Contact list.
    out["zel_cl_close_all_groups.png"] = folder(rect(4, 9, 12, 11))
    out["zel_cl_open_all_groups.png"] = folder(union(rect(4, 9, 12, 11), rect(7, 6, 9, 14)))
    out["zel_cl_create_new_group.png"] = folder(union(rect(5, 9, 11, 10.8), rect(7.1, 7, 8.9, 12.8)), GREEN)
    out["zel_cl_delete_group.png"] = folder(union(line(5, 7.5, 11, 12.5, 1.8), line(11, 7.5, 5, 12.5, 1.8)), RED)
    out["zel_cl_rename_group.png"] = folder(line(4, 12.5, 12, 7, 1.8), BLUE)
    out["zel_cl_group_closed.png"] = triangle("right")
    out["zel_cl_group_opened.png"] = triangle("down")
    out["zel_cl_group_up.png"] = arrow("up")
    out["zel_cl_group_down.png"] = arrow("down")
    out["zel_cl_move_to_group.png"] = folder(polygon([(3, 8.5), (8, 8.5), (8, 6.5), (12, 9.8), (8, 13), (8, 11), (3, 11)]), BLUE)
    out["zel_cl_delete_contact.png"] = picture((person(), BLUE), (rect(9, 11, 15, 13), RED))
    out["zel_cl_rename_contact.png"] = picture((person(), BLUE), (line(9, 14.5, 15, 9, 1.6), GOLD))
    out["zel_cl_user_dets.png"] = picture((rounded(1, 3, 15, 13, 1.5), (220, 230, 245)), (disc(5, 7, 2), BLUE),
                                          (union(rect(9, 5.5, 13.5, 6.5), rect(9, 8, 13.5, 9), rect(3, 10.5, 13.5, 11.3)), DARK))
    out["zel_cl_msg_im.png"] = envelope((255, 240, 170))
    out["zel_cl_msg_im_out.png"] = envelope((200, 230, 255))
    out["zel_cl_msg_im_out_ack.png"] = envelope((200, 240, 200), GREEN)
    out["zel_cl_msg_im_offline.png"] = envelope((220, 220, 220), GREY)
    out["zel_cl_msg_send.png"] = picture((polygon([(1, 2), (15, 8), (1, 14), (3.5, 8)]), BLUE))
    out["zel_cl_root_closed.png"] = triangle("right", BLUE)
    out["zel_cl_root_opened.png"] = triangle("down", BLUE)
    out["zel_cl_history.png"] = picture((disc(8, 8, 7), (230, 230, 230)), (ring(8, 8, 7, 1.3), DARK),
                                        (union(line(8, 8, 8, 3.5, 1.5), line(8, 8, 11, 10, 1.5)), DARK))
    out["zel_cl_copy.png"] = picture((rect(1.5, 1.5, 9.5, 10.5), GREY), (rect(2.5, 2.5, 8.5, 9.5), PAPER),
                                     (rect(6.5, 5.5, 14.5, 14.5), GREY), (rect(7.5, 6.5, 13.5, 13.5), PAPER))
    out["zel_cl_account_settings.png"] = gear(BLUE)

    # Message window.
    out["zel_mw_background.png"] = background()
    out["zel_mw_quote.png"] = picture((union(disc(5, 6, 2.6), line(6.5, 7, 4, 12, 1.8),
                                             disc(11, 6, 2.6), line(12.5, 7, 10, 12, 1.8)), DARK))
    out["zel_mw_reply.png"] = picture((union(polygon([(1.5, 7), (7, 2.5), (7, 11.5)]),
                                             lambda x, y: 3.5 ** 2 <= (x - 7) ** 2 + (y - 13) ** 2 <= 6.5 ** 2 and x >= 7 and y <= 13), BLUE))
    out["zel_mw_cut.png"] = picture((union(ring(4.5, 11.5, 3, 1.3), ring(11.5, 11.5, 3, 1.3)), DARK),
                                    (union(line(6, 9, 11.5, 1.5, 1.4), line(10, 9, 4.5, 1.5, 1.4)), GREY))
    out["zel_mw_paste.png"] = picture((rounded(2, 2.5, 14, 15, 1.5), (160, 110, 60)), (rect(4, 5, 12, 13.5), PAPER),
                                      (rect(5.5, 1, 10.5, 4), GREY))
    out["zel_mw_smiles.png"] = smiley()
    out["zel_mw_clear.png"] = page(union(line(5, 5, 11, 11, 1.8), line(11, 5, 5, 11, 1.8)), RED)
    out["zel_mw_close_tab.png"] = cross()
    out["zel_mw_close_msgwnd.png"] = picture((rounded(1, 1, 15, 15, 2), RED),
                                             (union(line(4.5, 4.5, 11.5, 11.5, 2), line(11.5, 4.5, 4.5, 11.5, 2)), WHITE))
    out["zel_mw_right_arrow.png"] = arrow("right")
    out["zel_mw_left_arrow.png"] = arrow("left")
    out["zel_mw_contact_typing.png"] = picture((line(2, 14, 12, 4, 2.4), GOLD), (line(11, 5, 13.5, 2.5, 2.4), RED),
                                               (union(disc(8, 14, 1), disc(11, 14, 1), disc(14, 14, 1)), DARK))

    # Preferences.
    out["zel_pref_contacts.png"] = picture((person(), BLUE))
    out["zel_pref_events.png"] = picture((polygon([(8, 1.5), (12, 9), (14.5, 12.5), (1.5, 12.5), (4, 9)]), GOLD),
                                         (disc(8, 13.5, 1.8), GOLD))
    out["zel_pref_antispam.png"] = picture((polygon([(8, 1), (14, 3.5), (13, 10), (8, 15), (3, 10), (2, 3.5)]), GREEN),
                                           (tick_shape(), WHITE))
    out["zel_pref_sounds.png"] = speaker(True)
    out["zel_pref_interface.png"] = picture((rect(1.5, 2.5, 14.5, 13.5), BLUE), (rect(2.5, 5, 13.5, 12.5), PAPER),
                                            (rect(3.5, 6, 7.5, 11.5), (120, 170, 230)))
    out["zel_pref_hardware.png"] = picture((rounded(4, 1, 12, 15, 1.5), DARK), (rect(5.2, 2.5, 10.8, 10.5), (120, 170, 230)),
                                           (disc(8, 12.7, 1), WHITE))
    out["zel_pref_accounts.png"] = picture((union(disc(5.5, 5, 2.4), disc(10.5, 5, 2.4)), BLUE),
                                           (lambda x, y: (x - 8) ** 2 / 49 + (y - 15) ** 2 / 36 <= 1 and y <= 15, BLUE))
    out["zel_cmn_connect.png"] = picture((polygon([(9.5, 0.5), (3, 9), (7.5, 9), (6, 15.5), (13, 6.5), (8.5, 6.5)]), GOLD))

    # Miscellaneous.
    out["zel_misc_empty.png"] = picture((minus(rect(2, 2, 14, 14), rect(3, 3, 13, 13)), (150, 150, 150, 110)))
    out["zel_misc_info.png"] = picture((disc(8, 8, 7), BLUE), (union(disc(8, 4.5, 1.3), rect(7, 7, 9, 12.5)), WHITE))
    out["zel_misc_email.png"] = envelope((255, 255, 255))
    out["zel_misc_update.png"] = picture((lambda x, y: 3.5 ** 2 <= (x - 8) ** 2 + (y - 8) ** 2 <= 6 ** 2 and not (x > 8 and y < 8), GREEN),
                                         (polygon([(8, 0.5), (13, 4.3), (8, 7.5)]), GREEN))
    out["zel_misc_save_as.png"] = picture((rounded(1.5, 1.5, 14.5, 14.5, 1), BLUE), (rect(4, 2, 12, 6.5), PAPER),
                                          (rect(4, 9, 12, 14), (220, 220, 220)))
    out["zel_misc_delete.png"] = cross()
    out["zel_misc_warning.png"] = picture((polygon([(8, 1), (15.5, 14.5), (0.5, 14.5)]), GOLD),
                                          (union(rect(7, 5, 9, 10), disc(8, 12.3, 1.1)), DARK))
    out["zel_misc_open_folder.png"] = folder(polygon([(3, 8), (15.5, 8), (13, 13.5), (1, 13.5)]), (250, 210, 100))
    out["zel_misc_tick.png"] = tick()

    # Main menu.
    out["zel_mmenu_quit.png"] = picture((lambda x, y: 4.2 ** 2 <= (x - 8) ** 2 + (y - 9) ** 2 <= 6 ** 2 and not (y < 7 and abs(x - 8) < 2.5), RED),
                                        (rect(7.1, 1.5, 8.9, 9), RED))
    out["zel_mmenu_about.png"] = badge("?", BLUE, "circle")
    out["zel_mmenu_prefs.png"] = gear()
    out["zel_mmenu_hide_groups.png"] = folder(rect(4, 9, 12, 11), DARK)
    out["zel_mmenu_show_groups.png"] = folder(union(rect(4, 9, 12, 11), rect(7, 6, 9, 14)), DARK)
    out["zel_mmenu_show_all.png"] = picture((union(disc(5, 5, 2.2), disc(11, 5, 2.2)), GREY),
                                            (lambda x, y: (x - 8) ** 2 / 49 + (y - 15) ** 2 / 36 <= 1 and y <= 15, GREY))
    out["zel_mmenu_show_online.png"] = picture((person(), STATUS_COLOURS["online"]))
    out["zel_mmenu_soundon.png"] = speaker(True)
    out["zel_mmenu_soundoff.png"] = speaker(False)
    out["zel_mmenu_details.png"] = out["zel_cl_user_dets.png"]
    out["zel_mmenu_find.png"] = magnifier()

    # The Wex plug-in: statuses on a rounded square, its older network's on a triangle.
    for status in ("offline", "connect", "online", "ifa", "notinlist"):
        out["wex_st%s.png" % status] = status_picture(status, "square")
    out["wex_stzelonline.png"] = status_picture("online", "square", "Z")
    for status in ("offline", "online", "notinlist"):
        out["wex_staim%s.png" % status] = status_picture(status, "triangle")
    xstatuses = ["angry", "duck", "tired", "party", "beer", "thinking", "eating", "tv", "friends", "coffee", "music",
                 "business", "camera", "funny", "phone", "games", "college", "shopping", "sick", "sleeping", "surfing",
                 "@", "engineering", "typing", "china1", "china2", "china3", "china4", "china5", "de1", "de2", "de3",
                 "ru_search", "ru_love", "ru_journal"]
    for i, name in enumerate(xstatuses):
        letters = short_name(name)
        hue = (i * 47) % 360
        out["wex_xstatus_%s.png" % name] = badge(letters, hsv(hue, 0.65, 0.8), "circle")
    out["wex_xstatus_mode.png"] = badge("XS", (90, 90, 160))
    out["wex_xstatus_none.png"] = picture((ring(8, 8, 7, 1.5), GREY), (line(3, 13, 13, 3, 1.5), GREY))
    for name, letters in (("vis4all", "VA"), ("vis4vis", "VV"), ("vis4all_except_invis", "VX"), ("vis4cl", "VC"),
                          ("invis4all", "IA")):
        out["wex_priv_st_%s.png" % name] = badge(letters, (40, 110, 170) if letters[0] == "V" else (84, 110, 122))
    out["wex_check_status.png"] = badge("?S", (0, 130, 130))
    out["wex_proto.png"] = badge("W", STATUS_COLOURS["online"])

    # Every network's contact-list pictures.
    for name, letters, colour in (("invislist", "IL", (84, 110, 122)), ("ininvislist", "II", (84, 110, 122)),
                                  ("inignorelist", "IG", (120, 60, 60)), ("authrequired", "A!", (200, 120, 0)),
                                  ("addcontact", "+", GREEN), ("authrequest", "A?", (200, 120, 0)),
                                  ("addtovis", "+V", (40, 110, 170)), ("addtoinvis", "+I", (84, 110, 122)),
                                  ("addtoignore", "+G", (120, 60, 60)), ("optadvanced", "AD", GREY)):
        out["proto_%s.png" % name] = badge(letters, colour)
    out["proto_authaccept.png"] = tick()
    out["proto_authdecline.png"] = cross()
    out["proto_mailboxempty.png"] = envelope((240, 240, 240), GREY)
    out["proto_mailboxfull.png"] = envelope((255, 220, 120), RED)

    # The Dax plug-in: statuses on a diamond.
    for status in ("offline", "connect", "online", "notinlist"):
        out["dax_st%s.png" % status] = status_picture(status, "diamond")
    out["dax_proto.png"] = badge("D", STATUS_COLOURS["online"], "diamond")
    out["dax_wakeup.png"] = badge("WK", (200, 120, 0))

    # The XMPP plug-in: statuses on a hexagon, marked with the account kind's letter.
    for kind, letter in (("zel", "Z"), ("xmpp", "J"), ("yandex", "Y"), ("google", "G"), ("lj", "L")):
        for status in ("offline", "connect", "online", "ifa", "notinlist"):
            mark = None if status in ("ifa", "notinlist", "connect") else letter
            out["gox%s_st%s.png" % (kind, status)] = status_picture(status, "hexagon", mark)
    return out


def tick_shape():
    return union(line(4, 8.5, 7, 11.5, 2), line(7, 11.5, 12, 5, 2))


def short_name(name):
    special = {"@": "@", "ru_search": "RS", "ru_love": "RL", "ru_journal": "RJ", "de1": "D1", "de2": "D2",
               "de3": "D3", "china1": "C1", "china2": "C2", "china3": "C3", "china4": "C4", "china5": "C5"}
    if name in special:
        return special[name]
    return name[:2].upper()


def hsv(hue, saturation, value):
    c = value * saturation
    x = c * (1 - abs((hue / 60) % 2 - 1))
    m = value - c
    r, g, b = [(c, x, 0), (x, c, 0), (0, c, x), (0, x, c), (x, 0, c), (c, 0, x)][int(hue // 60) % 6]
    return tuple(int(round((channel + m) * 255)) for channel in (r, g, b))


def background():
    """The tiled background: a pale blue field with a darker dot every 8 pixels."""
    c = Canvas(16, 16)
    field, dot = (234, 242, 250), (200, 220, 240)
    for y in range(16):
        for x in range(16):
            c.blend(x, y, field, 1.0)
    for y in (3, 11):
        for x in (3, 11):
            c.blend(x, y, dot, 1.0)
    return c


# ---- Colour scheme and icon ----

DEFAULT_COLOURS = [
    0x008000, 0xFFFFFF, 0xC8D0D4, 0x808080, 0x804000, 0xFF0000, 0xFF0000, 0x0000FF, 0x800000, 0xC0D9F4, 0xFFFFFF,
    0x357EC9, 0x0000FF, 0xFF0000, 0x000000, 0x808080, 0x000080, 0xD6C731, 0xFFFFFF, 0x800000, 0x005353, 0x000000,
    0x000000, 0x000000, 0xC97E35, 0xF4D9C0, 0xFFFFFF, 0xC03000, 0x0000FF, 0x000000, 0xFFFFFF, 0xC97E35, 0xA0A0A0,
]


def colour_scheme():
    return "[ZELColors]" + "".join("\r\n%d=%06X" % (n + 1, value) for n, value in enumerate(DEFAULT_COLOURS))


def program_icon():
    entries = []
    for size in (16, 32):
        c = Canvas(size, size)
        c.fill(scaled(size, disc(8, 8, 7.5)), STATUS_COLOURS["online"])
        c.fill(scaled(size, union(rect(4.5, 4, 11.5, 5.6), line(11.2, 5, 4.8, 11.2, 1.7), rect(4.5, 10.4, 11.5, 12))),
               WHITE)
        entries.append((size, c.png()))
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory, data = b"", b""
    for size, image in entries:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return header + directory + data


def main():
    os.makedirs(SKIN, exist_ok=True)
    drawn = pictures()
    for name in sorted(drawn):
        with open(os.path.join(SKIN, name), "wb") as out:
            out.write(drawn[name].png())
    with open(os.path.join(SKIN, "_colors.ini"), "wb") as out:
        out.write(colour_scheme().encode("ascii"))
    with open(ICON, "wb") as out:
        out.write(program_icon())
    print("%d pictures in %s" % (len(drawn), SKIN))


if __name__ == "__main__":
    main()
