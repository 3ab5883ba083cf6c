#!/usr/bin/env python3
"""Generates core/code_page_tables.inc: the byte -> Unicode tables of the single-byte code pages.

The tables come from the C library's iconv (called through ctypes, so the result is what
glibc converts, not Python's own codecs). Each byte is converted on its own; a byte that iconv
rejects is "undefined" in that code page and maps to the code point of the same value
(U+0080..U+00FF), so that text read and written back keeps every byte. Where that code point
already belongs to a defined byte (CP857 leaves 0xD5, 0xE7 and 0xF2 undefined while 0xE5, 0x87
and 0x95 are Õ, ç and ò), the undefined byte maps to the private-use code point U+F700 + byte
instead, so the reverse table still gives each byte back.

The generator refuses to write a table that would break the converter's invariants:
  1. bytes 0x00..0x7F map to the ASCII code point of the same value;
  2. every byte maps to exactly one code point of the Basic Multilingual Plane, not a
     surrogate and not U+FFFD;
  3. no two bytes map to the same code point (the reverse table is a function).

Usage: tools/gen_code_page_tables.py [output]   (default: core/code_page_tables.inc beside
this script's parent folder). Rerun only when the list below changes.
"""

import ctypes
import ctypes.util
import os
import struct
import sys

# Windows code page number -> glibc iconv name. The names are glibc's own converters:
# 874 is IBM874 (glibc's Windows-874 variant, with the 0x80..0x9F punctuation), 10007 is
# CP10007 (the Windows form of Mac Cyrillic, not MAC-UK), 10029 is MAC-CENTRALEUROPE.
CODE_PAGES = [
    (437, "CP437"),
    (737, "CP737"),
    (775, "CP775"),
    (850, "CP850"),
    (852, "CP852"),
    (855, "CP855"),
    (857, "CP857"),
    (860, "CP860"),
    (861, "CP861"),
    (862, "CP862"),
    (863, "CP863"),
    (865, "CP865"),
    (866, "CP866"),
    (868, "IBM868"),
    (874, "IBM874"),
    (1250, "CP1250"),
    (1251, "CP1251"),
    (1252, "CP1252"),
    (1253, "CP1253"),
    (1254, "CP1254"),
    (1255, "CP1255"),
    (1256, "CP1256"),
    (1257, "CP1257"),
    (10000, "MACINTOSH"),
    (10007, "CP10007"),
    (10029, "MAC-CENTRALEUROPE"),
]

# Undefined bytes whose own value is taken map to PRIVATE_BASE + byte.
PRIVATE_BASE = 0xF700

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p,
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
_libc.iconv_close.argtypes = [ctypes.c_void_p]
_libc.gnu_get_libc_version.restype = ctypes.c_char_p

_ICONV_FAILED = ctypes.c_void_p(-1).value


def decode_byte(cd, byte):
    """The code points iconv gives for one byte, or None when the byte is rejected."""
    _libc.iconv(cd, None, None, None, None)  # reset the shift state
    src = ctypes.create_string_buffer(bytes([byte]), 1)
    dst = ctypes.create_string_buffer(64)
    src_ptr = ctypes.c_char_p(ctypes.addressof(src))
    dst_ptr = ctypes.c_char_p(ctypes.addressof(dst))
    src_left = ctypes.c_size_t(1)
    dst_left = ctypes.c_size_t(64)
    result = _libc.iconv(cd, ctypes.byref(src_ptr), ctypes.byref(src_left),
                         ctypes.byref(dst_ptr), ctypes.byref(dst_left))
    if result == ctypes.c_size_t(-1).value or src_left.value != 0:
        return None
    # Flush anything a stateful decoder still holds (CP1255 buffers a base letter waiting
    # for a combining point).
    _libc.iconv(cd, None, None, ctypes.byref(dst_ptr), ctypes.byref(dst_left))
    produced = 64 - dst_left.value
    raw = dst.raw[:produced]
    return list(struct.unpack("<%dI" % (produced // 4), raw))


def build_table(number, name):
    cd = _libc.iconv_open(b"UTF-32LE", name.encode())
    if cd is None or cd == _ICONV_FAILED:
        raise SystemExit("iconv has no converter %s for code page %d" % (name, number))
    table = [None] * 256
    undefined = []
    try:
        for byte in range(256):
            points = decode_byte(cd, byte)
            if points is None:
                undefined.append(byte)
                continue
            if len(points) != 1:
                raise SystemExit("%s: byte 0x%02X gives %d code points" % (name, byte, len(points)))
            table[byte] = points[0]
    finally:
        _libc.iconv_close(cd)
    defined_points = set(p for p in table if p is not None)
    private = []
    for byte in undefined:
        if byte in defined_points:
            table[byte] = PRIVATE_BASE + byte
            private.append(byte)
        else:
            table[byte] = byte
    for byte, point in enumerate(table):
        if byte < 0x80 and point != byte:
            raise SystemExit("%s: byte 0x%02X is not ASCII (U+%04X)" % (name, byte, point))
        if point > 0xFFFF or 0xD800 <= point <= 0xDFFF or point == 0xFFFD:
            raise SystemExit("%s: byte 0x%02X maps to U+%04X" % (name, byte, point))
    if len(set(table)) != 256:
        raise SystemExit("%s: two bytes map to one code point" % name)
    return table, undefined, private


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "core", "code_page_tables.inc")
    version = _libc.gnu_get_libc_version().decode()
    lines = [
        "// Generated by tools/gen_code_page_tables.py from glibc %s iconv. Do not edit." % version,
        "//",
        "// One entry per single-byte code page: its number, the iconv converter the table was",
        "// taken from, and the Unicode code point of every byte 0x00..0xFF. Bytes the converter",
        "// rejects map to the code point of the same value, or to U+F700 + byte when a defined",
        "// byte already has that code point; both kinds are listed in the comment above each table.",
        "// clang-format off",
    ]
    for number, name in CODE_PAGES:
        table, undefined, private = build_table(number, name)
        undefined_text = " ".join("%02X" % b for b in undefined) if undefined else "none"
        lines.append("")
        lines.append("// %d (%s); undefined bytes: %s" % (number, name, undefined_text))
        if private:
            lines.append("// (mapped to U+F700 + byte: %s)" % " ".join("%02X" % b for b in private))
        lines.append("{%d, \"%s\", {" % (number, name))
        for row in range(0, 256, 8):
            lines.append("    " + " ".join("0x%04X," % p for p in table[row:row + 8]))
        lines.append("}},")
    lines.append("// clang-format on")
    with open(output, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
