#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same zip, byte for byte.

    make_zip.py FOLDER OUT.zip

The folder is stored under its own name. Entries go in sorted order, each with the same time
(SOURCE_DATE_EPOCH, else the release date set in the project's CMakeLists.txt), the same
permissions (programs and libraries 0755, the rest 0644) and the same compression; nothing of
the machine that made it goes in.
"""
import calendar
import os
import re
import sys
import time
import zipfile


def release_epoch():
    """Midnight (UTC) of RZL_RELEASE_DATE in the project's CMakeLists.txt."""
    project = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    with open(project, encoding="utf-8") as f:
        found = re.search(r'set\(RZL_RELEASE_DATE "(\d{4})-(\d{2})-(\d{2})"\)', f.read())
    if not found:
        raise SystemExit("make_zip: no RZL_RELEASE_DATE in CMakeLists.txt")
    return calendar.timegm(tuple(int(part) for part in found.groups()) + (0, 0, 0))


def main(folder, out):
    folder = os.path.normpath(folder)
    top = os.path.basename(folder)
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or release_epoch())
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip cannot hold times before 1980
    paths = []
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        for name in files:
            paths.append(os.path.join(base, name))
    paths.sort(key=lambda p: os.path.relpath(p, folder).replace(os.sep, "/"))
    with zipfile.ZipFile(out + ".part", "w") as archive:
        for path in paths:
            name = top + "/" + os.path.relpath(path, folder).replace(os.sep, "/")
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 3  # Unix, so that the permissions below are read
            executable = name.endswith((".exe", ".dll"))
            entry.external_attr = (0o100755 if executable else 0o100644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2])
