"""What a user reads about each attribute and function: their types, COM
members and command texts, in words. Shared by the C header's comments and
the reference documentation."""

import re

ACCESS_WORDS = {"Read": "read-only", "ReadWrite": "read-write"}
MODEL_WORDS = {"both": "Q7310A, Q7310B", "Q7310B": "Q7310B"}


def commands(texts):
    """Command texts as a user reads them: quoted, joined with ' ; ', or '-'."""
    if texts is None or texts == "-":
        return "-"
    if isinstance(texts, str):
        return texts  # (custom), (collection)
    return " ; ".join('"%s"' % t for t in texts)


def attribute_member(model, attr):
    """The object-model member behind an attribute, or None (inherent and constant attributes)."""
    if attr.interface in model.interfaces and not attr.member.startswith("const "):
        return model.member("%s.%s" % (attr.interface, attr.member))
    return None


def com_property(attr):
    if attr.member.startswith("const "):
        return "-"
    return "%s.%s" % (attr.interface, attr.member)


def attribute_summary(model, attr):
    """One line: type, access, COM property, query and setting."""
    member = attribute_member(model, attr)
    parts = [attr.ctype, ACCESS_WORDS[attr.access], com_property(attr)]
    if member is not None:
        parts.append("query %s" % commands(member.query))
        if attr.access == "ReadWrite":
            parts.append("setting %s" % commands(member.setting))
    return ", ".join(parts)


def simulated_default(member):
    if member is None or member.simulation is None:
        return "-"
    sim = member.simulation
    value = sim.value if sim.value != "" else '""'
    return "%s %s" % ("last set, else" if sim.mode == "last" else "fixed", value)


def sent_texts(model, member):
    """A method's command texts as they go out: a search's one text once for each value of its
    type that has a command, in the type's order."""
    if member.custom != "search_switch":
        return member.sends
    enum = model.enums[member.params[0].type]
    return [member.sends[0].replace("%s", v.command) for v in enum.values if v.command is not None]


def member_commands(model, export):
    """Command texts a wrapper sends, or '-'."""
    if not export.interface or export.interface not in model.interfaces:
        return "-"
    member = model.member("%s.%s" % (export.interface, export.member))
    if member is None:
        return "-"
    if member.kind == "method":
        return commands(sent_texts(model, member))
    return "query %s, setting %s" % (commands(member.query), commands(member.setting))


def cpp_path(python_path):
    """The native C++ face's spelling of a Python path: every step a call,
    indices kept ("application.phase_noise.measurements[1]" ->
    ".application().phase_noise().measurements()[1]")."""
    steps = re.findall(r"\[\d+\]|[A-Za-z_0-9]+", python_path)
    return "".join(s if s.startswith("[") else ".%s()" % s for s in steps)


def face_names(python_path, writable):
    """(Python, C++) names of an attribute reached by `python_path` from a driver `d`:
    C++ reads with the property's name and writes with set_ + name."""
    python = "d." + python_path
    getter = "d" + cpp_path(python_path)
    if not writable:
        return python, getter
    head, _, last = python_path.rpartition(".")
    setter = "d" + cpp_path(head) + ".set_%s(v)" % last
    return python, "%s, %s" % (getter, setter)
