"""Print the size of the object model: interfaces, properties, methods, attributes, exports, enums.

Properties count every COM property once (a get/put pair is one property), child
objects included, since each is a read-only property returning an interface. Only
the driver's own interfaces count, not the IVI inherent ones. Attributes and exports
are the IVI-C tables: inherent and count attributes, and every exported function.

    python3 tools/modelgen/count.py [model-folder]
"""

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


def main(argv):
    root = argv[1] if len(argv) > 1 else default_root()
    try:
        model = load(root)
    except ModelError as e:
        print(e, file=sys.stderr)
        return 1
    for name, number in counts(model):
        print("%s: %d" % (name, number))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
