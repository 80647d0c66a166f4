#!/usr/bin/python3
"""None of the roster's ticket numbers, names and identity numbers can be read from what a sealed build leaves: the
programs, and the Debian package and the zip made from them, whose contents are searched file by file. The plain
programs must show every one of the 1,032 texts to the same search, so that a search that finds nothing means
something.

Usage: check_sealed_files.py --roster TABLE --plain FILE... --sealed FILE... [--sealed-build DIR]
       (--sealed-build: a Linux build tree to pack into a .deb with cpack, whose contents are searched too)
"""

import argparse
import hashlib
import io
import os
import subprocess
import sys
import tarfile
import tempfile
import zipfile

import roster_texts


def contents(path):
    """[(name, bytes)]: the file itself, and each member of a .deb or a .zip."""
    with open(path, "rb") as f:
        data = f.read()
    parts = [(os.path.basename(path), data)]
    if path.endswith(".zip"):
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            parts += [(f"{os.path.basename(path)}:{name}", archive.read(name)) for name in archive.namelist()
                      if not name.endswith("/")]
    elif path.endswith(".deb"):
        tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", path], capture_output=True, check=True).stdout
        with tarfile.open(fileobj=io.BytesIO(tar)) as archive:
            parts += [(f"{os.path.basename(path)}:{m.name}", archive.extractfile(m).read()) for m in archive
                      if m.isfile()]
    return parts


def published_as_sealed(path):
    """What is wrong with how a sealed package is published: its file name, the folder inside a zip, and the SHA-256
    file beside it; [] when nothing is."""
    name = os.path.basename(path)
    wrong = []
    stem = name[:-len(".zip")] if name.endswith(".zip") else name.split("_")[0]
    if not stem.endswith("-sealed"):
        wrong.append(f"{name}: the file name does not say it is sealed")
    if name.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            folders = {member.split("/")[0] for member in archive.namelist()}
        if folders != {stem}:
            wrong.append(f"{name}: the folder inside is {sorted(folders)}, not {stem}")
    try:
        with open(path + ".sha256", encoding="ascii") as f:
            listed = f.read().split()
    except OSError:
        return wrong + [f"{name}: no {name}.sha256 beside it"]
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if listed != [digest, name]:
        wrong.append(f"{name}.sha256 holds {listed}, not the file's hash and name")
    return wrong


def pack_deb(build_dir, scratch):
    out = os.path.join(scratch, "deb")
    subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", out],
                   capture_output=True, check=True)
    debs = [os.path.join(out, name) for name in os.listdir(out) if name.endswith(".deb")]
    if len(debs) != 1:
        raise SystemExit(f"FAIL: cpack made {debs}")
    return debs[0]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--roster", required=True)
    ap.add_argument("--plain", nargs="+", default=[])
    ap.add_argument("--sealed", nargs="+", default=[])
    ap.add_argument("--sealed-build")
    args = ap.parse_args()
    rows = roster_texts.read_rows(args.roster)
    every = len(roster_texts.texts_of(rows))
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        sealed = list(args.sealed) + ([pack_deb(args.sealed_build, scratch)] if args.sealed_build else [])
        for path in args.plain:
            found = {(column, row) for column, row, _, _ in roster_texts.find(open(path, "rb").read(), rows)}
            ok = len(found) == every
            failures += not ok
            print(f"{'ok' if ok else 'FAIL'}: the plain {os.path.basename(path)} shows {len(found)} of the {every} "
                  "texts to this search")
        for path in sealed:
            if path.endswith((".zip", ".deb")):
                wrong = published_as_sealed(path)
                failures += bool(wrong)
                print("\n".join(f"FAIL: {w}" for w in wrong) or f"ok: {os.path.basename(path)} is named sealed, "
                      "with its SHA-256 file beside it")
            for name, data in contents(path):
                hits = roster_texts.find(data, rows)
                if hits:
                    failures += 1
                    column, row, text, encoding = hits[0]
                    print(f"FAIL: {name} holds {len(hits)} roster texts, the first {column} of row {row} "
                          f"({text}, {encoding})")
                else:
                    print(f"ok: {name} ({len(data):,} bytes) holds none of them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
