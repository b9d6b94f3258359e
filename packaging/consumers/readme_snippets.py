"""Writes the program snippets of the README's "Use it in your program" section
into a folder, exactly as printed, so that CI compiles what users copy.

    python3 readme_snippets.py README.md OUT_DIR

The section holds one ```c block (first.c), one ```cmake block
(CMakeLists.txt) and one ```cpp block (main.cpp).
"""

import os
import sys

FILES = {"c": "first.c", "cmake": "CMakeLists.txt", "cpp": "main.cpp"}
SECTION = "## Use it in your program"


def snippets(text):
    """{language: code} of the fenced blocks in the section."""
    found, language, lines, inside = {}, None, [], False
    for line in text.splitlines():
        if line.startswith("## "):
            inside = line.strip() == SECTION
            continue
        if not inside:
            continue
        if language is None and line.startswith("```"):
            language, lines = (line[3:].split() or [""])[0], []
        elif language is not None and line.startswith("```"):
            if language in found:
                raise ValueError("two %s blocks in %s" % (language, SECTION))
            found[language] = "\n".join(lines) + "\n"
            language = None
        elif language is not None:
            lines.append(line)
    return found


def main():
    readme, out = sys.argv[1:3]
    with open(readme, encoding="utf-8") as f:
        found = snippets(f.read())
    missing = [lang for lang in FILES if lang not in found]
    if missing:
        print("readme_snippets: no %s block in %s" % (", ".join(missing), SECTION), file=sys.stderr)
        return 1
    for language, name in FILES.items():
        with open(os.path.join(out, name), "w", encoding="utf-8") as f:
            f.write(found[language])
    return 0


if __name__ == "__main__":
    sys.exit(main())
