#!/usr/bin/env python3
"""Makes the zip reader's test archives: as players' tools make them, and hostile ones.

Usage: make_archives.py OUTPUT [--seeds FOLDER] [--zip PROGRAM] [--7z PROGRAM]

OUTPUT gets one archive per case (tests/zip/zip_archive_test.cpp says what each must give), the
files that went into them under originals/, the names the CP437 entries must decode to in
cp437_names.txt, and, last, archives.stamp. The small_*.zip archives, of a few hundred bytes, go
to FOLDER too with --seeds: the zip fuzzer's seed corpus.

Made by python's zipfile, Info-ZIP zip and 7-Zip (Debian's zip and p7zip-full). The hostile cases
are honest archives with a field or a byte changed, or records written here byte by byte after
PKWARE's APPNOTE, so each breaks exactly one thing.
"""

import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

MIB = 1 << 20

LOCAL_SIGNATURE = 0x04034B50
CENTRAL_SIGNATURE = 0x02014B50
END_SIGNATURE = 0x06054B50
ZIP64_END_SIGNATURE = 0x06064B50
ZIP64_LOCATOR_SIGNATURE = 0x07064B50

# Field offsets in a central directory header (APPNOTE 4.3.12) and the end record (4.3.16).
CENTRAL_MADE_BY, CENTRAL_COMPRESSED, CENTRAL_SIZE, CENTRAL_NAME_LENGTH = 4, 20, 24, 28
CENTRAL_EXTRA_LENGTH, CENTRAL_COMMENT_LENGTH, CENTRAL_OFFSET = 30, 32, 42
CENTRAL_FIXED = 46
END_DISK_ENTRIES, END_ENTRIES = 8, 10
END_DIRECTORY_SIZE, END_DIRECTORY_OFFSET, END_FIXED = 12, 16, 22


def game_data(seed, size):
    """Bytes that compress about as a WAD does: a header, text, small-alphabet runs, noise."""
    rng = random.Random(seed)
    words = [b"E1M1", b"THINGS", b"LINEDEFS", b"SIDEDEFS", b"VERTEXES", b"SECTORS", b"PLAYPAL",
             b"COLORMAP", b"ENDOOM", b"DEMO1", b"TEXTURE1", b"PNAMES", b"DSPISTOL", b"D_RUNNIN"]
    out = bytearray(b"IWAD" + struct.pack("<II", 42, size - 64))
    while len(out) < size:
        kind = rng.randrange(3)
        if kind == 0:
            out += b" ".join(rng.choice(words) for _ in range(rng.randrange(4, 40))) + b"\n"
        elif kind == 1:
            out += bytes(rng.choice(b"\x00\x01\x02\x03\x10\x20\x40\x80") for _ in range(512))
        else:
            out += rng.randbytes(rng.randrange(16, 300))
    return bytes(out[:size])


class Unseekable:
    """A stream zipfile can only append to, as a pipe is: each entry is followed by a data
    descriptor instead of sizes in its local header."""

    def __init__(self, path):
        self.file = open(path, "wb")

    def write(self, data):
        return self.file.write(data)

    def flush(self):
        self.file.flush()

    def close(self):
        self.file.close()


def run(args, cwd, stdin=b""):
    """Runs a tool with pipes on both ends, as in `cat x | zip - ... | cat > y`: it can neither
    seek its output nor learn its input's size. Gives what it wrote to stdout."""
    # C locale: Info-ZIP keeps a name's bytes as they are, with no Unicode extra field.
    env = dict(os.environ, LC_ALL="C", TZ="UTC")
    return subprocess.run(args, cwd=cwd, env=env, check=True, input=stdin,
                          stdout=subprocess.PIPE).stdout


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def end_record(data):
    """The offset of the end record, for archives with no comment."""
    at = len(data) - END_FIXED
    assert u32(data, at) == END_SIGNATURE
    return at


def central_headers(data):
    """The offset of each central directory header, in order."""
    end = end_record(data)
    at = u32(data, end + END_DIRECTORY_OFFSET)
    offsets = []
    for _ in range(u16(data, end + END_ENTRIES)):
        assert u32(data, at) == CENTRAL_SIGNATURE
        offsets.append(at)
        at += CENTRAL_FIXED + sum(u16(data, at + field) for field in
                                  (CENTRAL_NAME_LENGTH, CENTRAL_EXTRA_LENGTH,
                                   CENTRAL_COMMENT_LENGTH))
    return offsets


def central_name(data, header):
    start = header + CENTRAL_FIXED
    return data[start:start + u16(data, header + CENTRAL_NAME_LENGTH)]


def header_of(data, name):
    for header in central_headers(data):
        if central_name(data, header) == name:
            return header
    raise KeyError(name)


def patched(data, at, fmt, value):
    out = bytearray(data)
    struct.pack_into(fmt, out, at, value)
    return bytes(out)


def local_data_offset(data, name):
    """Where the entry's data starts: past its local header's 30 bytes, name and extra field."""
    local = u32(data, header_of(data, name) + CENTRAL_OFFSET)
    return local + 30 + u16(data, local + 26) + u16(data, local + 28)


def to_zip64(data, size_override=None, count_override=None):
    """The archive with its directory in Zip64 form, as for an archive past 4 GiB: every size and
    offset in the central headers is 0xFFFFFFFF with the value in a Zip64 extra field, and the end
    record says 0xFFFF/0xFFFFFFFF and points through the locator at a Zip64 end record."""
    headers = central_headers(data)
    directory_start = u32(data, end_record(data) + END_DIRECTORY_OFFSET)
    directory = bytearray()
    for header in headers:
        fixed = bytearray(data[header:header + CENTRAL_FIXED])
        name = central_name(data, header)
        extra_at = header + CENTRAL_FIXED + len(name)
        extra = data[extra_at:extra_at + u16(data, header + CENTRAL_EXTRA_LENGTH)]
        size = u32(data, header + CENTRAL_SIZE)
        if size_override and name in size_override:
            size = size_override[name]
        zip64 = struct.pack("<HHQQQ", 1, 24, size, u32(data, header + CENTRAL_COMPRESSED),
                            u32(data, header + CENTRAL_OFFSET))
        struct.pack_into("<H", fixed, 6, 45)  # version needed: Zip64
        for field in (CENTRAL_COMPRESSED, CENTRAL_SIZE, CENTRAL_OFFSET):
            struct.pack_into("<I", fixed, field, 0xFFFFFFFF)
        struct.pack_into("<HH", fixed, CENTRAL_EXTRA_LENGTH, len(zip64) + len(extra), 0)
        directory += fixed + name + zip64 + extra
    count = len(headers) if count_override is None else count_override
    zip64_end_at = directory_start + len(directory)
    zip64_end = struct.pack("<IQHHIIQQQQ", ZIP64_END_SIGNATURE, 44, 45, 45, 0, 0, count, count,
                            len(directory), directory_start)
    locator = struct.pack("<IIQI", ZIP64_LOCATOR_SIGNATURE, 0, zip64_end_at, 1)
    end = struct.pack("<IHHHHIIH", END_SIGNATURE, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                      0)
    return data[:directory_start] + bytes(directory) + zip64_end + locator + end


def build_zip(entries):
    """An archive written record by record. Each entry: name, method, crc, declared size, the
    data as stored, and optionally the central header's extra field."""
    body = bytearray()
    directory = bytearray()
    for name, method, crc, size, stored, *extra in entries:
        extra = extra[0] if extra else b""
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", LOCAL_SIGNATURE, 20, 0, method, 0, 0x21, crc,
                            len(stored), size, len(name), 0) + name + stored
        directory += struct.pack("<IHHHHHHIIIHHHHHII", CENTRAL_SIGNATURE, 20, 20, 0, method, 0,
                                 0x21, crc, len(stored), size, len(name), len(extra), 0, 0, 0, 0,
                                 offset) + name + extra
    end = struct.pack("<IHHHHIIH", END_SIGNATURE, 0, 0, len(entries), len(entries),
                      len(directory), len(body), 0)
    return bytes(body + directory + end)


def unicode_path_archive(data):
    """CP437 names with Info-ZIP's Unicode path field beside them, as WinZip and Info-ZIP on
    Windows write them: the field holds the UTF-8 name and the CRC-32 of the plain one. The
    second entry was renamed by a tool that kept the old field, which no longer matches."""
    def unicode_path(plain, name):
        utf8 = name.encode("utf-8")
        return struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1, zlib.crc32(plain)) + utf8

    crc = zlib.crc32(data)
    return build_zip([
        (b"M\x81LLER.WAD", 0, crc, len(data), data, unicode_path(b"M\x81LLER.WAD", "Müller.wad")),
        (b"NEU\x81.WAD", 0, crc, len(data), data, unicode_path(b"ALT.WAD", "Alt.wad")),
    ])


def raw_deflate(data, level=9):
    compressor = zlib.compressobj(level, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def zero_bomb(total, piece=MIB):
    """Raw deflate of `total` zero bytes, made without holding them: one piece compressed and
    ended with a full flush (byte-aligned, no reference back), then repeated, then a final
    empty block."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    chunk = compressor.compress(bytes(piece)) + compressor.flush(zlib.Z_FULL_FLUSH)
    return chunk * (total // piece) + compressor.flush(zlib.Z_FINISH)


def python_zip(path, files, method=zipfile.ZIP_DEFLATED, comment=b"", force_zip64=False,
               stream=None):
    with zipfile.ZipFile(stream or path, "w", compression=method) as archive:
        for name, data in files:
            if name.endswith("/"):
                archive.mkdir(name)
                continue
            info = zipfile.ZipInfo(name, date_time=(1994, 9, 30, 12, 0, 0))
            info.compress_type = method
            with archive.open(info, "w", force_zip64=force_zip64) as entry:
                entry.write(data)
        archive.comment = comment
    if stream:
        stream.close()


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def flip(data, at):
    return data[:at] + bytes([data[at] ^ 0x55]) + data[at + 1:]


def make_archives(out, zip_program, sevenzip_program):
    work = os.path.join(out, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    originals = os.path.join(out, "originals")
    os.makedirs(originals, exist_ok=True)
    doom2 = game_data(2, 160 * 1024 + 7)
    doom = game_data(1, 40 * 1024 + 3)
    readme = b"Keep this with your game.\r\n" * 20
    for name, data in (("DOOM2.WAD", doom2), ("DOOM.WAD", doom), ("readme.txt", readme)):
        write(os.path.join(originals, name), data)
        write(os.path.join(work, name), data)

    def at(name):
        return os.path.join(out, name)

    def tool(name, *args, files=("DOOM2.WAD", "readme.txt")):
        run(list(args) + [at(name)] + list(files), work)

    game = [("DOOM2.WAD", doom2), ("readme.txt", readme)]

    # python's zipfile
    python_zip(at("python_stored.zip"), game, zipfile.ZIP_STORED)
    python_zip(at("python_deflate.zip"), game)
    python_zip(at("python_zip64.zip"), game, force_zip64=True)
    python_zip(at("python_pipe.zip"), game, stream=Unseekable(at("python_pipe.zip")))
    python_zip(at("python_empty_entries.zip"), [("EMPTY.WAD", b""), ("maps/", b"")],
               zipfile.ZIP_STORED)
    python_zip(at("python_empty_deflated.zip"), [("EMPTY.WAD", b"")])
    python_zip(at("python_no_entries.zip"), [])
    python_zip(at("two_iwads.zip"), [("DOOM.WAD", doom), ("extras/", b""),
                                     ("extras/readme.txt", readme), ("DOOM2.WAD", doom2)])
    python_zip(at("comment.zip"), game, comment=b"Get more maps at our BBS! " * 2520 + b"x" * 15)
    python_zip(at("utf8_names.zip"), [("Über.wad", doom), ("DOOM-🎮.WAD", doom)])

    # Info-ZIP zip
    tool("infozip_deflate.zip", zip_program, "-q", "-X", "-9")
    tool("infozip_stored.zip", zip_program, "-q", "-X", "-0")
    tool("infozip_zip64.zip", zip_program, "-q", "-X", "-fz")
    # To a pipe: a data descriptor follows the data. From a pipe: the entry is "-", Zip64.
    write(at("infozip_pipe.zip"), run([zip_program, "-q", "-X", "-", "DOOM2.WAD"], work))
    write(at("infozip_stdin.zip"), run([zip_program, "-q", "-X"], work, stdin=doom2))
    tool("encrypted_zipcrypto.zip", zip_program, "-q", "-X", "-P", "secret")
    # Split in 64 KiB parts: the last part, which holds the end record, is the .zip.
    run([zip_program, "-q", "-X", "-0", "-s", "64k", os.path.join(work, "split.zip"),
         "DOOM2.WAD"], work)
    shutil.copyfile(os.path.join(work, "split.zip"), at("split.zip"))
    # Names as DOS and old Windows tools wrote them: CP437 bytes, no UTF-8 flag.
    cp437_names = [b"M\x81LLER.WAD"] + [
        b"cp437-%02x-" % first + bytes(range(first, first + 32)) + b".wad"
        for first in (0x80, 0xA0, 0xC0, 0xE0)]
    for name in cp437_names:
        write(os.path.join(work.encode(), name), doom)
    run([zip_program, "-q", "-X", at("cp437_names.zip")] + cp437_names, work)
    # Info-ZIP on Linux keeps the system's UTF-8 names as they are, without the UTF-8 flag; the
    # same bytes from an MS-DOS host are CP437.
    write(os.path.join(work, "\u00dcber.wad"), doom)
    run([zip_program, "-q", "-X", at("unix_utf8_names.zip"), "\u00dcber.wad"], work)
    unix = open(at("unix_utf8_names.zip"), "rb").read()
    dos = patched(unix, central_headers(unix)[0] + CENTRAL_MADE_BY, "<H", 20)
    write(at("dos_names.zip"), dos)
    write(at("unicode_path.zip"), unicode_path_archive(doom))
    with open(at("cp437_names.txt"), "w", encoding="utf-8", newline="\n") as names:
        names.writelines(name.decode("cp437") + "\n" for name in cp437_names)

    # 7-Zip
    tool("sevenzip_deflate.zip", sevenzip_program, "a", "-tzip", "-bd")
    tool("sevenzip_deflate64.zip", sevenzip_program, "a", "-tzip", "-bd", "-mm=Deflate64")
    tool("sevenzip_bzip2.zip", sevenzip_program, "a", "-tzip", "-bd", "-mm=BZip2")
    tool("sevenzip_lzma.zip", sevenzip_program, "a", "-tzip", "-bd", "-mm=LZMA")
    tool("encrypted_aes.zip", sevenzip_program, "a", "-tzip", "-bd", "-psecret", "-mem=AES256")

    # Hostile: one thing broken in each.
    deflated = open(at("python_deflate.zip"), "rb").read()
    stored = open(at("python_stored.zip"), "rb").read()
    doom2_header = header_of(deflated, b"DOOM2.WAD")
    doom2_data = local_data_offset(deflated, b"DOOM2.WAD")
    compressed = u32(deflated, doom2_header + CENTRAL_COMPRESSED)
    write(at("damaged_deflate.zip"), flip(deflated, doom2_data + compressed // 2))
    write(at("damaged_stored.zip"),
          flip(stored, local_data_offset(stored, b"DOOM2.WAD") + len(doom2) // 2))
    end = end_record(deflated)
    size = len(deflated)
    last_header = central_headers(deflated)[-1]
    # One field of the deflated archive set to the value given.
    for name, field, fmt, value in (
            ("outside_directory.zip", end + END_DIRECTORY_OFFSET, "<I", size + 1000),
            ("outside_directory_size.zip", end + END_DIRECTORY_SIZE, "<I", size),
            ("outside_entry.zip", doom2_header + CENTRAL_OFFSET, "<I", size + 100),
            ("outside_data.zip", doom2_header + CENTRAL_COMPRESSED, "<I", size),
            ("no_local_header.zip", doom2_header + CENTRAL_OFFSET, "<I", 1),
            ("too_large.zip", doom2_header + CENTRAL_SIZE, "<I", (1 << 30) + 1),
            ("name_overrun.zip", last_header + CENTRAL_NAME_LENGTH, "<H", 0xFFFF)):
        write(at(name), patched(deflated, field, fmt, value))
    write(at("count_mismatch.zip"), patched(patched(deflated, end + END_ENTRIES, "<H", 0xFFFE),
                                            end + END_DISK_ENTRIES, "<H", 0xFFFE))
    write(at("zip64_full.zip"), to_zip64(deflated))
    write(at("zip64_too_large.zip"), to_zip64(deflated, size_override={b"DOOM2.WAD": 5 << 30}))
    write(at("zip64_huge_count.zip"), to_zip64(deflated, count_override=1 << 62))
    write(at("truncated.zip"), deflated[:size // 2])
    write(at("bomb.zip"), build_zip([(b"BOMB.WAD", 8, zlib.crc32(bytes(MIB)), MIB,
                                      zero_bomb(1 << 30))]))
    write(at("short.zip"), build_zip([(b"SHORT.WAD", 8, zlib.crc32(doom), 2 * len(doom),
                                       raw_deflate(doom))]))
    write(at("not_zip.wad"), doom)
    write(at("empty.zip"), b"")
    shutil.rmtree(work)


def small_archives(zip_program):
    """Archives of a few hundred bytes, each a different way through the reader."""
    data = game_data(7, 300)
    game = [("DOOM2.WAD", data), ("readme.txt", b"hello\n")]
    archives = {}
    work = tempfile.mkdtemp()
    try:
        def made(name, *args, **options):
            path = os.path.join(work, name)
            python_zip(path, *args, **options)
            with open(path, "rb") as source:
                archives[name] = source.read()

        made("stored", game, zipfile.ZIP_STORED)
        made("deflate", game)
        made("data_descriptor", game, stream=Unseekable(os.path.join(work, "data_descriptor")))
        made("comment", game[:1], comment=b"a comment")
        made("no_entries", [])
        archives["zip64_data_descriptor"] = run([zip_program, "-q", "-X"], work, stdin=data)
    finally:
        shutil.rmtree(work)
    archives["zip64"] = to_zip64(archives["deflate"])
    archives["unicode_path"] = unicode_path_archive(data[:100])
    return archives


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--seeds")
    parser.add_argument("--zip", default="zip")
    parser.add_argument("--7z", dest="sevenzip", default="7z")
    args = parser.parse_args()
    os.makedirs(args.output, exist_ok=True)
    make_archives(args.output, args.zip, args.sevenzip)
    for name, data in small_archives(args.zip).items():
        write(os.path.join(args.output, "small_%s.zip" % name), data)
        if args.seeds:
            os.makedirs(args.seeds, exist_ok=True)
            write(os.path.join(args.seeds, name), data)
    write(os.path.join(args.output, "archives.stamp"), b"")
    return 0


if __name__ == "__main__":
    sys.exit(main())
