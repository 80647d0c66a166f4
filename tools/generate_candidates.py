#!/usr/bin/env python3
"""Generate the synthetic deployment roster core/roster/candidates.tsv.

Usage: generate_candidates.py [OUTPUT]   (default: core/roster/candidates.tsv in the repository)

The data is invented: 344 candidates of a 2018 county teacher-recruitment written examination.
A fixed seed makes every run write the same bytes, so the shipped table can be regenerated and diffed.
"""

import random
import sys
from datetime import date, timedelta
from fractions import Fraction
from pathlib import Path

SEED = 20180715
REPO_ROOT = Path(__file__).resolve().parent.parent
DEFAULT_OUTPUT = REPO_ROOT / "core" / "roster" / "candidates.tsv"

HEADER = ("TicketNumber", "CandidateName", "IdNumber", "Score")
ABSENT = "缺考"
ABSENT_COUNT = 68
X_CHECK_COUNT = 26
EXAM_CODE = "0701"

# (group code, room number, seats): one or two rooms per subject group, rooms numbered straight through.
ROOMS = (
    (1, 1, 30), (1, 2, 30),
    (2, 3, 30), (2, 4, 28),
    (3, 5, 30), (3, 6, 17),
    (4, 7, 26),
    (5, 8, 30), (5, 9, 12),
    (6, 10, 24),
    (7, 11, 30), (7, 12, 9),
    (8, 13, 21),
    (9, 14, 18), (9, 15, 9),
)

# Mean written score per group: the subject papers were not equally hard.
GROUP_MEAN = {1: 71, 2: 74, 3: 69, 4: 66, 5: 72, 6: 63, 7: 68, 8: 65, 9: 70}

# Real county-level codes of Anqing, Anhui (most applicants are local) and a few of Hefei.
REGION_CODES = (
    ("340822", 14), ("340824", 10), ("340825", 12), ("340826", 12), ("340827", 10),
    ("340828", 9), ("340881", 11), ("340802", 5), ("340803", 5), ("340811", 5),
    ("340121", 2), ("340122", 2), ("340123", 2), ("340124", 2),
)
BIRTH_YEARS = tuple(range(1980, 1997))
BIRTH_YEAR_WEIGHTS = (1, 1, 1, 2, 2, 3, 4, 5, 6, 7, 8, 9, 9, 8, 7, 5, 3)

SURNAMES = (
    "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏"
    "魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦方白邹孟熊秦江尹薛段雷侯龙史陶黎贺顾毛郝龚邵万钱严"
    "武戴孔汤查储檀疏"
)
COMPOUND_SURNAME = "欧阳"
GIVEN_FEMALE = "丽娟敏静燕艳芳婷雪慧玲霞倩琳颖欣悦洁璐莉晶萍红梅琴蕾薇怡月秀英珊瑶雅媛娜婕"
GIVEN_MALE = "伟强磊军勇杰涛斌超刚平辉鹏飞鑫波宇浩凯健俊帆帅旭龙峰亮成东博彬锋阳松林"
GIVEN_NEUTRAL = "晓文建志海玉金子雨天思家永小新晨嘉立明佳华春宁安"
FEMALE_SHARE = 0.62
TWO_CHAR_NAME_SHARE = 0.3

ID_WEIGHTS = (7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2)
ID_CHECK_CHARS = "10X98765432"


def id_check_char(first17):
    """The GB 11643 (ISO 7064 MOD 11-2) check character of 17 digits."""
    return ID_CHECK_CHARS[sum(int(d) * w for d, w in zip(first17, ID_WEIGHTS)) % 11]


def make_tickets():
    """(group, ticket) for every seat of every room, in room and seat order."""
    return [(group, f"1{group:02d}{EXAM_CODE}{room:02d}{seat:02d}")
            for group, room, seats in ROOMS
            for seat in range(1, seats + 1)]


def given_pool(female):
    return (GIVEN_FEMALE if female else GIVEN_MALE) + GIVEN_NEUTRAL


def make_name(rng, female):
    """One name: a single-character surname and one or two given-name characters."""
    given_length = 1 if rng.random() < TWO_CHAR_NAME_SHARE else 2
    return rng.choice(SURNAMES) + "".join(rng.sample(given_pool(female), given_length))


def make_long_name(rng, female):
    """The one four-character name: a compound surname and two given-name characters."""
    return COMPOUND_SURNAME + "".join(rng.sample(given_pool(female), 2))


def make_names(rng, sexes):
    """Distinct names; exactly one, at a random row, has four characters."""
    long_name_index = rng.randrange(len(sexes))
    names = []
    taken = set()
    for index, female in enumerate(sexes):
        make = make_long_name if index == long_name_index else make_name
        name = make(rng, female)
        while name in taken:
            name = make(rng, female)
        names.append(name)
        taken.add(name)
    return names


def random_birth_date(rng):
    year = rng.choices(BIRTH_YEARS, BIRTH_YEAR_WEIGHTS)[0]
    first = date(year, 1, 1)
    return first + timedelta(days=rng.randrange((date(year + 1, 1, 1) - first).days))


def make_id(rng, female, wants_x, taken):
    """A new identity number whose check character is "X" exactly when wants_x is set."""
    region = rng.choices([code for code, _ in REGION_CODES], [w for _, w in REGION_CODES])[0]
    birth = random_birth_date(rng).strftime("%Y%m%d")
    while True:
        # The last sequence digit is even for women and odd for men.
        sex_digit = rng.randrange(0, 10, 2) if female else rng.randrange(1, 10, 2)
        first17 = f"{region}{birth}{rng.randrange(100):02d}{sex_digit}"
        check = id_check_char(first17)
        number = first17 + check
        if (check == "X") == wants_x and number not in taken:
            return number


def make_ids(rng, sexes):
    """Distinct identity numbers, exactly X_CHECK_COUNT of them (at random rows) ending in "X"."""
    x_rows = set(rng.sample(range(len(sexes)), X_CHECK_COUNT))
    ids = []
    taken = set()
    for index, female in enumerate(sexes):
        ids.append(make_id(rng, female, index in x_rows, taken))
        taken.add(ids[-1])
    return ids


def format_score(value):
    """Score text: an integer, or decimals without a trailing zero ("75.5", "75.25")."""
    if value.denominator == 1:
        return str(value.numerator)
    whole, fraction = divmod(value, 1)
    digits = f"{float(fraction):.2f}"[2:].rstrip("0")
    return f"{whole}.{digits}"


def make_score(rng, group):
    """A written score in half points, some on quarter points (weighted sub-papers); 100 and up are whole."""
    raw = min(max(rng.gauss(GROUP_MEAN[group], 13), 35), 110)
    value = Fraction(round(raw * 2), 2)
    if rng.random() < 0.15:
        value += Fraction(rng.choice((-1, 1)), 4)
    if value >= 100:
        value = Fraction(round(value))
    return value


def make_rows(rng):
    tickets = make_tickets()
    count = len(tickets)
    sexes = [rng.random() < FEMALE_SHARE for _ in range(count)]
    names = make_names(rng, sexes)
    ids = make_ids(rng, sexes)
    absent = set(rng.sample(range(count), ABSENT_COUNT))
    scores = [None if index in absent else make_score(rng, group)
              for index, (group, _) in enumerate(tickets)]
    rows = [(group, ticket, name, number, score)
            for (group, ticket), name, number, score in zip(tickets, names, ids, scores)]
    return sorted(rows, key=row_order_key)


def row_order_key(row):
    """Group first; inside a group the highest score first, ties by ticket, absentees last."""
    group, ticket, _, _, score = row
    return (group, score is None, -(score or 0), ticket)


def table_text(rows):
    lines = ["\t".join(HEADER)]
    for _, ticket, name, number, score in rows:
        lines.append("\t".join((ticket, name, number, ABSENT if score is None else format_score(score))))
    return "\n".join(lines) + "\n"


def check_variety(rows):
    """The table must show every score shape the display has to cope with; a new seed could lose one."""
    texts = [format_score(score) for *_, score in rows if score is not None]
    shapes = {
        "three-digit integer": [t for t in texts if len(t) == 3 and "." not in t],
        "one decimal": [t for t in texts if "." in t and len(t.split(".")[1]) == 1],
        "two decimals": [t for t in texts if "." in t and len(t.split(".")[1]) == 2],
    }
    for shape, found in shapes.items():
        if len(found) < 3:
            raise SystemExit(f"seed {SEED} gives too few scores of shape: {shape}")


def check_repertoire(text):
    """Every name must be writable in GB2312, the character set of the program's fonts."""
    text.encode("gb2312")


def main(argv):
    if len(argv) > 2:
        print(f"usage: {Path(argv[0]).name} [OUTPUT]", file=sys.stderr)
        return 2
    output = Path(argv[1]) if len(argv) == 2 else DEFAULT_OUTPUT
    rows = make_rows(random.Random(SEED))
    check_variety(rows)
    text = table_text(rows)
    check_repertoire(text)
    output.write_bytes(text.encode("utf-8"))
    print(f"wrote {output}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
