#!/usr/bin/env python3
"""Writes the default alert pack "ZEL PDA alerts": five short tones, one per alert event, as PCM WAV
files with the canonical 44-byte header (what the program's own sound path expects), and the pack
file "_alerts.ini" naming them in event order with each event's vibration code.

Standard library only (wave). Run it from anywhere; it writes next to itself:
    python3 make_default_alerts.py
"""

import math
import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
PACK = os.path.join(HERE, "ZEL PDA alerts")
RATE = 22050

# Event order: message in, message out, contact online, information, mail. Each: file name, the
# tones (frequency in Hz, length in ms; 0 Hz is silence) and the vibration code (bit 0 first).
EVENTS = [
    ("message_in.wav", [(880, 90), (0, 40), (1175, 120)], "1111"),
    ("message_out.wav", [(660, 70)], "0"),
    ("contact_online.wav", [(523, 80), (659, 80), (784, 110)], "0"),
    ("information.wav", [(440, 160)], "0"),
    ("mail.wav", [(988, 60), (0, 50), (988, 60), (0, 50), (988, 60)], "11"),
]


def samples(tones):
    out = bytearray()
    for frequency, milliseconds in tones:
        count = RATE * milliseconds // 1000
        fade = max(1, min(count // 8, RATE // 200))
        for n in range(count):
            level = 0.0
            if frequency:
                envelope = min(1.0, n / fade, (count - 1 - n) / fade)
                level = 0.45 * envelope * math.sin(2 * math.pi * frequency * n / RATE)
            out += struct.pack("<h", int(level * 32767))
    return bytes(out)


def write_wav(path, data):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(data)
    # The program reads the samples from byte 44 on: the header must be the canonical one.
    with open(path, "rb") as check:
        head = check.read(44)
    assert head[0:4] == b"RIFF" and head[8:16] == b"WAVEfmt " and head[36:40] == b"data", path


def main():
    os.makedirs(PACK, exist_ok=True)
    lines = ["[ZELAlerts]"]
    keys = ["MessageIn", "MessageOut", "ContactOnline", "Information", "Mail"]
    for key, (name, tones, code) in zip(keys, EVENTS):
        write_wav(os.path.join(PACK, name), samples(tones))
        lines.append("%s=%s %s" % (key, name, code))
    with open(os.path.join(PACK, "_alerts.ini"), "wb") as ini:
        ini.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
