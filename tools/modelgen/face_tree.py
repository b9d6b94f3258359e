"""What the faces generated over the object tree (Python, native C++) place alike: where the
IVI-C attributes sit, and the enumerations with their face names, refusing clashes."""

from face_names import enum_class_name, enum_member_name

# The IVI inherent interfaces the root object carries besides the model's own, by face name.
INHERENT_CHILDREN = {"IIviDriverIdentity": "identity", "IIviDriverOperation": "driver_operation"}


class NameClash(Exception):
    pass


def attribute_places(model):
    """(interface, member) -> Attribute. A constant attribute sits on IIviDriverIdentity, named after
    its C constant without IVI_ATTR_."""
    places = {}
    for a in model.attributes:
        interface = a.interface or "IIviDriverIdentity"
        member = a.member if a.interface else a.constant[len("IVI_ATTR_"):]
        places[(interface, member)] = a
    return places


def named_enums(model):
    """[(enum, class name, [(value, member name)])] in the data's order."""
    out, classes = [], set()
    for enum in model.enums.values():
        name = enum_class_name(enum)
        if name in classes:
            raise NameClash("two enumerations named %s" % name)
        classes.add(name)
        values, members = [], set()
        for v in enum.values:
            member = enum_member_name(enum, v)
            if member in members:
                raise NameClash("%s: two values named %s" % (enum.name, member))
            members.add(member)
            values.append((v, member))
        out.append((enum, name, values))
    return out
