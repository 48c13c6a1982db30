#!/usr/bin/env python3
"""Writes a zip file whose bytes depend only on the files' names and contents: entries in name
order under one folder, each dated at the given Unix time (UTC), mode 0644, deflated at level 9,
no extra fields.

    write_zip.py ZIP FOLDER UNIXTIME FILE...
"""
import os
import sys
import time
import zipfile


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    target, folder, unix_time, files = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
    # DOS times begin in 1980.
    date_time = max(time.gmtime(unix_time)[:6], (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(target + ".part", "w") as archive:
        for path in sorted(files, key=os.path.basename):
            entry = zipfile.ZipInfo(folder + "/" + os.path.basename(path), date_time)
            entry.create_system = 3  # Unix, so that the mode below is read
            entry.external_attr = 0o100644 << 16
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), zipfile.ZIP_DEFLATED, 9)
    os.replace(target + ".part", target)


if __name__ == "__main__":
    main()
