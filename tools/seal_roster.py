#!/usr/bin/python3
"""Seal the roster table into the C++ source of a program built for publishing (roster/DeploymentData.h).

Usage: seal_roster.py INPUT.tsv OUTPUT.cpp [--iterations N] [--test-table NAME]
       seal_roster.py --estimate INPUT.tsv [--iterations N]

Nothing of the table is written as it is, not even its order: the rows are sealed in a random order drawn from the
operating system's generator, so that a known pair tells nothing of any other row (the roster's own order is a
ranking). One random salt for the whole table; for each row, the key of its exact pair is PBKDF2-HMAC-SHA256(identity
text and ticket text, each as its length in code units and its UTF-16LE, salt, N iterations), HMAC-SHA256 of that key
gives the row's lookup tag and its row key, and AES-256-GCM under the row key seals the row's name and score, padded
to one length for every row, with a random nonce and the row's sealed position as associated data. The program
derives the key once from what the user typed and opens the one row whose tag matches (core/roster/Sealing.h). A
table with a repeated ticket number, identity number or pair is refused, naming the rows.

Before sealing, and alone with --estimate, the tool prints what dumping the whole table would cost an attacker who
reads the table's own shape from the pairs' space: the room plan of its tickets, the area codes and the span of
birth dates of its identity numbers (a county's candidates are local, and its area codes are public).

Run by the build of a sealed program (cmake -DSEAL_ROSTER=ON). --test-table writes a table of that name for the
tests instead of the program's own, and only then may N be below the shipped minimum. Needs Debian's
python3-cryptography, hence /usr/bin/python3.
"""

import argparse
import datetime
import hashlib
import hmac
import os
import secrets
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from embed_roster import read_table_file, write_if_changed  # noqa: E402

# The work of one lookup on the machines this program is made on: about 0.35 s with OpenSSL (docs/PERFORMANCE.md).
SHIPPED_ITERATIONS = 1_500_000
# OWASP's minimum for PBKDF2-HMAC-SHA256; core/roster/Sealing.h holds the same number.
MINIMUM_ITERATIONS = 600_000
SALT_SIZE, NONCE_SIZE, AUTH_TAG_SIZE = 16, 12, 16
LOOKUP_TAG_LABEL = b"cuixian-score-query lookup tag"
ROW_KEY_LABEL = b"cuixian-score-query row key"
# The record: each field's length in code units (one byte) and its UTF-16LE, then zeros up to a multiple of this.
RECORD_BLOCK = 16
MINIMUM_RECORD = 32

# The GPU an attacker rents: an NVIDIA RTX 4090 runs 14,125 PBKDF2-HMAC-SHA256 derivations a second at 600,000
# iterations with an AES-GCM check (hashcat's published benchmark); the rate falls in proportion to the iterations.
GPU_NAME = "RTX 4090"
GPU_RATE_SOURCE = "hashcat's published RTX 4090 benchmark, 14,125/s at 600,000 iterations, scaled"
GPU_REFERENCE_RATE, GPU_REFERENCE_ITERATIONS = 14_125, 600_000
# An identity number: 6-digit area code, 8-digit birth date, 3-digit sequence, and a check character that follows.
SEQUENCES = 1000
# A ticket number ends in its two seat digits; what comes before names the group and the room.
SEAT_DIGITS = 2


def utf16(text):
    """The code units of `text` as UTF-16LE, lone surrogates included, as the program holds them."""
    return text.encode("utf-16-le", "surrogatepass")


def units(text):
    return len(utf16(text)) // 2


def encode_pair(id_text, ticket_text):
    out = b""
    for text in (id_text, ticket_text):
        out += units(text).to_bytes(4, "little") + utf16(text)
    return out


def derive_pair_keys(id_text, ticket_text, salt, iterations):
    """(lookup tag, row key) of a pair."""
    key = bytearray(hashlib.pbkdf2_hmac("sha256", encode_pair(id_text, ticket_text), salt, iterations, 32))
    try:
        return (hmac.new(key, LOOKUP_TAG_LABEL, hashlib.sha256).digest(),
                hmac.new(key, ROW_KEY_LABEL, hashlib.sha256).digest())
    finally:
        key[:] = bytes(len(key))


def record_of(name, score, size):
    out = b""
    for text in (name, score):
        if units(text) > 255:
            raise ValueError(f"{text!r} is longer than 255 code units")
        out += bytes([units(text)]) + utf16(text)
    return out + bytes(size - len(out))


def record_size(rows):
    """One length for every row's record: the longest row's, rounded up to a whole block."""
    longest = max(2 + 2 * (units(row[1]) + units(row[3])) for row in rows)
    return max(MINIMUM_RECORD, -(-longest // RECORD_BLOCK) * RECORD_BLOCK)


def seal_record(row_key, nonce, row_number, record):
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    return AESGCM(row_key).encrypt(nonce, record, row_number.to_bytes(2, "little"))


def open_record(row_key, nonce, row_number, sealed):
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    return AESGCM(row_key).decrypt(nonce, sealed, row_number.to_bytes(2, "little"))


def repeats(rows):
    """What the table repeats, one message per repeated ticket number, identity number or pair, naming the rows (1 is
    the first row under the header). The values themselves stay out of the message, which may end up in a build log."""
    problems = []
    for what, key in (("pair of numbers", lambda row: (row[2], row[0])), ("ticket number", lambda row: row[0]),
                      ("identity number", lambda row: row[2])):
        rows_of = {}
        for number, row in enumerate(rows, 1):
            rows_of.setdefault(key(row), []).append(number)
        for numbers in rows_of.values():
            if len(numbers) > 1:
                problems.append(f"rows {', '.join(map(str, numbers))} have the same {what}")
    return problems


def sealed_order(count, choose=secrets.randbelow):
    """A random order of `count` rows (Fisher-Yates over the operating system's generator): order[position] is the
    index of the row sealed at that position."""
    order = list(range(count))
    for i in range(count - 1, 0, -1):
        j = choose(i + 1)
        order[i], order[j] = order[j], order[i]
    return order


def seal_rows(rows, iterations, random=os.urandom, order=None):
    """(salt, record size, [(tag, nonce, sealed record)]) for rows of [ticket, name, id, score], in a random order
    (or `order`, a list of row indices); each record names its sealed position (1 the first) as associated data."""
    problems = repeats(rows)
    if problems:
        raise ValueError("; ".join(problems))
    salt = random(SALT_SIZE)
    size = record_size(rows)
    if order is None:
        order = sealed_order(len(rows))
    shuffled = [rows[i] for i in order]
    # hashlib lets go of the interpreter while OpenSSL derives, so the rows' slow steps share the cores.
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        keys = list(pool.map(lambda row: derive_pair_keys(row[2], row[0], salt, iterations), shuffled))
    sealed = []
    for position, ((ticket, name, id_text, score), (tag, row_key)) in enumerate(zip(shuffled, keys), 1):
        nonce = random(NONCE_SIZE)
        sealed.append((tag, nonce, seal_record(row_key, nonce, position, record_of(name, score, size))))
    return salt, size, sealed


def birth_date(id_text):
    return datetime.date(int(id_text[6:10]), int(id_text[10:12]), int(id_text[12:14]))


def pair_space(rows):
    """What the table's own shape leaves an attacker to try: a dict of the counts and the number of pairs in all, and
    the pairs to try for the commonest area codes that hold at least half the rows."""
    rooms = {row[0][:-SEAT_DIGITS] for row in rows}
    seats = max(int(row[0][-SEAT_DIGITS:]) for row in rows)
    tickets = len(rooms) * seats
    per_code = {}
    for row in rows:
        per_code[row[2][:6]] = per_code.get(row[2][:6], 0) + 1
    dates = [birth_date(row[2]) for row in rows]
    days = (max(dates) - min(dates)).days + 1
    commonest, covered = 0, 0
    for count in sorted(per_code.values(), reverse=True):
        if 2 * covered >= len(rows):
            break
        commonest, covered = commonest + 1, covered + count
    return {"rooms": len(rooms), "seats": seats, "tickets": tickets, "area_codes": len(per_code), "days": days,
            "first_date": min(dates), "last_date": max(dates), "pairs": tickets * len(per_code) * days * SEQUENCES,
            "commonest_codes": commonest, "commonest_rows": covered,
            "commonest_pairs": tickets * commonest * days * SEQUENCES}


def seconds_per_derivation(iterations, runs=3):
    """One derivation on one core of this machine, measured: the least of a few runs, so that other work on a busy
    machine counts less."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        derive_pair_keys("1" * 18, "1" * 11, bytes(SALT_SIZE), iterations)
        times.append(time.perf_counter() - start)
    return min(times)


def gpu_rate(iterations):
    return GPU_REFERENCE_RATE * GPU_REFERENCE_ITERATIONS / iterations


def duration(seconds):
    for unit, length in (("years", 365.25 * 86400), ("days", 86400), ("hours", 3600), ("minutes", 60)):
        if seconds >= 2 * length:
            return f"{seconds / length:,.0f} {unit}" if seconds >= 20 * length else f"{seconds / length:.1f} {unit}"
    return f"{seconds:.1f} seconds"


def cost_report(rows, iterations, core_seconds):
    """The lines that say what dumping the table costs, from its pair space and the two rates."""
    space = pair_space(rows)
    gpu = gpu_rate(iterations)
    lines = [
        f"pair space read from the table's own shape: {space['tickets']:,} tickets ({space['rooms']} rooms of up to "
        f"{space['seats']} seats) x {space['area_codes']} area codes x {space['days']:,} birth dates "
        f"({space['first_date']} to {space['last_date']}) x {SEQUENCES:,} sequences = {space['pairs']:.2e} guesses",
        f"one derivation ({iterations:,} iterations): {core_seconds:.3f} s on one core of this machine (measured); "
        f"{gpu:,.0f} a second on one {GPU_NAME} ({GPU_RATE_SOURCE})",
        f"the whole table: {duration(space['pairs'] * core_seconds)} of one CPU core, "
        f"{duration(space['pairs'] / gpu)} of one {GPU_NAME}",
        f"the {space['commonest_codes']} commonest area codes ({space['commonest_rows']} of {len(rows)} rows): "
        f"{space['commonest_pairs']:.2e} guesses, {duration(space['commonest_pairs'] / gpu)} of one {GPU_NAME}",
    ]
    return lines


def byte_list(data):
    return "{" + ", ".join(f"0x{b:02x}" for b in data) + "}"


def cpp_source(input_name, salt, iterations, size, sealed, test_table=None):
    out = [f"// Sealed from core/roster/{input_name} by tools/seal_roster.py. Do not edit.",
           '#include "core/roster/DeploymentData.h"', ""]
    namespace = "roster::deployment" if test_table is None else "roster::testing"
    if test_table is not None:
        out += ["namespace roster::testing {", f"extern const SealedTable {test_table};", "}", ""]
    out += [f"namespace {namespace} {{", "", "namespace {", ""]
    for number, (_, _, box) in enumerate(sealed, 1):
        out.append(f"const std::uint8_t Sealed{number}[] = {byte_list(box)};")
    out += ["", f"const SealedRow Rows[{len(sealed)}] = {{"]
    for number, (tag, nonce, _) in enumerate(sealed, 1):
        out.append(f"    {{{byte_list(tag)},\n     {byte_list(nonce)},\n     Sealed{number}}},")
    out += ["};", "", "} // namespace", ""]
    table = f"{{{byte_list(salt)}, {iterations}, {size}, Rows}}"
    if test_table is None:
        out += [f"static_assert({iterations} >= MinimumIterations, \"a shipped table takes the full work\");",
                f"const SealedTable table{table};", "",
                "const PlainColumns* const Plain = nullptr;", "const SealedTable* const Sealed = &table;"]
    else:
        out.append(f"const SealedTable {test_table}{table};")
    out += ["", f"}} // namespace {namespace}"]
    return "\n".join(out) + "\n"


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--estimate", action="store_true", help="print what dumping the table costs, and seal nothing")
    ap.add_argument("input", type=Path)
    ap.add_argument("output", type=Path, nargs="?")
    ap.add_argument("--iterations", type=int, default=SHIPPED_ITERATIONS)
    ap.add_argument("--test-table", metavar="NAME", help="write roster::testing::NAME for the tests")
    args = ap.parse_args(argv[1:])
    if (args.output is None) != args.estimate:
        ap.error("give OUTPUT.cpp, or --estimate without it")
    if args.iterations < MINIMUM_ITERATIONS and args.test_table is None and not args.estimate:
        ap.error(f"a program's table takes at least {MINIMUM_ITERATIONS:,} iterations")
    if args.iterations < 1:
        ap.error("iterations must be positive")
    try:
        import cryptography  # noqa: F401
    except ImportError:
        print("seal_roster.py: error: sealing needs Debian's python3-cryptography (tools/setup.sh publish installs it); "
              "run it with /usr/bin/python3", file=sys.stderr)
        return 1
    rows = read_table_file(args.input)
    if rows is None:
        return 1
    problems = repeats(rows)
    for problem in problems:
        print(f"{args.input}: error: {problem}", file=sys.stderr)
    if problems:
        return 1
    if args.estimate or args.test_table is None:
        for line in cost_report(rows, args.iterations, seconds_per_derivation(args.iterations)):
            print(f"seal_roster.py: {line}")
    if args.estimate:
        return 0
    try:
        salt, size, sealed = seal_rows(rows, args.iterations)
    except ValueError as error:
        print(f"{args.input}: error: {error}", file=sys.stderr)
        return 1
    write_if_changed(args.output, cpp_source(args.input.name, salt, args.iterations, size, sealed, args.test_table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
