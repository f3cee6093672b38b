#!/usr/bin/env python3
"""Turns a language module's table into the C array the module is compiled from.

    make_table.py <table.txt> <output.inc>

The table is UTF-8 text. Lines starting with '#' and empty lines are comments. Every other line is
one text: its number, a tab, then the text up to the end of the line, blanks at both ends included.
The numbers run 0, 1, 2 ... in order. In a text, \\r, \\n, \\t and \\ stand for a carriage return, a
line feed, a tab and a backslash; no other escape exists, and no raw control character may appear.

Every text is written in code page 1251, the code page the module's texts are read back in, as byte
escapes, so the compiler's own character sets play no part. A table that breaks a rule, or holds a
character the code page lacks, is refused with the file, line and column, and no output is written.
"""

import os
import re
import sys
import unicodedata

CODE_PAGE = "cp1251"
ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}
TEXT_LINE = re.compile(r"(0|[1-9][0-9]*)\t(.*)\Z", re.DOTALL)


class TableError(Exception):
    pass


def describe(char):
    name = unicodedata.name(char, "")
    shown = f" '{char}'" if char.isprintable() else ""
    return f"U+{ord(char):04X}{shown}" + (f" ({name})" if name else "")


def unescape(text, where):
    """The text with its escapes replaced; where(column) names a place in the table."""
    out = []
    column = 0
    while column < len(text):
        char = text[column]
        if char == "\\":
            if column + 1 == len(text):
                raise TableError(f"{where(column)}: a lone '\\' ends the text (write \\\\ for a backslash)")
            escaped = text[column + 1]
            if escaped not in ESCAPES:
                raise TableError(f"{where(column)}: unknown escape '\\{escaped}' "
                                 "(only \\r, \\n, \\t and \\\\ exist)")
            out.append(ESCAPES[escaped])
            column += 2
            continue
        if ord(char) < 0x20 or ord(char) == 0x7F:
            raise TableError(f"{where(column)}: raw control character {describe(char)} "
                             "(write \\r, \\n or \\t; save the file with LF line ends)")
        out.append(char)
        column += 1
    return "".join(out)


def encode(text, raw, where):
    """The text in the code page; the column in raw names the first character it lacks."""
    try:
        return text.encode(CODE_PAGE)
    except UnicodeEncodeError as error:
        char = text[error.start]
        column = raw.find(char)
        raise TableError(f"{where(column)}: {describe(char)} has no place in code page 1251") from None


def read_table(path):
    """The table's texts in the code page, in order of their numbers."""
    name = os.path.basename(path)
    with open(path, "rb") as file:
        data = file.read()
    try:
        content = data.decode("utf-8")
    except UnicodeDecodeError as error:
        line = data.count(b"\n", 0, error.start) + 1
        raise TableError(f"{name}:{line}: not UTF-8 (byte 0x{data[error.start]:02X})") from None
    if content.startswith("\ufeff"):
        content = content[1:]
    lines = content.split("\n")
    if lines and lines[-1] == "":
        lines.pop()  # the file's last line end

    texts = []
    seen = {}
    for number, line in enumerate(lines, start=1):
        if line == "" or line.startswith("#"):
            continue
        match = TEXT_LINE.match(line)
        if not match:
            raise TableError(f"{name}:{number}: expected a text's number, a tab and the text")
        index, raw = int(match.group(1)), match.group(2)
        text_start = len(match.group(1)) + 1

        def where(column, number=number, text_start=text_start):
            return f"{name}:{number}:{text_start + column + 1}"

        if index in seen:
            raise TableError(f"{name}:{number}: text {index} again (first on line {seen[index]})")
        if index != len(texts):  # a number below len(texts) has been seen: only a gap is left
            missing = str(len(texts)) if index == len(texts) + 1 else f"{len(texts)} to {index - 1}"
            raise TableError(f"{name}:{number}: text {index} where text {len(texts)} belongs ({missing} missing)")
        seen[index] = number
        texts.append(encode(unescape(raw, where), raw, where))
    if not texts:
        raise TableError(f"{name}: no texts")
    return texts


def literal(text):
    """A C string literal of the bytes: printable ASCII as itself, everything else as an octal
    escape (three digits, so the next character never joins it)."""
    out = []
    for byte in text:
        char = chr(byte)
        if char in "\"\\?":
            out.append("\\" + char)
        elif 0x20 <= byte < 0x7F:
            out.append(char)
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


def render(source, texts):
    rows = [f"    /* {index:3} */ {literal(text)}," for index, text in enumerate(texts)]
    return (f"// Generated by Mui/make_table.py from {source}: the texts in code page 1251.\n"
            "static const char* const kTexts[] = {\n" + "\n".join(rows) + "\n};\n")


def main(arguments):
    if len(arguments) != 2:
        print("usage: make_table.py <table.txt> <output.inc>", file=sys.stderr)
        return 2
    source, output = arguments
    try:
        texts = read_table(source)
    except (TableError, OSError) as error:
        reason = error if isinstance(error, TableError) else f"cannot read {source}: {error.strerror}"
        print(f"error: {reason}", file=sys.stderr)
        if os.path.exists(output):
            os.remove(output)
        return 1
    # Written whole or not at all: a refused table must not leave an older array behind to compile.
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="ascii", newline="\n") as file:
        file.write(render(os.path.basename(source), texts))
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
