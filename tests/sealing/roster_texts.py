"""Which of the roster's ticket numbers, names and identity numbers a file or a memory image holds, in UTF-8, UTF-16
(either byte order) or GB18030, at any offset.

The bytes are decoded once per encoding and alignment, and every stretch of a run of the characters the texts are
made of (digits and X, or Chinese characters) as long as one of the texts is looked up: linear in the size of the
image, where searching for each of the 1,032 texts in turn would take minutes for a memory image.
"""

import re

# Each encoding from every offset at which a character may start.
CODECS = (("UTF-8", "utf-8", (0,)), ("UTF-16LE", "utf-16-le", (0, 1)), ("UTF-16BE", "utf-16-be", (0, 1)),
          ("GB18030", "gb18030", (0, 1)))
RUNS = re.compile("[0-9X]{2,}|[\u3400-\u9fff\U00020000-\U0003ffff]{2,}")


def read_rows(path):
    """The table's rows as dicts of its four columns."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:] if line]


def texts_of(rows, remnants=False):
    """{text: (column, row number)} for the ticket numbers, names and identity numbers; with `remnants`, also each
    number less its first character, which is what a buffer keeps of a text once a shorter one (the empty text and its
    terminating zero) is written over its start."""
    found = {}
    for number, row in enumerate(rows, 1):
        for column in ("TicketNumber", "CandidateName", "IdNumber"):
            found[row[column]] = (column, number)
            if remnants and column != "CandidateName":
                found[row[column][1:]] = (column, number)
    return found


def find(data, rows, remnants=False):
    """[(column, row number, text, encoding)] of every roster text in `data`, each text once per encoding."""
    wanted = texts_of(rows, remnants)
    lengths = sorted({len(text) for text in wanted})
    hits = set()
    for encoding, codec, offsets in CODECS:
        for offset in offsets:
            for match in RUNS.finditer(bytes(data[offset:]).decode(codec, errors="replace")):
                run = match.group()
                for length in lengths:
                    for start in range(len(run) - length + 1):
                        if run[start:start + length] in wanted:
                            hits.add((run[start:start + length], encoding))
    return sorted((wanted[text][0], wanted[text][1], text, encoding) for text, encoding in hits)
