"""Generates the C++ side of the object model from model/*.model.

    python3 tools/modelgen/gen_cpp.py --model model --out build/model --public-out build/include/zentrava \
        --typelib build/share/zentrava/Zentrava.typelib.xml

Writes (a file is rewritten only when its text changes, so that unchanged outputs
do not trigger recompilation):
  enums.h, interfaces.h (in --public-out)   public headers, installed as zentrava/*.h
  zentrava_iids.cpp                         IID_<interface> = NameBasedGuid(<interface>)
  zentrava_enum_tables.h/.cpp               token tables and accepted values
  zentrava_custom.h                         hand-written member bodies (ztv::custom)
  zentrava_facets.h, zentrava_facets_<group>.cpp   descriptors and interface facets
  zentrava_node_classes.cpp                 node classes, collections, model size
  sources.txt                               the .cpp files above, for the build
  zentrava_sweep.cpp                        every generic property, for the tests only
and the type library description given by --typelib.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from count import counts  # noqa: E402
from gen_common import group_of  # noqa: E402
from gen_members import GenError, custom_declarations, facets_source  # noqa: E402
from gen_public import enums_header, interfaces_header  # noqa: E402
from gen_sweep import sweep_source  # noqa: E402
from gen_tables import (enum_tables_header, enum_tables_source, facets_header, iids_source,  # noqa: E402
                        node_classes_source)
from gen_typelib import typelib_xml  # noqa: E402
from model import ModelError, load  # noqa: E402


# Names of the public headers in the files generate() returns; they are written
# to --public-out instead of --out.
PUBLIC_PREFIX = "public/"


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def generate(model, inherent_typelib):
    """{file name: text} of every generated file except the type library."""
    files = {
        PUBLIC_PREFIX + "enums.h": enums_header(model),
        PUBLIC_PREFIX + "interfaces.h": interfaces_header(model),
        "zentrava_iids.cpp": iids_source(model),
        "zentrava_enum_tables.h": enum_tables_header(model),
        "zentrava_enum_tables.cpp": enum_tables_source(model),
        "zentrava_facets.h": facets_header(model),
    }
    files["zentrava_custom.h"], _ = custom_declarations(model)
    groups = {}
    for iface in model.interfaces.values():
        groups.setdefault(group_of(iface), []).append(iface)
    for group, interfaces in groups.items():
        files["zentrava_facets_%s.cpp" % group.lower()] = facets_source(group, interfaces, model)
    size = dict(counts(model))
    files["zentrava_node_classes.cpp"] = node_classes_source(
        model, (size["interfaces"], size["properties"], size["methods"]))
    sources = sorted(name for name in files if name.endswith(".cpp"))
    files["sources.txt"] = "".join(name + "\n" for name in sources)
    files["zentrava_sweep.cpp"] = sweep_source(model)
    return files, typelib_xml(model, inherent_typelib)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--model", required=True, help="the model/ folder")
    parser.add_argument("--out", required=True, help="folder for the generated sources")
    parser.add_argument("--public-out", required=True, help="folder for the public headers (zentrava/)")
    parser.add_argument("--typelib", required=True, help="path of the type library description to write")
    parser.add_argument("--list", action="store_true", help="print the generated sources' names and stop")
    args = parser.parse_args(argv[1:])
    try:
        model = load(args.model)
        files, typelib = generate(model, os.path.join(args.model, "root", "inherent.typelib.xml"))
    except (ModelError, GenError, ValueError) as e:
        print("modelgen: %s" % e, file=sys.stderr)
        return 1
    if args.list:
        print(files["sources.txt"], end="")
        return 0
    os.makedirs(args.out, exist_ok=True)
    os.makedirs(args.public_out, exist_ok=True)
    for name, text in files.items():
        if name.startswith(PUBLIC_PREFIX):
            write_if_changed(os.path.join(args.public_out, name[len(PUBLIC_PREFIX):]), text)
        else:
            write_if_changed(os.path.join(args.out, name), text)
    os.makedirs(os.path.dirname(os.path.abspath(args.typelib)), exist_ok=True)
    write_if_changed(args.typelib, typelib)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
