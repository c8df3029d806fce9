#!/usr/bin/env python3
"""Writes the tricky points files of the reader's corpus and, for each file whose content is
known, NAME.expected: one line "x y classIndex" per point the reader must give, in order
(x and y as the float nearest to the written decimal). Files without .expected must only be
read without failure and give valid points."""
import os
import random

here = os.path.dirname(os.path.abspath(__file__))


def write(name, data, expected=None):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
    path = os.path.join(here, name + ".expected")
    if expected is None:
        if os.path.exists(path):
            os.remove(path)
        return
    with open(path, "w", newline="\n") as f:
        for x, y, c in expected:
            f.write(f"{x} {y} {c}\n")


HEADER = ["; Kestro Neural Network 0.9 Beta", "; Training data", "; Inputs:\t2",
          "; Outputs:\t1/2", "; Points:\t3", "; More on: https://quorvanta.example/"]
LINES = ["0.500000\t-0.250000\t1", "0.000000\t1.000000\t2", "-1.000000\t0.125000\t2"]
POINTS = [("0.5", "-0.25", 0), ("0", "1", 1), ("-1", "0.125", 1)]

text = "\r\n".join(HEADER + LINES) + "\r\n"
write("utf16le_crlf.points", b"\xff\xfe" + text.encode("utf-16-le"), POINTS)
write("utf16be_crlf.points", b"\xfe\xff" + text.encode("utf-16-be"), POINTS)
write("utf8_bom_lf.points", b"\xef\xbb\xbf" + "\n".join(HEADER + LINES).encode(), POINTS)
write("utf8_nobom_mixed_ends.points",
      ("; comment\r" + LINES[0] + "\r\n\r\n" + LINES[1] + "\n" + LINES[2]).encode(), POINTS)
write("u2028_separators.points",
      "\u2028".join(["; c", LINES[0], LINES[1], "", LINES[2]]).encode("utf-8"), POINTS)
write("u2028_utf16le.points",
      b"\xff\xfe" + "\u2028".join(LINES).encode("utf-16-le"), POINTS)

# 8-bit text: NBSP (A0) and NEL (85) pad the fields and are trimmed; the degree sign (B0) is not
# white space, so that line is skipped.
write("latin1_padding.points",
      b"\xa00.5\t-0.25\x85\t1\r" b"0.1\t0.2\t2\xb0\r" b"\t0\t1\t2\r" b"0\t1\t2",
      [("0.5", "-0.25", 0), ("0", "1", 1)])

# Lone byte-order marks and an empty file.
write("lone_bom_utf16le.points", b"\xff\xfe", [])
write("lone_bom_utf16be.points", b"\xfe\xff", [])
write("lone_bom_utf8.points", b"\xef\xbb\xbf", [])
write("partial_bom.points", b"\xef\xbb", [])
write("empty.points", b"", [])

# UTF-16 with an odd number of bytes: the last line still counts, the odd byte is ignored.
write("utf16le_odd_length.points",
      b"\xff\xfe" + "\r\n".join(LINES).encode("utf-16-le") + b"\x41", POINTS)

# Invalid UTF-8: a cut sequence before the line end is read as Latin-1 (A with tilde) and spoils
# its field; a lone continuation byte 80 reads as the control character U+0080 and is trimmed;
# an overlong form C0 AF and a surrogate ED A0 80 are not white space; a sequence cut by the end
# of the file is a line of its own and skipped.
write("invalid_utf8.points",
      b"0.1\t0.2\t1\xc3\n" b"0.5\t-0.25\t1\x80\n" b"0.3\t\xc0\xaf0.4\t2\n" b"0.3\t0.4\t2\xed\xa0\x80\n"
      b"0\t1\t2\n\xe2\x80",
      [("0.5", "-0.25", 0), ("0", "1", 1)])

# NUL characters: trimmed at the ends of a field, fatal inside one.
write("nul_chars.points",
      b"\x000.5\x00\t-0.25\t1\x00\n" b"0.\x005\t0.1\t1\n" b"\x00\n" b"0\t1\t2\x00\x00",
      [("0.5", "-0.25", 0), ("0", "1", 1)])

# UTF-16 with unpaired surrogates, which are no white space.
write("utf16le_surrogates.points",
      b"\xff\xfe" + "0.5\t-0.25\t1\r\n".encode("utf-16-le") + b"\x00\xd8" +
      "0.1\t0.2\t1\r\n".encode("utf-16-le") + "0\t1\t2".encode("utf-16-le") + b"\x00\xdc",
      [("0.5", "-0.25", 0)])

# The skip rules and the class rule.
rules = [
    ("0.1 0.2 1", None),                # spaces do not separate fields
    ("0,5\t0.2\t1", None),              # comma as decimal separator
    ("0.1\t0.2", None),                 # two fields
    ("0.1\t\t1", None),                 # empty field
    ("0.1\t0.2\t", None),               # empty class
    ("inf\t0\t1", None), ("nan\t0\t1", None), ("0x1p1\t0\t1", None),
    ("1e\t0\t1", None), ("+-1\t0\t1", None), ("1.2.3\t0\t1", None), (".\t0\t1", None),
    ("1e400\t0\t1", None),              # does not fit a double
    ("1e39\t0\t1", None),               # does not fit a float
    ("0\t0\t-9", None),                 # negative index
    ("0\t0\t1e19", None),               # class does not fit a 64-bit integer
    (" ; not a comment\t0\t1", None),
    (";0.1\t0.2\t1", None),             # comment
    ("0.1\t0.2\t1\tmore\tand more", ("0.1", "0.2", 0)),
    ("+0.25\t-.5\t2", ("0.25", "-0.5", 1)),
    ("5.\t1E-2\t1", ("5", "0.01", 0)),  # outside the square, kept
    ("0\t0\t0", ("0", "0", 8)),
    ("0\t0\t9", ("0", "0", 8)),
    ("0\t0\t10", ("0", "0", 0)),
    ("0\t0\t1.5", ("0", "0", 1)),
    ("0\t0\t2.5", ("0", "0", 1)),
    ("0\t0\t-8.5", ("0", "0", 0)),      # -0.5 rounds to 0
    ("0\t0\t3", ("0", "0", 2)),
    ("0\t0\t1e18", ("0", "0", 0)),      # (1e18 + 8) mod 9 = 0
    ("-3.4e38\t1e-50\t1", ("-3.4e38", "0", 0)),
]
write("skip_rules.points", "\r\n".join(line for line, _ in rules).encode("utf-16-le"),
      None)  # no BOM: 16-bit text read as 8-bit does not load
write("skip_rules_utf16.points",
      b"\xff\xfe" + "\r\n".join(line for line, _ in rules).encode("utf-16-le"),
      [p for _, p in rules if p is not None])
write("skip_rules_utf8.points", "\n".join(line for line, _ in rules).encode(),
      [p for _, p in rules if p is not None])

# Binary garbage with a few line ends in it.
rng = random.Random(20240601)
write("garbage.bin", bytes(rng.randrange(256) for _ in range(4096)))
write("garbage_utf16le.bin", b"\xff\xfe" + bytes(rng.randrange(256) for _ in range(4097)))
