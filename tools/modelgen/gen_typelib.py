"""The type library description: the fixed part (model/root/inherent.typelib.xml) plus the object model."""

import xml.etree.ElementTree as ET

from gen_common import name_guid
from gen_tables import COLLECTION_ORDER


def _guid_text(guid):
    return "{%s}" % guid


def _add_interface(root, iface):
    el = ET.SubElement(root, "interface", name=iface.name, iid=_guid_text(name_guid(iface.name)))
    for m in iface.members:
        if m.kind in ("child", "property"):
            typ = m.target if m.kind == "child" else m.type
            access = "Read" if m.kind == "child" else m.access
            prop = ET.SubElement(el, "property", name=m.name, type=typ, access=access)
            for index in m.indices:
                ET.SubElement(prop, "param", name=index.name, type=index.type, dir="in")
        else:
            method = ET.SubElement(el, "method", name=m.name)
            for p in m.params:
                ET.SubElement(method, "param", name=p.name, type=p.type, dir=p.direction)
            if m.result != "Void":
                ET.SubElement(method, "result", type=m.result)


def typelib_xml(model, inherent_path):
    tree = ET.parse(inherent_path)
    root = tree.getroot()
    driver = root.find("coclass[@name='Zentrava']")
    if driver is None:
        raise ValueError("%s has no coclass Zentrava" % inherent_path)
    for iface in model.interfaces.values():
        if iface.object == "root":
            ET.SubElement(driver, "implements", interface=iface.name)
    for app in COLLECTION_ORDER:
        family = model.families.get(app)
        if family is None:
            continue
        for kind, cls, clsid in (("measurement", family.measurement_class, family.measurement_clsid),
                                 ("marker", family.marker_class, family.marker_clsid)):
            co = ET.SubElement(root, "coclass", name=cls, clsid="{%s}" % clsid, creatable="false")
            for iface in model.interfaces.values():
                if iface.object == kind and iface.app == app:
                    ET.SubElement(co, "implements", interface=iface.name)
    for iface in model.interfaces.values():
        _add_interface(root, iface)
    for enum in model.enums.values():
        el = ET.SubElement(root, "enum", name=enum.name)
        for v in enum.values:
            ET.SubElement(el, "value", name=v.name, number=str(v.number))
    ET.indent(tree, space="  ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(root, encoding="unicode") + "\n"
