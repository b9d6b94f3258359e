"""The README as CI checks it: its marked code blocks and its install table.

    python3 readme_blocks.py PAGE.md blocks OUT_DIR [SKIP]
        writes each fenced block marked `file=NAME` (```c file=first.c) as
        OUT_DIR/NAME and each block marked `run` (```sh run) as
        OUT_DIR/run-N.sh, in the order they stand, leaving out the blocks
        also marked SKIP; prints the run scripts.
    python3 readme_blocks.py README.md table PREFIX
        checks that every path of the install table exists under PREFIX
        (a `*` matches within one folder); prints the missing ones.
"""

import glob
import os
import re
import sys


def blocks(text):
    """(info words, code) of every fenced block."""
    found, info, lines = [], None, []
    for line in text.splitlines():
        if info is None and line.startswith("```"):
            info, lines = line[3:].split(), []
        elif info is not None and line.startswith("```"):
            found.append((info, "\n".join(lines) + "\n"))
            info = None
        elif info is not None:
            lines.append(line)
    return found


def write_blocks(text, out, skip):
    runs = 0
    for info, code in blocks(text):
        if skip and skip in info:
            continue
        names = [word[len("file="):] for word in info if word.startswith("file=")]
        if "run" in info:
            runs += 1
            names.append("run-%d.sh" % runs)
        for name in names:
            with open(os.path.join(out, name), "w", encoding="utf-8") as f:
                f.write(code)
            if name.startswith("run-"):
                print(name)
    return 0 if runs else 1


def table_paths(text):
    """The first cells' paths of the table under "## Install"."""
    section = text.split("\n## Install\n", 1)[1].split("\n## ", 1)[0]
    paths = []
    for row in section.splitlines():
        if row.startswith("| `"):
            paths += re.findall(r"`([^`]+)`", row.split("|")[1])
    return paths


def check_table(text, prefix):
    paths = table_paths(text)
    missing = [p for p in paths if not glob.glob(os.path.join(prefix, p.rstrip("/")))]
    for path in missing:
        print("not installed: %s" % path)
    return 1 if missing or not paths else 0


def main():
    readme, mode, where = sys.argv[1:4]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    if mode == "blocks":
        return write_blocks(text, where, sys.argv[4] if len(sys.argv) > 4 else None)
    return check_table(text, where)


if __name__ == "__main__":
    sys.exit(main())
