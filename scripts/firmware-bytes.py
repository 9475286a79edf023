#!/usr/bin/env python3
"""Prints the rows of firmware/README.md's "Where the bytes go" table.

    scripts/firmware-bytes.py build/dev/bin/4001

reads 4001.code, 4001.lst and 4001.sym there: every label that starts a
routine or a table (not the local labels, two letters and an underscore,
such as sc_col) gets a row with the bytes filled from its address up to the
next row's, or to the end of its page. The firmware README test holds the
table to the same rule.
"""
import re
import sys


def main(base):
    used = set()
    for line in open(base + ".code"):
        m = re.match(r"^([0-9A-F]{2}) / ([0-9A-F]{3})", line)
        if m:
            used.add(int(m.group(2), 16))
    symbols = {}
    for line in open(base + ".sym"):
        name, value = line.split()
        symbols[name] = int(value, 16)
    labels, current = [], "tallivo.asm"
    for line in open(base + ".lst"):
        m = re.match(r"; file (\S+)", line)
        if m:
            current = m.group(1).split("/")[-1]
            continue
        m = re.match(r"^(?:[0-9A-F]{3}\s+(?:[0-9A-F]{2} ?)+)?\s+\d+\s+([A-Za-z_]\w*):", line)
        if m:
            labels.append((m.group(1), current))

    def local(name):
        if name.startswith(("op_", "mp_", "mm_", "ex_", "k_")):
            return False
        return bool(re.match(r"^[a-z]{2}_", name) or re.match(r"^(a16|s16)_", name))

    rows = sorted((symbols[n], n, f) for n, f in labels if not local(n))
    for i, (address, name, source) in enumerate(rows):
        if i + 1 < len(rows) and rows[i + 1][0] == address:
            continue
        following = rows[i + 1][0] if i + 1 < len(rows) else 0x500
        end = min(following, (address & 0xF00) + 0x100)
        count = sum(1 for a in range(address, end) if a in used)
        print(f"| 0x{address:03X} | `{name}` | {count} | `{source}` |")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: scripts/firmware-bytes.py BUILD/bin/4001")
    main(sys.argv[1])
