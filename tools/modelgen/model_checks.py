"""Consistency checks of a loaded object model; each returns 'file:line: message' texts."""

import re

from model_cells import (ARRAY_TYPES, ENUM_CONVERSION, EXTERNAL_TYPES, RESULT_TYPES, SCALAR_TYPES,
                         SETTING_CONVERSIONS, conversions)
from model_objects import ATTRIBUTE_TYPES

ROOT_INTERFACE = "IZentrava"
# Members whose bodies are written by hand; the generator dispatches on these names.
HANDLERS = ("serial_number", "io_timeout", "direct_io", "command_pair", "screen_bitmap", "put_state", "get_state",
            "opc_wait", "query_text", "status_register", "serial_poll", "service_request", "condition_bit",
            "active_window_options", "trigger_mode_options", "image_data", "lo_selector", "bias_selector",
            "yaxis_digits", "bb_display_options", "fp_trigger_options", "tr_xdata", "result_list",
            "search_switch", "collection")
# Hand-written members whose command texts do not carry their arguments one to one.
FREE_FORMAT = ("status_register", "bias_selector", "lo_selector", "yaxis_digits", "io_timeout", "serial_number",
               "direct_io", "serial_poll", "service_request", "condition_bit", "opc_wait", "collection")
MNEMONIC = re.compile(r"(?<![A-Z])(PN1|AM1|BB1|FP1|SP1|TR1|USER1)(?![0-9])")
REPCAP = re.compile(r"TRAC%d|MARK%d")


def check_model(model):
    errors = []
    for check in (check_interfaces, check_members, check_commands, check_ivic, check_enums, check_families):
        errors += check(model)
    return errors


def _e(source, message):
    return "%s: %s" % (source, message)


def _commands(m):
    """Every command text of a member, whatever its column."""
    out = []
    for cell in (m.query, m.setting, m.sends):
        if isinstance(cell, list):
            out += cell
    return out


# ---- tree ------------------------------------------------------------------------------------

def check_interfaces(model):
    errors = []
    deeper = {"root": "measurement", "measurement": "marker"}
    for iface in model.interfaces.values():
        if not iface.members:
            errors.append(_e(iface.source, "interface %s has no members" % iface.name))
        names = [m.name for m in iface.members]
        for name in sorted({n for n in names if names.count(n) > 1}):
            errors.append(_e(iface.source, "interface %s has two members named %s" % (iface.name, name)))
        for child in iface.children:
            target = model.interfaces.get(child.target)
            if target is None:
                errors.append(_e(child.source, "child %s refers to unknown interface %s" % (child.name, child.target)))
                continue
            want = deeper.get(iface.object) if child.indices else iface.object
            if target.object != want:
                errors.append(_e(child.source, "child %s leads from a %s object to %s, which is on a %s object"
                                 % (child.name, iface.object, target.name, target.object)))
    if ROOT_INTERFACE not in model.interfaces:
        errors.append("model: no interface %s" % ROOT_INTERFACE)
        return errors
    reached, todo = set(), [ROOT_INTERFACE]
    while todo:
        name = todo.pop()
        if name in reached or name not in model.interfaces:
            continue
        reached.add(name)
        todo += [c.target for c in model.interfaces[name].children]
    for iface in model.interfaces.values():
        if iface.name not in reached:
            errors.append(_e(iface.source, "interface %s is not reachable from %s" % (iface.name, ROOT_INTERFACE)))
    return errors


# ---- members: types, flags, simulation, access -------------------------------------------------

def _known_type(model, typ, allowed):
    return typ in allowed or typ in model.enums


def _check_sim_value(model, m):
    typ, value = m.type, m.simulation.value
    if typ == "Boolean":
        return value in ("0", "1", "True", "False")
    if typ in ("Int32", "Double"):
        try:
            (int if typ == "Int32" else float)(value)
            return True
        except ValueError:
            return False
    if typ in model.enums:
        enum = model.enums[typ]
        if enum.value(value):
            return True
        return re.fullmatch(r"-?\d+", value) is not None and any(v.number == int(value) for v in enum.values)
    return typ == "String"


def _check_flags(model, m):
    """The loader admits each flag key only on the kinds of member it belongs to; these check the values."""
    errors = []
    custom = m.flags.get("custom")
    if custom is not None and custom not in HANDLERS:
        errors.append(_e(m.source, "%s: unknown hand-written body '%s'" % (m.name, custom)))
    if "items" in m.flags:
        if not any(p.type in ARRAY_TYPES for p in m.params) or not m.flags["items"].isdigit():
            errors.append(_e(m.source, "%s: items=N belongs to a method taking an array" % m.name))
    if "sim" in m.flags:
        outs = [p for p in m.params if p.direction == "inout"]
        values = m.flags["sim"].split(",")
        if custom != "result_list" or len(values) != len(outs):
            errors.append(_e(m.source, "%s: sim= gives one value per in-out result of a result_list method"
                             % m.name))
        else:
            for v in values:
                try:
                    float(v)
                except ValueError:
                    errors.append(_e(m.source, "%s: simulated result is not a number: %s" % (m.name, v)))
    return errors


def check_members(model):
    errors = []
    for iface in model.interfaces.values():
        for m in iface.members:
            errors += _check_flags(model, m)
            if m.kind == "property":
                if not _known_type(model, m.type, SCALAR_TYPES + EXTERNAL_TYPES):
                    errors.append(_e(m.source, "%s: unknown type %s" % (m.name, m.type)))
                    continue
                for p in m.indices:
                    if not _known_type(model, p.type, SCALAR_TYPES):
                        errors.append(_e(m.source, "%s: unknown index type %s" % (m.name, p.type)))
                if m.access == "Read" and m.setting != "-":
                    errors.append(_e(m.source, "%s: read-only property with a setting command" % m.name))
                if m.access == "ReadWrite" and m.setting == "-":
                    errors.append(_e(m.source, "%s: read-write property without a setting command" % m.name))
                if m.query == "-":
                    errors.append(_e(m.source, "%s: property without a query" % m.name))
                if m.simulation is None:
                    if m.custom is None:
                        errors.append(_e(m.source, "%s: generated property without a simulated value" % m.name))
                elif not _check_sim_value(model, m):
                    errors.append(_e(m.source, "%s: simulated value '%s' does not fit type %s"
                                     % (m.name, m.simulation.value, m.type)))
            elif m.kind == "method":
                for p in m.params:
                    if not _known_type(model, p.type, SCALAR_TYPES + ARRAY_TYPES):
                        errors.append(_e(m.source, "%s: unknown parameter type %s" % (m.name, p.type)))
                if m.result not in RESULT_TYPES:
                    errors.append(_e(m.source, "%s: unknown result type %s" % (m.name, m.result)))
                if not isinstance(m.sends, list):
                    errors.append(_e(m.source, "%s: a method sends command text" % m.name))
    return errors


# ---- command texts ---------------------------------------------------------------------------

def _setting_conversion(model, typ):
    if typ in model.enums:
        return ENUM_CONVERSION
    return SETTING_CONVERSIONS.get(typ)


def _argument_conversions(model, m):
    out = []
    for p in m.params:
        if p.direction != "in":
            continue
        if p.type in ARRAY_TYPES:
            if "items" in m.flags:
                out.append("%d")
        elif p.type in model.enums:
            out.append("%s")
        else:
            out.append({"Boolean": "%d", "Int32": "%d", "Double": "%.15g", "String": "%s"}[p.type])
    return out


def _value_conversions(commands):
    return [c for cmd in commands for c in conversions(REPCAP.sub("", cmd))]


def _check_format(model, m):
    errors = []
    for cmd in _commands(m):
        for conv in conversions(REPCAP.sub("", cmd)):
            if conv not in ("%d", "%s", "%.15g"):
                errors.append(_e(m.source, "%s: conversion %s is none of %%d, %%s, %%.15g" % (m.name, conv)))
    if m.custom in FREE_FORMAT or errors:
        return errors
    if m.kind == "property":
        if isinstance(m.query, list):
            if _value_conversions(m.query):
                errors.append(_e(m.source, "%s: query carries a value conversion" % m.name))
            if m.custom is None and not all(q.endswith("?") for q in m.query):
                errors.append(_e(m.source, "%s: query does not end with '?'" % m.name))
        if isinstance(m.setting, list):
            want = [_setting_conversion(model, m.type)]
            got = _value_conversions(m.setting)
            if got != want:
                errors.append(_e(m.source, "%s: setting converts %s, type %s needs %s"
                                 % (m.name, got, m.type, want)))
    elif m.kind == "method" and isinstance(m.sends, list):
        want, got = _argument_conversions(model, m), _value_conversions(m.sends)
        if got != want:
            errors.append(_e(m.source, "%s: commands convert %s, the arguments need %s" % (m.name, got, want)))
        if m.custom is None:
            if any(p.type in ARRAY_TYPES and p.direction == "in" for p in m.params) and not m.sends[-1].endswith(" "):
                errors.append(_e(m.source, "%s: an array is written after a command prefix ending in a blank"
                                 % m.name))
            if m.result in ARRAY_TYPES and not m.sends[-1].endswith("?"):
                errors.append(_e(m.source, "%s: an array is read after a query" % m.name))
    return errors


def _check_placeholders(model, iface, m):
    errors = []
    family = model.families.get(iface.app)
    on_trace = iface.object in ("measurement", "marker")
    for cmd in _commands(m):
        if "{" in cmd or "}" in cmd:
            errors.append(_e(m.source, "%s: unreplaced placeholder in '%s'" % (m.name, cmd)))
        if "TRAC%d" in cmd and not (on_trace and family and family.trace == "TRAC%d"):
            errors.append(_e(m.source, "%s: TRAC%%d outside a multi-trace measurement: '%s'" % (m.name, cmd)))
        if on_trace and family and family.trace == "TRAC%d" and "TRAC1" in cmd:
            errors.append(_e(m.source, "%s: fixed TRAC1 in a multi-trace measurement: '%s'" % (m.name, cmd)))
        if "MARK%d" in cmd and iface.object != "marker":
            errors.append(_e(m.source, "%s: MARK%%d outside a marker: '%s'" % (m.name, cmd)))
        if iface.object == "marker" and "MARK%d" not in cmd:
            errors.append(_e(m.source, "%s: marker command without MARK%%d: '%s'" % (m.name, cmd)))
        if family:
            for mn in MNEMONIC.findall(cmd):
                if mn != family.mnemonic:
                    errors.append(_e(m.source, "%s: %s command names %s" % (m.name, family.mnemonic, mn)))
    return errors


def check_commands(model):
    errors = []
    for iface in model.interfaces.values():
        for m in iface.members:
            if m.kind == "child":
                continue
            errors += _check_format(model, m)
            errors += _check_placeholders(model, iface, m)
    return errors


# ---- IVI-C -----------------------------------------------------------------------------------

def _wants_attribute(model, m):
    return (m.kind == "property" and not m.indices and m.custom != "collection"
            and (m.type in ATTRIBUTE_TYPES or m.type in model.enums))


def check_ivic(model):
    errors = []
    for iface in model.interfaces.values():
        for m in iface.members:
            if _wants_attribute(model, m) and m.attribute is None:
                errors.append(_e(m.source, "%s.%s has no IVI-C attribute" % (iface.name, m.name)))
            if m.kind == "method" and not m.exports:
                errors.append(_e(m.source, "%s.%s has no exported wrapper" % (iface.name, m.name)))
            if m.kind == "property" and m.indices and m.custom != "collection" and not m.exports:
                errors.append(_e(m.source, "%s.%s has no get/set wrappers" % (iface.name, m.name)))
    seen_ids, seen_names = {}, {}
    for a in model.attributes:
        prefix = "IVI_ATTR_" if a.base == "IVI_INHERENT_ATTR_BASE" else "ZTV_ATTR_"
        if not a.constant.startswith(prefix):
            errors.append(_e(a.source, "attribute %s should start with %s" % (a.constant, prefix)))
        if a.id in seen_ids:
            errors.append(_e(a.source, "attribute id %d of %s is already %s" % (a.id, a.constant, seen_ids[a.id])))
        if a.constant in seen_names:
            errors.append(_e(a.source, "attribute %s already defined at %s" % (a.constant, seen_names[a.constant])))
        seen_ids.setdefault(a.id, a.constant)
        seen_names.setdefault(a.constant, a.source)
        if a.interface.startswith("IZentrava"):
            target = model.interfaces.get(a.interface)
            member = target.member(a.member) if target else None
            if member is None or member.kind != "property":
                errors.append(_e(a.source, "attribute %s reads unknown property %s.%s"
                                 % (a.constant, a.interface, a.member)))
    for x in model.exports.values():
        if x.group in ("name", "io"):
            target = model.interfaces.get(x.interface)
            member = target.member(x.member) if target else None
            if member is None or member.kind != "property":
                errors.append(_e(x.source, "export %s calls unknown property %s.%s" % (x.name, x.interface, x.member)))
    return errors


# ---- enumerations ----------------------------------------------------------------------------

def check_enums(model):
    errors = []
    value_owner, constants = {}, {}
    used = set()
    for iface in model.interfaces.values():
        for m in iface.members:
            used.add(m.type)
            used.update(p.type for p in m.params + m.indices)
    for enum in model.enums.values():
        if not enum.values:
            errors.append(_e(enum.source, "enum %s has no values" % enum.name))
        if enum.name not in used:
            errors.append(_e(enum.source, "enum %s is used by no member" % enum.name))
        numbers, tokens = {}, {}
        for v in enum.values:
            if v.name in value_owner:
                errors.append(_e(v.source, "value %s already belongs to %s" % (v.name, value_owner[v.name])))
            value_owner[v.name] = enum.name
            if v.number in numbers:
                errors.append(_e(v.source, "%s: number %d already used by %s" % (enum.name, v.number, numbers[v.number])))
            numbers[v.number] = v.name
            if enum.has_tokens != (v.token is not None):
                errors.append(_e(v.source, "%s: a %s enum %s tokens"
                                 % (v.name, "token" if enum.has_tokens else "number",
                                    "needs" if enum.has_tokens else "takes no")))
            if v.token is not None:
                if v.token in tokens:
                    errors.append(_e(v.source, "%s: token %s already used by %s" % (v.name, v.token, tokens[v.token])))
                tokens[v.token] = v.name
                if not v.token or len(v.token) > enum.reply_length:
                    errors.append(_e(v.source, "%s: token '%s' cannot be read back in %d characters"
                                     % (v.name, v.token, enum.reply_length)))
            if v.constant in constants and constants[v.constant][0] != v.number:
                errors.append(_e(v.source, "%s is %d here but %d at %s"
                                 % (v.constant, v.number, constants[v.constant][0], constants[v.constant][1])))
            constants.setdefault(v.constant, (v.number, v.source))
            if v.event_only and v.command is None:
                errors.append(_e(v.source, "%s: condition=none needs the register's command=" % v.name))
    return errors + _check_search_commands(model)


def _check_search_commands(model):
    """A search sends the command of its type's value, so the type must carry some."""
    errors = []
    for iface in model.interfaces.values():
        for m in iface.members:
            if m.custom != "search_switch":
                continue
            enum = model.enums.get(m.params[0].type) if m.params else None
            if enum is None or all(v.command is None for v in enum.values):
                errors.append(_e(m.source, "%s: search_switch needs an enumeration whose values carry command="
                                 % m.name))
    return errors


# ---- trace families --------------------------------------------------------------------------

def check_families(model):
    errors = []
    for app, f in model.families.items():
        if (f.measurements == 1) != (f.trace == "TRAC1"):
            errors.append(_e(f.source, "%s: %d measurements need trace %s"
                             % (app, f.measurements, "TRAC1" if f.measurements == 1 else "TRAC%d")))
        chain = [("IZentrava%sMeasurements" % app, "Item", "IZentrava%sMeasurement" % app),
                 ("IZentrava%sMeasurement" % app, "Markers", "IZentrava%sMarkers" % app),
                 ("IZentrava%sMarkers" % app, "Item", "IZentrava%sMarker" % app)]
        for owner, child, target in chain:
            iface = model.interfaces.get(owner)
            member = iface.member(child) if iface else None
            if member is None or member.kind != "child" or member.target != target:
                errors.append(_e(f.source, "%s: expected child %s.%s leading to %s" % (app, owner, child, target)))
        for iface in model.interfaces.values():
            if iface.app == app and iface.object != "root" and iface.template is None and "Measurement" not in iface.name \
                    and "Marker" not in iface.name:
                errors.append(_e(iface.source, "%s is on a trace object but not named as one" % iface.name))
    return errors
