"""Every C function the library exports has its manual page, whose synopsis is
the prototype the public headers declare, and no page names a function the
library does not export.

    python3 check_man_pages.py LIBRARY MAN3_DIR HEADER_DIR...
"""

import glob
import os
import re
import subprocess
import sys


def exported(library):
    symbols = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                             text=True).stdout.split()
    return {s for s in symbols if s.startswith("Ztv_")}


def declared(header_dirs):
    prototypes = {}
    for folder in header_dirs:
        for path in glob.glob(os.path.join(folder, "*.h")):
            with open(path) as f:
                for m in re.finditer(r"ViStatus\s+_VI_FUNC\s+(Ztv_\w+)\s*\(([^;]*)\)\s*;", f.read()):
                    prototypes[m.group(1)] = "ViStatus _VI_FUNC %s(%s);" % (m.group(1), " ".join(m.group(2).split()))
    return prototypes


def synopsis(page):
    """The prototype line of a page's SYNOPSIS."""
    with open(page) as f:
        lines = f.read().split(".SH SYNOPSIS\n", 1)[1].split(".SH ", 1)[0].splitlines()
    return next((line for line in lines if line.startswith("ViStatus")), None)


def main():
    library, man_dir, header_dirs = sys.argv[1], sys.argv[2], sys.argv[3:]
    functions = exported(library)
    prototypes = declared(header_dirs)
    pages = {os.path.basename(p)[:-2] for p in glob.glob(os.path.join(man_dir, "Ztv_*.3"))}
    faults = ["%s: exported without a manual page (extensions: tools/modelgen/man_extensions.ini)" % f
              for f in sorted(functions - pages)]
    faults += ["%s: a manual page of a function the library does not export" % f for f in sorted(pages - functions)]
    for name in sorted(functions & pages):
        shown = synopsis(os.path.join(man_dir, name + ".3"))
        if shown != prototypes.get(name):
            faults.append("%s: the page shows %r, the headers declare %r" % (name, shown, prototypes.get(name)))
    if not os.path.exists(os.path.join(man_dir, "zentrava.3")):
        faults.append("zentrava.3: no overview page")
    print("%d exported functions, %d pages" % (len(functions), len(pages)))
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults or not functions else 0


if __name__ == "__main__":
    sys.exit(main())
