#!/usr/bin/env python3
"""Writes the seeds of fuzz/corpus/decode_file and fuzz/corpus/web_api from other seeds.

  fuzz/make_seeds.py decode_file fuzz/corpus/decode fuzz/corpus/decode_file
  fuzz/make_seeds.py web_api fuzz/corpus/zip/comment fuzz/corpus/decode/two_windows fuzz/corpus/web_api
"""
import os
import struct
import sys


class Seed:
    """An input as libFuzzer's FuzzedDataProvider reads it: bytes from the front, integers from
    the back."""
    def __init__(self): self.front = bytearray(); self.back = bytearray()
    def int(self, lo, hi, value):
        rng = hi - lo; v = value - lo; n = 0
        while n < 8 and (rng >> (8 * n)) > 0: n += 1
        bs = [(v >> (8 * (n - 1 - i))) & 0xFF for i in range(n)]  # first consumed is most significant
        for b in bs: self.back.append(b)
    def bool(self, v): self.back.append(1 if v else 0)
    def string(self, data):
        for c in data:
            self.front.append(c)
            if c == 0x5C: self.front.append(0x5C)
        self.front += b'\\n'  # a backslash and another byte end the string
    def bytes(self): return bytes(self.front) + bytes(reversed(self.back))


def decode_file(decode_dir, out):
    # Each decode seed behind the eight option bytes of decode_file_fuzzer.cpp: the source viewed;
    # read in 4-byte blocks with the patch in a file in 7-byte pieces; read in 4096-byte blocks with
    # the 2nd write failing and the output bound at 256 bytes; read in 9-byte blocks (16 once
    # raised) with the patch in a file in 3-byte pieces, the 3rd read finding the end and a stop
    # after the first window. The long seed only in the second way.
    variants = {'view': [2, 0, 0, 0, 0, 0, 0, 0], 'read_file': [2, 0, 7, 0x03, 0, 0, 0, 0],
                'write_fault': [12, 0, 0, 0x15, 2, 1, 0, 0], 'eof_stop': [0x13, 0, 3, 0x2B, 3, 0, 1, 0]}
    for name in sorted(os.listdir(decode_dir)):
        data = open(os.path.join(decode_dir, name), 'rb').read()
        for variant, header in variants.items():
            if name == 'long_section' and variant != 'read_file':
                continue
            header = list(header)
            header[1] = data[1]  # the source's length
            open(os.path.join(out, f'{name}_{variant}'), 'wb').write(bytes(header) + data[4:])


def web_api(zip_seed_path, decode_seed_path, out):
    zip_seed = open(zip_seed_path, 'rb').read()
    decode_seed = open(decode_seed_path, 'rb').read()
    patch = decode_seed[4 + decode_seed[1]:]
    wad = b'IWAD' + struct.pack('<ii', 1, 16) + struct.pack('<ii8s', 28, 4, b'MAP01\0\0\0') + b'abcd'
    # An IWAD hashed in two pieces and identified.
    s = Seed(); s.int(0, 8, 0); s.string(wad); s.int(0, 8, 3); s.int(-1, 70000, 16); s.int(0, 4, 2)
    s.int(-2, 18, 16); s.front += wad[:16]; s.int(-2, 18, 16); s.front += wad[16:32]
    s.bool(False); s.int(0, 4, 0)
    open(os.path.join(out, 'identify_wad'), 'wb').write(s.bytes())
    # An archive listed, and an entry of 4 bytes fed and checked.
    s = Seed(); s.int(0, 8, 1); s.string(zip_seed); s.int(0, 8, 4); s.int(0, 4, 1); s.string(b'a.zip')
    s.int(0, 8, 5); s.int(-1, 70000, 4); s.bool(True); s.int(0, 300, 4); s.int(0, 2**32 - 1, 0)
    s.bool(True); s.int(0, 4, 1); s.int(-2, 6, 4); s.front += b'abcd'; s.int(0, 3, 0)
    s.string(b'a.zip'); s.string(b'doom2.wad'); s.bool(True); s.int(0, 4, 0)
    open(os.path.join(out, 'unpack_entry'), 'wb').write(s.bytes())
    # A patch for doom2 v1.666 to v1.7's first step, and the conversion, in a folder and in place.
    s = Seed(); s.int(0, 8, 0); s.string(wad); s.int(0, 8, 2); s.int(-2, 116, 25); s.int(-2, 116, 27)
    s.string(patch); s.int(0, 8, 6); s.int(-2, 116, 25); s.int(0, 3, 1)
    for in_place in (False, True):
        s.int(0, 8, 8); s.int(-2, 116, 25); s.int(-2, 116, 27); s.int(0, 4, 0)
        s.int(0, 2, 1 if in_place else 0); s.bool(True); s.int(0, 3, 1)
    open(os.path.join(out, 'convert_with_folder_patch'), 'wb').write(s.bytes())


if __name__ == '__main__':
    if sys.argv[1] == 'decode_file':
        decode_file(sys.argv[2], sys.argv[3])
    else:
        web_api(sys.argv[2], sys.argv[3], sys.argv[4])
