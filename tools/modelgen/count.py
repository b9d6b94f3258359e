"""Print the size of the object model: interfaces, properties, methods, attributes, exports, enums.

Properties count every COM property once (a get/put pair is one property), child
objects included, since each is a read-only property returning an interface. Only
the driver's own interfaces count, not the IVI inherent ones. Attributes and exports
are the IVI-C tables: inherent and count attributes, and every exported function.

    python3 tools/modelgen/count.py [--attribute-shape] [model-folder]

--attribute-shape prints instead how many IVI-C attributes there are of each
C type and access ("ViReal64 ReadWrite: 196"), which the tests compare with
the tables the generator emitted.
"""

import collections
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from model import ModelError, default_root, load  # noqa: E402


def counts(model):
    interfaces = model.interfaces.values()
    return [
        ("interfaces", len(model.interfaces)),
        ("properties", sum(len(i.properties) + len(i.children) for i in interfaces)),
        ("methods", sum(len(i.methods) for i in interfaces)),
        ("attributes", len(model.attributes)),
        ("exports", len(model.exports)),
        ("enums", len(model.enums)),
    ]


def attribute_shape(model):
    shape = collections.Counter((a.ctype, a.access) for a in model.attributes)
    return [("%s %s" % key, number) for key, number in sorted(shape.items())]


def main(argv):
    args = argv[1:]
    shape = "--attribute-shape" in args
    args = [a for a in args if a != "--attribute-shape"]
    root = args[0] if args else default_root()
    try:
        model = load(root)
    except ModelError as e:
        print(e, file=sys.stderr)
        return 1
    for name, number in attribute_shape(model) if shape else counts(model):
        print("%s: %d" % (name, number))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
