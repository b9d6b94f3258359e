"""Every generated attribute and function, reached by its Python name while simulating."""

import enum
import inspect
import os
import sys
import typing

import numpy
import pytest

import zentrava

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "modelgen"))
from model import default_root, load  # noqa: E402

# The C face asks the driver object itself for a collection's count, and marker
# collections belong to measurements: these counts cannot be read (len() can).
MARKER_COUNTS = {c for c in zentrava.ATTRIBUTES if c.endswith("_MARKERS_COUNT")}
# Writable in general, refused by this driver: interchange checking is not
# implemented, and simulation is chosen when the session starts.
REFUSED_WRITES = {"IVI_ATTR_INTERCHANGE_CHECK": "value VARIANT_TRUE passed as the value for parameter bInterchangeCheck",
                  "IVI_ATTR_SIMULATE": "The simulation state cannot be changed."}


def resolve(driver, path):
    """The node a generated path ends on, and the name of the member there."""
    node, parts = driver, path.split(".")
    for part in parts[:-1]:
        name, _, index = part.partition("[")
        node = getattr(node, name)
        if index:
            node = node[int(index.rstrip("]"))]
    return node, parts[-1]


def other_value(value):
    if isinstance(value, bool):
        return not value
    if isinstance(value, enum.IntEnum):
        return next(v for v in type(value) if v != value)
    if isinstance(value, int):
        return value + 1
    if isinstance(value, float):
        return value + 1.25
    return "sweep text"


PYTHON_TYPES = {"ViBoolean": bool, "ViInt32": int, "ViReal64": float, "ViString": str}


def test_tables_cover_the_whole_model():
    model = load(default_root())
    assert set(zentrava.ATTRIBUTES) == {a.constant for a in model.attributes}
    assert set(zentrava.FUNCTIONS) == set(model.exports)
    assert zentrava.ZTV_ATTR_ATTENUATION == zentrava.ATTRIBUTES["ZTV_ATTR_ATTENUATION"].id


@pytest.mark.parametrize("constant", sorted(zentrava.ATTRIBUTES))
def test_attribute_reads_and_writes_back(simulated, constant):
    info = zentrava.ATTRIBUTES[constant]
    node, name = resolve(simulated, info.path)
    selector = ":".join(node._levels)
    if constant in MARKER_COUNTS:
        assert getattr(node, name) == len(node) == 10
    value = getattr(node, name)
    assert isinstance(value, PYTHON_TYPES[info.c_type])
    declared = typing.get_type_hints(getattr(type(node), name).fget)["return"]
    assert type(value) is declared  # an enumeration attribute reads as its IntEnum
    assert simulated.get_attribute(info.id, selector) == value
    if not info.writable:
        with pytest.raises(AttributeError):
            setattr(node, name, value)
        return
    wanted = other_value(value)
    if constant in REFUSED_WRITES:
        with pytest.raises(zentrava.Error, match=REFUSED_WRITES[constant]):
            setattr(node, name, wanted)
        assert getattr(node, name) == value
        return
    setattr(node, name, wanted)
    assert getattr(node, name) == wanted
    assert type(getattr(node, name)) is type(wanted)
    simulated.set_attribute(info.id, value, selector)
    assert getattr(node, name) == value


@pytest.mark.parametrize("name", sorted(zentrava.FUNCTIONS))
def test_function_is_reachable_typed_and_documented(simulated, name):
    info = zentrava.FUNCTIONS[name]
    node, member = resolve(simulated, info.path)
    method = getattr(type(node), member)
    assert callable(getattr(node, member))
    assert len(getattr(zentrava.library(), name).argtypes) == len(info.c_types)
    if member in ("__init__", "close"):
        return
    assert ("Calls %s" % name) in method.__doc__
    hints = typing.get_type_hints(method)
    assert set(hints) == set(inspect.signature(method).parameters) - {"self"} | {"return"}


def public_members(cls):
    return [(n, m) for n, m in vars(cls).items() if not n.startswith("_")]


@pytest.mark.parametrize("cls", [c for c in vars(zentrava._model).values() if isinstance(c, type) and
                                 issubclass(c, zentrava._nodes.Node) and c.__module__ == "zentrava._model"],
                         ids=lambda c: c.__name__)
def test_every_class_and_member_is_documented_and_typed(cls):
    assert cls.__doc__ and cls.__slots__ == ()
    for name, member in public_members(cls):
        function = member.fget if isinstance(member, property) else member
        assert function.__doc__, "%s.%s" % (cls.__name__, name)
        assert "return" in typing.get_type_hints(function), "%s.%s" % (cls.__name__, name)


def test_results_larger_than_the_first_buffer_are_read_again(simulated, monkeypatch):
    monkeypatch.setattr(zentrava._calls, "TEXT_SIZE", 4)
    monkeypatch.setattr(zentrava._calls._ArrayOut, "capacity", 2)
    assert simulated.system.date == "Mar 14, 2006"
    assert simulated.identity.instrument_manufacturer == "Orvane Technologies"
    assert simulated.revision_query() == ("1.0.9.0", "Sim1.0.9.0")  # fixed buffers of 256
    y = simulated.application.phase_noise.measurements[1].data.get_formatted()
    assert isinstance(y, numpy.ndarray) and y.dtype == numpy.float64 and y.shape == (5,)


def test_collections_read_like_python(simulated):
    fp = simulated.application.frequency_power.measurements
    assert len(fp) == fp.count == 4
    assert [m._levels for m in fp] == [("Measurement%d" % n,) for n in range(1, 5)]
    assert fp[2]._selector == fp["Measurement2"]._selector == b"Measurement2"
    assert fp.name(2) == "Measurement2"
    markers = fp[3].markers
    assert len(markers) == 10 and "Marker10" in markers
    assert markers[10]._selector == b"Measurement3:Marker10"
    markers[2].x_value = 1.5e6
    assert markers[2].x_value == 1.5e6
    assert fp[1].markers[2].x_value == 0.0  # another measurement keeps its own marker
    with pytest.raises(IndexError):
        fp[5]
    with pytest.raises(IndexError):
        fp[0]
    assert [m.name for m in fp] == list(fp.keys()) == ["Measurement%d" % n for n in range(1, 5)]
    assert markers["Marker4"].name == "Marker4"
    assert type(fp).__name__ == "ZentravaFPMeasurementCollection" and type(fp[1]).__name__ == "ZentravaFPMeasurement"


@pytest.mark.parametrize("collection, key, valid", [
    ("application.phase_noise.measurements", "Meas1", "Measurement1"),
    ("application.frequency_power.measurements", "measurement2", "Measurement1, Measurement2, Measurement3, "
     "Measurement4"),
    ("application.phase_noise.measurements[1].markers", "Marker11", "Marker1, Marker2, Marker3, Marker4, Marker5, "
     "Marker6, Marker7, Marker8, Marker9, Marker10"),
])
def test_an_unknown_name_fails_at_indexing(simulated, collection, key, valid):
    node, name = resolve(simulated, collection)
    items = getattr(node, name)
    with pytest.raises(KeyError) as raised:
        items[key]
    assert raised.value.args[0] == "%s has no item %r; its items are %s" % (type(items).__name__, key, valid)


def test_in_out_arrays_start_as_the_callers_bytes_and_nothing_else(simulated):
    # Simulation hands the buffer back as it went in.
    assert simulated.system.get_screen_bitmap() == b""
    assert simulated.system.get_screen_bitmap(b"BM\x01\x02") == b"BM\x01\x02"


def test_values_are_typed(simulated):
    simulated.trigger.mode = zentrava.Application.FP1
    assert simulated.trigger.mode is zentrava.Application.FP1
    assert isinstance(simulated.driver_operation.simulate, bool) and simulated.driver_operation.simulate
    with pytest.raises(TypeError):
        simulated.trigger.mode = zentrava.TriggerSlope.NEGATIVE  # a value of another enumeration
    with pytest.raises(TypeError):
        simulated.system.date = 5
    with pytest.raises(TypeError):
        simulated.system.timeout_milliseconds = 2.5
    with pytest.raises(TypeError):
        simulated.attenuation = "10"  # a text is no number, though float() would take it
    with pytest.raises(AttributeError):
        simulated.attenuaton = 3  # misspelt: no silent new attribute
    assert simulated.self_test() == (0, "Selftest passed")


def test_snapshot_holds_the_settings_as_written(simulated):
    simulated.attenuation = 7.5
    snapshot = simulated.snapshot()
    assert snapshot["settings"]["ATTENUATION"] == 7.5
    assert set(snapshot) >= {"identity", "resource", "time", "settings"}
