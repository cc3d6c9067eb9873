#!/usr/bin/env python3
# The benches' releases, written to DIR: source.wad (MB megabytes of random bytes after "IWAD"),
# target.wad (runs of the source copied whole, with a changed, an added or a removed stretch
# between them), and, unless --pair-only, zipped.wad (as compressible as game data) in
# zipped.zip. The layout is the same on every run; the bytes are fresh.
# Usage: tools/make-bench-pair.py DIR MB [--pair-only]
import os, random, sys, zipfile

if len(sys.argv) < 3 or sys.argv[3:] not in ([], ["--pair-only"]):
    sys.exit("usage: make-bench-pair.py DIR MB [--pair-only]")
pair_only = sys.argv[3:] == ["--pair-only"]
out = sys.argv[1]
size = int(sys.argv[2]) * 1_000_000
random.seed(22)
source = bytearray(b"IWAD" + os.urandom(size - 4))
target = bytearray()
at = 0
# Runs copied whole, with a changed, an added or a removed stretch between them.
while at < len(source):
    run = random.randrange(200_000, 2_000_000)
    target += source[at:at + run]
    at += run
    kind = random.randrange(3)
    if kind == 0: target += os.urandom(random.randrange(16, 4096)); at += random.randrange(16, 4096)
    elif kind == 1: target += os.urandom(random.randrange(16, 65536))
    else: at += random.randrange(16, 65536)
open(os.path.join(out, "source.wad"), "wb").write(source)
open(os.path.join(out, "target.wad"), "wb").write(target)
if pair_only:
    sys.exit(0)
# Game data deflates to about half: stretches of compressed sound and graphics, of few distinct
# bytes (palette indices), and of short repeats (flats, map lumps).
few = bytes(range(256)).translate(bytes(b & 0x1F for b in range(256)))
zipped = bytearray(b"IWAD")
while len(zipped) < size:
    kind = random.randrange(10)
    if kind < 3: zipped += os.urandom(65536)
    elif kind < 7: zipped += os.urandom(65536).translate(few)
    else: zipped += os.urandom(random.randrange(64, 1024)) * 64
del zipped[size:]
open(os.path.join(out, "zipped.wad"), "wb").write(zipped)
with zipfile.ZipFile(os.path.join(out, "zipped.zip"), "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("readme.txt", "A release as players keep it.\n")
    archive.write(os.path.join(out, "zipped.wad"), "DOOM2.WAD")
