"""Writes the reference documentation (Markdown and HTML) from the object model.

    python3 gen_docs.py --model MODEL_DIR --out OUT_DIR [--page PAGE.md ...]

Writes attributes.md, functions.md, enumerations.md, a page per application
and index.md into OUT_DIR, with the written pages given by --page (recipes),
and each page as HTML beside it (index.html and the others, linked).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from doc_html import page as html_page  # noqa: E402
from gen_ivic import Generator, model_options, write_if_changed  # noqa: E402
from gen_python import Generator as PythonFace  # noqa: E402
from face_names import snake  # noqa: E402
from model import load  # noqa: E402
from reference import (ACCESS_WORDS, MODEL_WORDS, attribute_member, com_property, commands,  # noqa: E402
                       cpp_path, face_names, member_commands, simulated_default)

DEPTH_WORDS = {0: "0 (driver)", 1: "1 (measurement)", 2: "2 (marker)"}


def cell(text):
    """Markdown table cell text: pipes escaped, code in backticks."""
    return str(text).replace("|", "\\|")


def code(text):
    return "`%s`" % text if text and text != "-" else "-"


def table(header, rows):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(cell(c) for c in row) + " |" for row in rows]
    return out


def attribute_path(python, attr):
    """The Python path of an attribute from the driver object."""
    interface = attr.interface or "IIviDriverIdentity"
    member = attr.member if attr.interface else attr.constant[len("IVI_ATTR_"):]
    return python.member_path(interface, snake(member))


def attributes_page(model, python):
    rows = []
    for attr in model.attributes:
        member = attribute_member(model, attr)
        py, cpp = face_names(attribute_path(python, attr), attr.access == "ReadWrite")
        rows.append([code(attr.constant), code(py), code(cpp), attr.id, attr.ctype, ACCESS_WORDS[attr.access],
                     code(com_property(attr)),
                     code(commands(member.query)) if member else "-",
                     code(commands(member.setting)) if member and attr.access == "ReadWrite" else "-",
                     MODEL_WORDS[member.models] if member else MODEL_WORDS["both"],
                     simulated_default(member), DEPTH_WORDS[attr.depth]])
    header = ["C constant", "Python", "C++", "Id", "Type", "Access", "COM property", "SCPI query", "SCPI setting",
              "Models", "Simulated default", "Repeated-capability depth"]
    intro = ["# Attributes", "",
             "Every attribute of the C face (`Ztv_GetAttribute*` / `Ztv_SetAttribute*`), its name in",
             "Python and in the native C++ API (from a driver object `d`; `[1]` is the first",
             "measurement or marker), the COM property that carries it and the command texts it",
             "sends. Attributes below the driver take a repeated-capability selector in C: a",
             "measurement name (depth 1, `Measurement1`) or a measurement and a marker name joined",
             "by a colon (depth 2, `Measurement1:Marker1`).", ""]
    return "\n".join(intro + table(header, rows) + [""])


def function_names(python, export):
    """(Python, C++) names of an exported function, or "-" for the C face's own."""
    interface = next((i for i, exports in python.exports.items() if export in exports), None)
    if interface is None:
        return "-", "-"
    path = python.member_path(interface, python.function_name(export))
    return "d." + path + "()", "d" + cpp_path(path)


def functions_page(model, python):
    rows = []
    for export in sorted(model.exports.values(), key=lambda e: e.name):
        com = "%s.%s" % (export.interface, export.member) if export.interface and export.member else "-"
        py, cpp = function_names(python, export)
        rows.append([code(Generator.prototype(export)), code(py), code(cpp), code(com),
                     code(member_commands(model, export))])
    intro = ["# Functions", "", "Every function the library exports, its name in Python and in the native C++",
             "API (from a driver object `d`), the COM member it calls and the command texts that member sends.",
             ""]
    return "\n".join(intro + table(["C signature", "Python", "C++", "COM member", "SCPI sent"], rows) + [""])


def enumerations_page(model):
    out = ["# Enumerations", "", "Attribute values: the C constant, the COM enumeration value, its number and",
           "the instrument token it stands for.", ""]
    for enum in model.enums.values():
        out += ["## %s" % enum.name, ""]
        rows = [[code(v.constant), code(v.name), v.number, code(v.token) if v.token else "-", MODEL_WORDS[v.models]]
                for v in enum.values]
        out += table(["C constant", "COM value", "Number", "Token", "Models"], rows) + [""]
    return "\n".join(out)


def applications(python):
    """(page name, title, interface, Python path) of each application below `application`."""
    found = [(interface, path) for interface, path in python.paths.items()
             if path.startswith("application.") and path.count(".") == 1]
    return [("application-%s.md" % path.split(".")[1].replace("_", "-"), path.split(".")[1].replace("_", " ").title(),
             interface, path) for interface, path in sorted(found, key=lambda f: f[1])]


def application_page(model, python, title, interface, path):
    """One application: its interfaces, how each face reaches them, its attributes and functions."""
    below = sorted((p, i) for i, p in python.paths.items() if p == path or p.startswith(path + ".") or
                   p.startswith(path + "["))
    out = ["# %s" % title, "",
           "The application's interfaces, reached from a driver object `d` in Python (`d.%s`) and in" % path,
           "the native C++ API (`d%s`); in C, its attribute constants and functions carry the" % cpp_path(path),
           "application's name and take the selector of their depth (`Measurement1`, `Measurement1:Marker1`).",
           "Collections count from 1: `[1]` is `Measurement1` or `Marker1`. Back to the [index](index.md).", ""]
    out += table(["COM interface", "Python", "C++"], [[code(i), code("d." + p), code("d" + cpp_path(p))]
                                                     for p, i in below]) + [""]
    interfaces = {i for _, i in below}
    rows = []
    for attr in model.attributes:
        if attr.interface in interfaces:
            member = attribute_member(model, attr)
            py, cpp = face_names(attribute_path(python, attr), attr.access == "ReadWrite")
            rows.append([code(attr.constant), code(py), code(cpp), attr.ctype, ACCESS_WORDS[attr.access],
                         code(commands(member.setting if attr.access == "ReadWrite" else member.query))
                         if member else "-"])
    out += ["## Attributes", ""] + table(["C constant", "Python", "C++", "Type", "Access", "SCPI"], rows) + [""]
    rows = []
    for i in sorted(interfaces):
        for export in sorted(python.exports.get(i, []), key=lambda e: e.name):
            py, cpp = function_names(python, export)
            rows.append([code(export.name), code(py), code(cpp), code(member_commands(model, export))])
    out += ["## Functions", ""] + table(["C function", "Python", "C++", "SCPI sent"], rows) + [""]
    return "\n".join(out)


def title(markdown):
    return next(line[2:] for line in markdown.splitlines() if line.startswith("# "))


def index_page(model, python, written):
    return "\n".join([
        "# Zentrava reference", "",
        "Generated from the object model when the driver is built.", ""] +
        ["- [%s](%s)" % (title(text), name) for name, text in written.items()] + [
        "- [Attributes](attributes.md): %d attributes" % len(model.attributes),
        "- [Functions](functions.md): %d exported functions" % len(model.exports),
        "- [Enumerations](enumerations.md): %d enumerations" % len(model.enums), "",
        "Applications:", ""] +
        ["- [%s](%s)" % (heading, name) for name, heading, _, _ in applications(python)] + [""])


def main():
    parser = model_options(__doc__)
    parser.add_argument("--page", action="append", default=[], help="a written page to add, linked from the index")
    options = parser.parse_args()
    written = {}
    for path in options.page:
        with open(path, encoding="utf-8") as f:
            written[os.path.basename(path)] = f.read()
    model = load(options.model)
    os.makedirs(options.out, exist_ok=True)
    python = PythonFace(model)
    pages = dict(written)
    pages.update({"index.md": index_page(model, python, written), "attributes.md": attributes_page(model, python),
             "functions.md": functions_page(model, python), "enumerations.md": enumerations_page(model)})
    for name, heading, interface, path in applications(python):
        pages[name] = application_page(model, python, heading, interface, path)
    for name, text in pages.items():
        write_if_changed(os.path.join(options.out, name), text)
        write_if_changed(os.path.join(options.out, name[:-len(".md")] + ".html"), html_page(text))


if __name__ == "__main__":
    main()
