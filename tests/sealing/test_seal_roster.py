"""Tests of the sealing tool (tools/seal_roster.py): the known answers every platform shares, a table sealed and
opened again row by row, and the rules of what a program's table must be."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO_ROOT = Path(os.environ.get("ROSTER_REPO_ROOT", Path(__file__).resolve().parents[2]))
sys.path.insert(0, str(REPO_ROOT / "tools"))
import seal_roster  # noqa: E402
from embed_roster import read_table  # noqa: E402

TABLE = REPO_ROOT / "core" / "roster" / "candidates.tsv"
VECTORS = REPO_ROOT / "tests" / "sealing" / "vectors.tsv"


def vectors():
    lines = [line for line in VECTORS.read_text().splitlines() if line and not line.startswith("#")]
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def text(hex_utf16):
    return bytes.fromhex(hex_utf16).decode("utf-16-le", "surrogatepass")


class KnownAnswers(unittest.TestCase):
    def test_vectors(self):
        cases = vectors()
        self.assertGreaterEqual(len(cases), 4)
        for v in cases:
            with self.subTest(row=v["row"]):
                id_text, ticket = text(v["id"]), text(v["ticket"])
                self.assertEqual(seal_roster.encode_pair(id_text, ticket).hex(), v["pair"])
                tag, key = seal_roster.derive_pair_keys(id_text, ticket, bytes.fromhex(v["salt"]), int(v["iterations"]))
                self.assertEqual((tag.hex(), key.hex()), (v["lookup_tag"], v["row_key"]))
                sealed = seal_roster.seal_record(key, bytes.fromhex(v["nonce"]), int(v["row"]),
                                                 bytes.fromhex(v["record"]))
                self.assertEqual(sealed.hex(), v["sealed"])


class SealedTable(unittest.TestCase):
    def test_every_row_opens_with_its_own_pair_only(self):
        rows = read_table(TABLE.read_bytes())
        salt, size, sealed = seal_roster.seal_rows(rows, 2)
        self.assertEqual(len(salt), 16)
        self.assertEqual(len({len(box) for _, _, box in sealed}), 1, "every record has the same length")
        self.assertEqual(len({nonce for _, nonce, _ in sealed}), len(rows), "a nonce of its own per row")
        position_of = {tag: position for position, (tag, _, _) in enumerate(sealed, 1)}
        positions = []
        for ticket, name, id_text, score in rows:
            own_tag, key = seal_roster.derive_pair_keys(id_text, ticket, salt, 2)
            position = position_of[own_tag]
            _, nonce, box = sealed[position - 1]
            self.assertEqual(seal_roster.open_record(key, nonce, position, box), seal_roster.record_of(name, score, size))
            positions.append(position)
        self.assertEqual(sorted(positions), list(range(1, len(rows) + 1)), "every row at a position of its own")
        # Not the roster's order, which is a ranking: in order, or nearly so, by a chance of far less than 1e-100.
        self.assertLess(sum(p == n for n, p in enumerate(positions, 1)), 10, "the rows are sealed in a random order")
        # The pair in the wrong order, or with a lower-case x, is another pair.
        ticket, _, id_text, _ = rows[0]
        self.assertNotIn(seal_roster.derive_pair_keys(ticket, id_text, salt, 2)[0], position_of)

    def test_a_record_names_its_sealed_position(self):
        rows = [["10107010101", "王五", "340122199001010011", "88"], ["10107010102", "李四", "340122199001020021", "90"]]
        salt, _, sealed = seal_roster.seal_rows(rows, 2, order=[1, 0])
        _, key = seal_roster.derive_pair_keys(rows[1][2], rows[1][0], salt, 2)
        _, nonce, box = sealed[0]
        self.assertEqual(seal_roster.open_record(key, nonce, 1, box)[1:5], "李四".encode("utf-16-le"))
        from cryptography.exceptions import InvalidTag
        with self.assertRaises(InvalidTag):
            seal_roster.open_record(key, nonce, 2, box)

    def test_the_order_comes_from_the_system_generator(self):
        draws = []
        order = seal_roster.sealed_order(4, lambda bound: draws.append(bound) or 0)
        self.assertEqual(draws, [4, 3, 2])
        self.assertEqual(sorted(order), [0, 1, 2, 3])
        self.assertIs(seal_roster.sealed_order.__defaults__[0], seal_roster.secrets.randbelow)

    def test_repeats_are_refused_naming_the_rows(self):
        base = [["10107010101", "甲", "340122199001010011", "88"], ["10107010102", "乙", "340122199001020021", "90"],
                ["10107010103", "丙", "340122199001030031", "91"], ["10107010104", "丁", "340122199001040041", "92"]]
        cases = {
            "pair": ([base[0], base[1], base[2], list(base[1])],
                     ["rows 2, 4 have the same pair of numbers", "rows 2, 4 have the same ticket number",
                      "rows 2, 4 have the same identity number"]),
            "ticket": ([base[0], base[1], ["10107010101"] + base[2][1:], base[3]],
                       ["rows 1, 3 have the same ticket number"]),
            "identity number": ([base[0], base[1], base[2], base[3][:2] + [base[1][2], "92"]],
                                ["rows 2, 4 have the same identity number"]),
            "none": (base, []),
        }
        for what, (rows, expected) in cases.items():
            with self.subTest(repeated=what):
                self.assertEqual(seal_roster.repeats(rows), expected)
                if expected:
                    with self.assertRaises(ValueError):
                        seal_roster.seal_rows(rows, 2)
        # The command line names the rows and writes nothing: the shipped table with row 344 a copy of row 2.
        with tempfile.TemporaryDirectory() as directory:
            table = Path(directory) / "candidates.tsv"
            lines = TABLE.read_text(encoding="utf-8").splitlines()
            lines[344] = lines[2]
            table.write_text("\n".join(lines) + "\n", encoding="utf-8")
            out = Path(directory) / "out.cpp"
            r = subprocess.run([sys.executable, str(REPO_ROOT / "tools" / "seal_roster.py"), str(table), str(out),
                                "--iterations", "2", "--test-table", "T"], capture_output=True, text=True)
            self.assertEqual(r.returncode, 1)
            self.assertIn("error: rows 2, 344 have the same pair of numbers", r.stderr)
            self.assertNotIn(lines[2].split("\t")[2], r.stderr, "the values stay out of the message")
            self.assertFalse(out.exists())


class AttackCost(unittest.TestCase):
    # Two rooms (101070101, 101070102) of up to 30 seats: 60 tickets; area codes 340122, 340827 and 341881: 3;
    # birth dates 1990-02-27 to 1990-03-02: 4 days (1990 is no leap year); 1,000 sequences: 60 x 3 x 4 x 1,000.
    ROWS = [["10107010101", "甲", "340122199002270011", "88"], ["10107010230", "乙", "340827199003020021", "90"],
            ["10107010107", "丙", "340122199003010031", "91"], ["10107010212", "丁", "341881199002280041", "92"]]

    def test_pair_space_of_a_small_table(self):
        space = seal_roster.pair_space(self.ROWS)
        self.assertEqual((space["rooms"], space["seats"], space["tickets"]), (2, 30, 60))
        self.assertEqual((space["area_codes"], space["days"]), (3, 4))
        self.assertEqual(space["pairs"], 720_000)
        # 340122 alone holds half the rows.
        self.assertEqual((space["commonest_codes"], space["commonest_rows"], space["commonest_pairs"]), (1, 2, 240_000))

    def test_report_reckons_from_the_two_rates(self):
        lines = seal_roster.cost_report(self.ROWS, 600_000, 0.5)
        self.assertEqual(seal_roster.gpu_rate(600_000), 14_125)
        self.assertEqual(seal_roster.gpu_rate(1_500_000), 5_650)
        text = "\n".join(lines)
        self.assertIn("= 7.20e+05 guesses", text)
        self.assertIn("0.500 s on one core", text)
        # 720,000 x 0.5 s = 100 hours = 4.2 days of a core; 720,000 / 14,125 = 51 s of a GPU.
        self.assertIn("the whole table: 4.2 days of one CPU core, 51.0 seconds of one RTX 4090", text)
        self.assertIn("the 1 commonest area codes (2 of 4 rows): 2.40e+05 guesses, 17.0 seconds", text)

    def test_estimate_on_the_command_line_seals_nothing(self):
        r = subprocess.run([sys.executable, str(REPO_ROOT / "tools" / "seal_roster.py"), "--estimate", str(TABLE),
                            "--iterations", "1000"], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("pair space read from the table's own shape", r.stdout)
        self.assertIn("1,000 sequences", r.stdout)

    def test_record_length_does_not_tell_names_apart(self):
        rows = [["1", "王五", "1", "88"], ["2", "欧阳娜娜", "2", "100.5"], ["3", "李", "3", "缺考"]]
        size = seal_roster.record_size(rows)
        self.assertEqual({len(seal_roster.record_of(r[1], r[3], size)) for r in rows}, {size})

    def test_a_program_table_takes_the_full_work(self):
        self.assertGreaterEqual(seal_roster.SHIPPED_ITERATIONS, seal_roster.MINIMUM_ITERATIONS)
        self.assertGreaterEqual(seal_roster.MINIMUM_ITERATIONS, 600_000)
        with tempfile.TemporaryDirectory() as directory:
            out = Path(directory) / "DeploymentData.cpp"
            r = subprocess.run([sys.executable, str(REPO_ROOT / "tools" / "seal_roster.py"), str(TABLE), str(out),
                                "--iterations", "1000"], capture_output=True, text=True)
            self.assertEqual(r.returncode, 2)
            self.assertIn("at least 600,000 iterations", r.stderr)
            self.assertFalse(out.exists())

    def test_generated_source_holds_nothing_of_the_table(self):
        rows = read_table(TABLE.read_bytes())[:3]
        salt, size, sealed = seal_roster.seal_rows(rows, 2)
        source = seal_roster.cpp_source("candidates.tsv", salt, 2, size, sealed, "Tiny")
        for ticket, name, id_text, _ in rows:  # scores are too short not to turn up among the bytes
            for field in (ticket, name, id_text):
                self.assertNotIn(field, source)
        program = seal_roster.cpp_source("candidates.tsv", salt, 1_500_000, size, sealed)
        self.assertIn("static_assert(1500000 >= MinimumIterations", program)
        self.assertIn("const PlainColumns* const Plain = nullptr;", program)


if __name__ == "__main__":
    unittest.main()
