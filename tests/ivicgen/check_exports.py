"""Checks that the library exports exactly the Ztv_ functions the object model
lists, and nothing of the driver's inner C++ namespaces.

    python3 check_exports.py LIBRARY MODEL_DIR
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "modelgen"))

from model import load  # noqa: E402

# Namespaces of the driver's own C++ code; none of it is for programs.
INTERNAL_NAMESPACES = ("ztv::", "visa::", "ivi::", "reg::", "com_detail::", "emulator::")

# Extensions declared apart in the public header, beyond the model's functions.
EXTENSIONS = {"Ztv_WaitForServiceRequest", "Ztv_DiscoverInstruments", "Ztv_SystemReadBytes", "Ztv_ListResources",
              "Ztv_Snapshot", "Ztv_RestoreSnapshot"}


def main():
    library, model_dir = sys.argv[1:3]
    listing = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True, text=True)
    exported = {line.split()[-1] for line in listing.stdout.splitlines()
                if line.split() and line.split()[-1].startswith("Ztv_") and line.split()[-2] in ("T", "W")}
    wanted = set(load(model_dir).exports) | EXTENSIONS
    for name in sorted(wanted - exported):
        print("missing export:", name)
    for name in sorted(exported - wanted):
        print("unexpected export:", name)
    print("%d Ztv_ exports, %d in the model" % (len(exported), len(wanted)))
    demangled = subprocess.run(["nm", "-DC", "--defined-only", library], check=True, capture_output=True,
                               text=True).stdout.splitlines()
    internals = [line for line in demangled if any(ns in line for ns in INTERNAL_NAMESPACES)]
    for line in internals[:20]:
        print("internal export:", line)
    print("%d exported symbols, %d internal" % (len(demangled), len(internals)))
    return 0 if exported == wanted and not internals else 1


if __name__ == "__main__":
    sys.exit(main())
