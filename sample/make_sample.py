#!/usr/bin/env python3
"""Writes the sample archive tree sample/connect (deterministic: the same bytes on every run).

The tree is one archive of the archive system, "connect", as it lies below \\ARCHIVE\\SYSTEM\\connect
of an installation: record files with 430-byte records (archive.dat, archive.dir, archive.add), a
few ordinary text and binary files, an empty file, and the subdirectories config (with its own
archive.dat and a nested directory) and data. The build packs it into sample/connect.zpk.

Record layout: flags word at 0, kind word at 2 (record type in bits 12-14), other data at 4-111,
the tagged text list at 112-374 (items of NUL, tag byte, text; ended by two NULs; remains of older
values may follow the end), other data at 375-429 beginning with Unix times. Texts in the records
are in the OEM code page 850.

Usage: make_sample.py [OUTPUT_DIR]   (default: the connect folder beside this script)
"""
import os
import struct
import sys

RECORD_SIZE = 430
TAGS_OFFSET = 112
TAGS_SIZE = 263
TIMES_OFFSET = 375
SLOT_FREE = 0x0400
BASE_TIME = 1230768000  # 2009-01-01 00:00:00 UTC


class Lcg:
    """Small linear congruential generator: arbitrary but fixed filler bytes."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def byte(self):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.state >> 16) & 0xFF

    def bytes(self, count):
        return bytes(self.byte() for _ in range(count))


def oem(text):
    return text.encode("cp850")


def tag_list(items, remains=b""):
    """items: (tag, text bytes). remains: bytes left behind the end mark, as older values leave them."""
    area = bytearray()
    for tag, text in items:
        assert 0 not in text and 1 <= tag <= 255
        area += b"\0" + bytes([tag]) + text
    area += b"\0\0"
    area += remains
    assert len(area) <= TAGS_SIZE, "tag list does not fit"
    return bytes(area) + bytes(TAGS_SIZE - len(area))


def record(seed, kind, items, flags=0x0001, remains=b""):
    rng = Lcg(seed)
    rec = bytearray(RECORD_SIZE)
    struct.pack_into("<HH", rec, 0, flags, kind)
    rec[4:TAGS_OFFSET] = rng.bytes(TAGS_OFFSET - 4)
    rec[TAGS_OFFSET:TAGS_OFFSET + TAGS_SIZE] = tag_list(items, remains)
    created = BASE_TIME - 86400 * (seed % 97)
    modified = created + 3600 * (seed % 13)
    struct.pack_into("<II", rec, TIMES_OFFSET, created, modified)
    rec[TIMES_OFFSET + 8:] = rng.bytes(RECORD_SIZE - TIMES_OFFSET - 8)
    assert len(rec) == RECORD_SIZE
    return bytes(rec)


def item_records(seed, entries):
    """archive.dat records (type 2): tags 1 name, 2 kind of item, 3 path, 8 number."""
    out = b""
    for i, (name, kind_text, path) in enumerate(entries):
        items = [(1, oem(name)), (2, oem(kind_text)), (3, oem(path)), (8, oem("%05d" % (seed * 10 + i)))]
        out += record(seed + i, 0x2000 | (i & 3), items)
    return out


def archive_dir_records():
    """13 records of archives below connect: records 0-8 lie in the first 4096 bytes, record 9
    (bytes 3870-4299) straddles that boundary. Relative paths, one UNC path, one with a drive
    colon, one record without a path, and one reusable slot."""
    specs = [
        ("config", "\\config", "Konfiguration"),
        ("data", "\\data", "Daten"),
        ("briefe", "\\briefe", "Briefe und Faxe"),
        ("vertrag", "\\vertrag", "Verträge"),
        ("kunden", "\\kunden", "Kundenkorrespondenz"),
        ("projekt", "\\projekt", "Projektunterlagen"),
        ("technik", "\\technik", "Technische Dokumentation"),
        ("alt", "\\alt", "Ablage (frei)"),
        ("intern", "\\intern", "Interne Mitteilungen"),
        ("grenze", "\\grenze\\block", "Über die Blockgrenze"),
        ("extern", "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\extern", "Externes Archiv"),
        ("lokal", "C:\\ARCHIVE\\lokal", "Lokales Archiv"),
        ("ohnepfad", None, "Ohne Pfadangabe"),
    ]
    out = b""
    for i, (name, path, title) in enumerate(specs):
        items = [(1, oem(name))]
        if path is not None:
            items.append((3, oem(path)))
        items.append((4, oem(title)))
        flags = 0x0001 | (SLOT_FREE if name == "alt" else 0)
        # Some records keep remains of a longer earlier path behind their end mark.
        remains = oem("\x03\\veraltet\\pfad\\von\\frueher") if i % 4 == 1 else b""
        out += record(100 + i, 0x1000 | (i & 1), items, flags=flags, remains=remains)
    assert len(out) == 13 * RECORD_SIZE
    return out


def archive_add_records():
    """First record: the archive itself; two more that are never rewritten."""
    out = record(200, 0x1000, [(1, oem("connect")), (3, oem("\\")), (4, oem("Connect Beispielarchiv"))])
    out += record(201, 0x1000, [(1, oem("zusatz")), (3, oem("\\zusatz")), (4, oem("Zusätzliche Angaben"))])
    out += record(202, 0x1000, [(1, oem("anhang")), (3, oem("\\anhang")), (6, oem("x"))])
    return out


def text_file(lines):
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def binary_file(seed, size):
    rng = Lcg(seed)
    out = bytearray()
    while len(out) < size:
        # Runs and noise: something a compressor has work with.
        if rng.byte() < 96:
            out += bytes([rng.byte()]) * (rng.byte() % 40 + 3)
        else:
            out += rng.bytes(rng.byte() % 24 + 1)
    return bytes(out[:size])


def journal():
    lines = []
    for day in range(1, 121):
        lines.append("2008-%02d-%02d  Eintrag %03d: Dokument abgelegt, Ablage %s, Bearbeiter %s"
                     % (9 + (day - 1) // 30, (day - 1) % 30 + 1, day,
                        ["Briefe", "Verträge", "Kunden", "Technik"][day % 4], ["Meier", "Schulz", "Özdemir"][day % 3]))
    return text_file(lines)


def tree():
    files = {
        "archive.dat": item_records(10, [
            ("Anschreiben", "Dokument", "\\config\\anschreiben.doc"),
            ("Preisliste", "Tabelle", "\\data\\preise.xls"),
        ]),
        "archive.dir": archive_dir_records(),
        "archive.add": archive_add_records(),
        "access.ini": b"",
        "connect.ini": text_file([
            "[Connect]", "Titel=Connect Beispielarchiv", "Version=3.2", "Sprache=Deutsch", "",
            "[Ablage]", "Pfad=\\ARCHIVE\\SYSTEM\\connect", "Rechte=Lesen,Schreiben",
        ]),
        "readme.txt": text_file([
            "Connect Beispielarchiv",
            "======================",
            "",
            "Dieses Archiv zeigt den Aufbau eines Archivs: Verzeichnisdateien (archive.dat,",
            "archive.dir, archive.add), gewöhnliche Dateien und Unterverzeichnisse.",
        ] + ["Zeile %d: Der Inhalt wiederholt sich, damit die Komprimierung etwas zu tun hat." % i
             for i in range(1, 40)]),
        "logo.bmp": binary_file(7, 5000),
        "config/archive.dat": item_records(20, [
            ("Anschreiben", "Dokument", "\\config\\anschreiben.doc"),
            ("Vorlage", "Vorlage", "\\config\\vorlagen\\brief.dot"),
            ("Extern", "Verweis", "\\\\SRV\\SYS\\zelvar\\vorlagen\\fremd.dot"),
        ]),
        "config/settings.txt": text_file(["Schriftart=Arial", "Groesse=10", "Rand=2,5"]),
        "config/profile.bin": binary_file(11, 1500),
        "config/vorlagen/brief.dot": binary_file(13, 3000),
        "config/vorlagen/memo.txt": text_file(["Memo", "", "An:", "Von:", "Betreff:"]),
        "data/journal.log": journal(),
        "data/table.bin": binary_file(17, 9000),
    }
    return files


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "connect")
    for relative, data in sorted(tree().items()):
        path = os.path.join(out_dir, *relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    print("sample tree written to", out_dir)


if __name__ == "__main__":
    main()
