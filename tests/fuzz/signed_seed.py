#!/usr/bin/env python3
"""Seeds for the packed-file fuzzer: a program carrying a packed file, signed as Authenticode tools do it.

  signed_seed.py program OUT        a minimal PE32 program (headers only)
  signed_seed.py sign IN OUT        IN padded to 8 bytes, a certificate table behind it, the PE security
                                    directory pointing to it
"""
import struct
import sys

PE_OFFSET = 0x40
OPTIONAL = PE_OFFSET + 24
SECURITY = OPTIONAL + 96 + 4 * 8


def program():
    b = bytearray(512)
    b[0:2] = b"MZ"
    struct.pack_into("<I", b, 0x3C, PE_OFFSET)
    b[PE_OFFSET:PE_OFFSET + 4] = b"PE\0\0"
    struct.pack_into("<HH", b, PE_OFFSET + 4, 0x14C, 0)
    struct.pack_into("<H", b, PE_OFFSET + 20, 224)
    struct.pack_into("<H", b, OPTIONAL, 0x10B)
    struct.pack_into("<I", b, OPTIONAL + 92, 16)
    return b


def sign(data):
    b = bytearray(data)
    b += bytes(-len(b) % 8)
    table = len(b)
    signature = bytes((0x30 + 13 * i) & 0xFF for i in range(61))
    entry = struct.pack("<IHH", 8 + len(signature), 0x0200, 0x0002) + signature
    entry += bytes(-len(entry) % 8)
    b += entry
    struct.pack_into("<II", b, SECURITY, table, len(entry))
    return b


if __name__ == "__main__":
    if sys.argv[1] == "program":
        open(sys.argv[2], "wb").write(program())
    else:
        open(sys.argv[3], "wb").write(sign(open(sys.argv[2], "rb").read()))
