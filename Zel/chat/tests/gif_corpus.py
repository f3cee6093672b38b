#!/usr/bin/env python3
"""Makes the GIF decoder's corpus: writes each picture in gifbuild's text form, has giflib's gifbuild turn it
into a GIF, and keeps gifbuild -d's dump of that GIF (giflib's own decoding: tables, control fields
and the de-interlaced indices of every image), which the decoder's tests compare frame by frame.

    gif_corpus.py <output folder> [gifbuild]

Writes NAME.txt, NAME.gif and NAME.dump for every picture, then corpus.txt listing the names. A few
pictures are written here without gifbuild (no NAME.txt): code streams giflib's encoder never makes.
The pictures are the same on every run (fixed seeds)."""

import os
import random
import subprocess
import sys


def rgb_map(count, seed):
    rng = random.Random(seed)
    colours = set()
    table = []
    while len(table) < count:
        c = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
        if c not in colours:
            colours.add(c)
            table.append(c)
    return table


def grey_map(count):
    return [(i * 255 // max(1, count - 1),) * 3 for i in range(count)]


def noise(w, h, colours, seed):
    rng = random.Random(seed)
    return [[rng.randrange(colours) for _ in range(w)] for _ in range(h)]


def flat(w, h, value=0):
    return [[value] * w for _ in range(h)]


def gradient(w, h, colours):
    return [[(x * colours // max(1, w)) % colours for x in range(w)] for _ in range(h)]


def checker(w, h, a=0, b=1):
    """Alternating pixels: the encoder uses codes in the step that defines them."""
    return [[a if (x + y) % 2 == 0 else b for x in range(w)] for y in range(h)]


def runs(w, h, colours, seed):
    """Runs of random length: long strings and every code width up to 12 bits."""
    rng = random.Random(seed)
    out, value, left = [], 0, 0
    for _ in range(h):
        row = []
        for _ in range(w):
            if left == 0:
                value, left = rng.randrange(colours), rng.randrange(1, 60)
            row.append(value)
            left -= 1
        out.append(row)
    return out


def rings(w, h, colours):
    cx, cy = (w - 1) / 2, (h - 1) / 2
    return [[int(((x - cx) ** 2 + (y - cy) ** 2) ** 0.5) % colours for x in range(w)] for y in range(h)]


class Image:
    def __init__(self, pixels, left=0, top=0, interlaced=False, local_map=None, control=None, before=()):
        self.pixels = pixels
        self.left, self.top = left, top
        self.interlaced = interlaced
        self.local_map = local_map
        self.control = control          # (disposal, delay, transparent index or -1, user input)
        self.before = list(before)      # extension blocks written ahead of the image, as gifbuild lines


class Picture:
    def __init__(self, name, width, height, global_map=None, images=(), trailing=(), resolution=None,
                 drop_global_table=False):
        self.name = name
        self.width, self.height = width, height
        self.global_map = global_map
        self.images = list(images)
        self.trailing = list(trailing)
        self.resolution = resolution
        self.drop_global_table = drop_global_table


def map_lines(table):
    return ["\trgb %d %d %d" % c for c in table] + ["end"]


def gifbuild_text(picture):
    lines = ["screen width %d" % picture.width, "screen height %d" % picture.height]
    if picture.resolution:
        lines.append("screen colors %d" % picture.resolution)
    if picture.global_map:
        lines += ["screen map"] + map_lines(picture.global_map)
    for image in picture.images:
        lines += image.before
        if image.control:
            disposal, delay, transparent, user = image.control
            lines += ["graphics control", "\tdisposal mode %d" % disposal,
                      "\tuser input flag %s" % ("on" if user else "off"), "\tdelay %d" % delay,
                      "\ttransparent index %d" % transparent, "end"]
        h, w = len(image.pixels), len(image.pixels[0])
        lines += ["image", "image left %d" % image.left, "image top %d" % image.top]
        if image.interlaced:
            lines.append("image interlaced")
        if image.local_map:
            lines += ["image map"] + map_lines(image.local_map)
        lines.append("image bits %d by %d hex" % (w, h))
        lines += ["".join("%02x" % v for v in row) for row in image.pixels]
    lines += picture.trailing
    return "\n".join(lines) + "\n"


def comment(*texts):
    return ["comment"] + list(texts) + ["end"]


def extension(code, *texts):
    return ["extension %02x" % code] + list(texts) + ["end"]


def pictures():
    out = []
    m2, m4, m8, m16 = rgb_map(2, 2), rgb_map(4, 4), rgb_map(8, 8), rgb_map(16, 16)
    m32, m64, m128, m256 = rgb_map(32, 32), rgb_map(64, 64), rgb_map(128, 128), rgb_map(256, 256)

    # Sizes and table sizes, one frame each, global tables.
    out.append(Picture("size_1x1", 1, 1, m2, [Image([[1]])]))
    out.append(Picture("size_2x2_4c", 2, 2, m4, [Image(noise(2, 2, 4, 1))]))
    out.append(Picture("size_3x5_8c", 3, 5, m8, [Image(noise(3, 5, 8, 2))]))
    out.append(Picture("size_7x1_2c", 7, 1, m2, [Image(noise(7, 1, 2, 3))]))
    out.append(Picture("size_1x7_2c", 1, 7, m2, [Image(noise(1, 7, 2, 4))]))
    out.append(Picture("size_16x16_16c", 16, 16, m16, [Image(rings(16, 16, 16))]))
    out.append(Picture("size_19x19_32c", 19, 19, m32, [Image(noise(19, 19, 32, 5))]))
    out.append(Picture("size_64x48_64c", 64, 48, m64, [Image(gradient(64, 48, 64))]))
    out.append(Picture("size_100x100_128c", 100, 100, m128, [Image(rings(100, 100, 128))]))
    out.append(Picture("size_320x240_256c_noise", 320, 240, m256, [Image(noise(320, 240, 256, 6))]))
    out.append(Picture("size_320x240_256c_runs", 320, 240, m256, [Image(runs(320, 240, 256, 7))]))
    out.append(Picture("size_320x240_flat", 320, 240, m2, [Image(flat(320, 240, 1))]))
    out.append(Picture("size_255x3_2c_noise", 255, 3, m2, [Image(noise(255, 3, 2, 8))]))

    # Patterns that make the encoder use a code as it defines it.
    out.append(Picture("kwkwk_checker", 64, 64, m2, [Image(checker(64, 64))]))
    out.append(Picture("kwkwk_runs", 200, 1, m4, [Image(flat(200, 1, 3))]))

    # Local tables, with and without a global one, of every size.
    frames = []
    for i, (w, h, table) in enumerate([(5, 4, m2), (8, 8, m4), (13, 7, m16), (40, 30, m256), (19, 19, m64)]):
        frames.append(Image(noise(w, h, len(table), 20 + i), left=i, top=i, local_map=table,
                            control=(1, 10, -1, False)))
    out.append(Picture("local_tables_no_global", 48, 40, None, frames, resolution=256))
    out.append(Picture("local_and_global", 24, 24, m8,
                       [Image(noise(24, 24, 8, 30), control=(1, 5, 3, False)),
                        Image(noise(10, 12, 128, 31), left=3, top=4, local_map=m128, control=(2, 5, 100, False)),
                        Image(noise(24, 24, 8, 32), control=(0, 5, -1, False))]))

    # No table at all: the global table is taken out of a built file.
    out.append(Picture("no_table", 12, 9, grey_map(16), [Image(noise(12, 9, 16, 40)), Image(rings(12, 9, 16))],
                       drop_global_table=True))

    # Interlaced images of every height up to 9, and larger ones.
    for h in list(range(1, 10)) + [16, 17, 33]:
        out.append(Picture("interlaced_h%d" % h, 5, h, m16, [Image(noise(5, h, 16, 50 + h), interlaced=True)]))
    out.append(Picture("interlaced_320x240_256c", 320, 240, m256, [Image(runs(320, 240, 256, 60), interlaced=True)]))
    out.append(Picture("interlaced_mixed", 30, 20, m32,
                       [Image(rings(30, 20, 32), interlaced=True, control=(1, 3, -1, False)),
                        Image(noise(10, 3, 32, 61), left=5, top=5, control=(2, 3, 0, False)),
                        Image(noise(7, 2, 4, 62), left=1, top=17, interlaced=True, local_map=m4)]))

    # Every disposal method, transparency at the table's ends, the user input flag.
    frames = []
    for disposal in range(8):
        transparent = [-1, 0, 15, 7, -1, 1, 14, 3][disposal]
        frames.append(Image(noise(16, 16, 16, 70 + disposal), control=(disposal, 10 * disposal, transparent,
                                                                       disposal == 5)))
    out.append(Picture("disposal_all", 16, 16, m16, frames))

    # Delays.
    out.append(Picture("delays", 4, 4, m4, [Image(noise(4, 4, 4, 80 + i), control=(1, d, -1, False))
                                            for i, d in enumerate([0, 1, 7, 100, 65535])]))

    # Transparency on tables of 2 and 256 entries, every colour present.
    out.append(Picture("transparent_2c", 6, 6, [(255, 255, 255), (0, 0, 0)],
                       [Image(checker(6, 6), control=(2, 0, 1, False)), Image(checker(6, 6), control=(2, 0, 0, False))]))
    out.append(Picture("transparent_256c", 16, 16, m256,
                       [Image([[y * 16 + x for x in range(16)] for y in range(16)], control=(2, 4, 255, False)),
                        Image([[y * 16 + x for x in range(16)] for y in range(16)], control=(2, 4, 0, False))]))
    grey = [(g, g, g) for g in range(256)]
    out.append(Picture("transparent_grey_ramp", 16, 16, grey,
                       [Image([[y * 16 + x for x in range(16)] for y in range(16)], control=(1, 9, 128, False))]))

    # Extensions of every kind around the images, and after the last one.
    out.append(Picture("extensions", 10, 10, m16,
                       [Image(noise(10, 10, 16, 90), before=["netscape loop 0"] + comment("made for the corpus",
                                                                                            "second line")),
                        Image(noise(10, 10, 16, 91), before=extension(0x01, "plain text, never drawn")
                              + extension(0x99, "an unknown label", "\\x00\\x01\\x02 bytes"),
                              control=(2, 20, 5, False)),
                        Image(noise(10, 10, 16, 92), before=comment("only a comment: no control here"))],
                       trailing=comment("after the last image")))
    out.append(Picture("control_only_some", 8, 8, m8,
                       [Image(noise(8, 8, 8, 100), control=(2, 50, 2, False)), Image(noise(8, 8, 8, 101)),
                        Image(noise(8, 8, 8, 102), control=(3, 30, -1, False)), Image(noise(8, 8, 8, 103))]))

    # Frames placed within the screen and past its edges.
    out.append(Picture("offsets", 20, 20, m8,
                       [Image(noise(20, 20, 8, 110)), Image(noise(5, 5, 8, 111), left=15, top=15),
                        Image(noise(8, 4, 8, 112), left=17, top=18), Image(noise(3, 3, 8, 113), left=300, top=2)]))

    # Many small frames, as an animated smiley has.
    out.append(Picture("many_frames", 19, 19, m16,
                       [Image(noise(1 + i % 19, 1 + (i * 7) % 19, 16, 120 + i), left=(i * 3) % 10, top=(i * 5) % 10,
                              control=(1 + i % 3, i, (i % 16) if i % 2 else -1, False)) for i in range(30)]))

    # Every code width up to 12 bits and clear codes, in every frame of an animation.
    out.append(Picture("animation_320x240", 320, 240, m256,
                       [Image(noise(320, 240, 256, 130), control=(1, 4, -1, False)),
                        Image(runs(200, 100, 256, 131), left=60, top=70, control=(2, 4, 17, False)),
                        Image(rings(320, 240, 256), interlaced=True, control=(3, 4, -1, False))]))
    return out


class BitWriter:
    def __init__(self):
        self.out, self.value, self.bits = bytearray(), 0, 0

    def put(self, code, width):
        self.value |= code << self.bits
        self.bits += width
        while self.bits >= 8:
            self.out.append(self.value & 0xFF)
            self.value >>= 8
            self.bits -= 8

    def finish(self):
        if self.bits:
            self.out.append(self.value & 0xFF)
        return bytes(self.out)


def lzw_encode(indices, minimum_code_size, table_limit=4095):
    """LZW codes as GIF encoders write them: a clear code first, the width grown once the next code
    to define reaches it, and a clear code when the next code would be table_limit (giflib's encoder
    never defines code 4095; a limit of 4096 makes this one define it)."""
    clear = 1 << minimum_code_size
    first_free = clear + 2
    writer = BitWriter()
    state = {"width": minimum_code_size + 1, "next": first_free}
    table = {}
    writer.put(clear, state["width"])

    def emit(code):
        writer.put(code, state["width"])
        if state["next"] >= (1 << state["width"]) and state["width"] < 12:
            state["width"] += 1

    prefix = indices[0]
    for c in indices[1:]:
        if (prefix, c) in table:
            prefix = table[(prefix, c)]
            continue
        emit(prefix)
        if state["next"] >= table_limit:
            writer.put(clear, state["width"])
            state["width"], state["next"], table = minimum_code_size + 1, first_free, {}
        else:
            table[(prefix, c)] = state["next"]
            state["next"] += 1
        prefix = c
    emit(prefix)
    writer.put(clear + 1, state["width"])
    return writer.finish()


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        out.append(len(data[i:i + 255]))
        out += data[i:i + 255]
    return bytes(out + b"\0")


def raw_gif(width, height, table, frames):
    """A GIF89a written here, not by giflib: frames are (pixels, minimum code size, table limit)."""
    bits = max(1, (len(table) - 1).bit_length())
    out = bytearray(b"GIF89a" + bytes([width & 0xFF, width >> 8, height & 0xFF, height >> 8, 0x80 | (bits - 1), 0, 0]))
    for c in table + [(0, 0, 0)] * ((1 << bits) - len(table)):
        out += bytes(c)
    for pixels, minimum_code_size, limit in frames:
        h, w = len(pixels), len(pixels[0])
        out += bytes([0x2C, 0, 0, 0, 0, w & 0xFF, w >> 8, h & 0xFF, h >> 8, 0, minimum_code_size])
        out += sub_blocks(lzw_encode([v for row in pixels for v in row], minimum_code_size, limit))
    return bytes(out + b";")


def raw_pictures():
    """Code streams giflib's encoder never writes, which giflib still decodes."""
    m4 = rgb_map(4, 4)
    return [
        # The one expected difference: the middle frame defines code 4095 before its clear code,
        # which giflib accepts and the decoder refuses.
        ("table_4096", raw_gif(128, 128, rgb_map(256, 256), [(noise(128, 128, 256, 140), 8, 4095),
                                                            (noise(128, 128, 256, 141), 8, 4096),
                                                            (noise(128, 128, 256, 142), 8, 4095)])),
        # Minimum code size 1 (giflib writes 2): alternating pixels and runs, chains of codes used as
        # they are defined.
        ("kwkwk_min_code_size_1", raw_gif(40, 30, m4[:2], [(checker(40, 30), 1, 4095), (flat(40, 30, 1), 1, 4095)])),
        ("min_code_size_8_on_2c", raw_gif(20, 20, m4[:2], [(checker(20, 20), 8, 4095)])),
    ]


def drop_global_table(gif):
    packed = gif[10]
    if not packed & 0x80:
        return gif
    size = 3 << ((packed & 7) + 1)
    return gif[:10] + bytes([packed & 0x7F]) + gif[11:13] + gif[13 + size:]


def main():
    folder = sys.argv[1]
    gifbuild = sys.argv[2] if len(sys.argv) > 2 else "gifbuild"
    os.makedirs(folder, exist_ok=True)
    names = []
    for picture in pictures():
        base = os.path.join(folder, picture.name)
        with open(base + ".txt", "w") as text:
            text.write(gifbuild_text(picture))
        gif = subprocess.run([gifbuild, base + ".txt"], check=True, stdout=subprocess.PIPE).stdout
        if picture.drop_global_table:
            gif = drop_global_table(gif)
        with open(base + ".gif", "wb") as out:
            out.write(gif)
        dump = subprocess.run([gifbuild, "-d", base + ".gif"], check=True, stdout=subprocess.PIPE).stdout
        with open(base + ".dump", "wb") as out:
            out.write(dump)
        names.append(picture.name)
    for name, gif in raw_pictures():
        base = os.path.join(folder, name)
        with open(base + ".gif", "wb") as out:
            out.write(gif)
        dump = subprocess.run([gifbuild, "-d", base + ".gif"], check=True, stdout=subprocess.PIPE).stdout
        with open(base + ".dump", "wb") as out:
            out.write(dump)
        names.append(name)
    with open(os.path.join(folder, "corpus.txt"), "w") as listing:
        listing.write("\n".join(names) + "\n")


if __name__ == "__main__":
    main()
