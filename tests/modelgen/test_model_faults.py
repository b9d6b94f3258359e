"""The loader refuses faulty data and says where: each case breaks a small valid model once."""

import os
import re
import sys
import tempfile
import unittest

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "modelgen"))

import model  # noqa: E402

FIXTURE = {
    "root.model": """\
interface IZentrava | root
child Application | IZentravaApplication
property Attenuation | Double | ReadWrite | "SENS:ATT:LEV?" | ZTV_ATTR_ATTENUATION +2
property Mode | ZentravaModeEnum | ReadWrite | "MODE?" | ZTV_ATTR_MODE +3 | sim=last ZentravaModeB
property Label | String | ReadWrite | "LAB?" | ZTV_ATTR_LABEL +4 | setting="LAB "%s"" | models=Q7310B
method Recall | Slot:Int32, Name:String | Void | "RCL %d,\\"%s\\"" | Ztv_Recall

interface IZentravaApplication | root
child PhaseNoise | IZentravaPN
""",
    "enums.model": """\
enum ZentravaModeEnum | tokens
value ZentravaModeA | 0 | "A" | ZTV_VAL_MODE_A | command="LEFT"
value ZentravaModeB | 1 | "BB" | ZTV_VAL_MODE_B | models=Q7310B
""",
    "fixed.model": """\
base IVI_INHERENT_ATTR_BASE | 1050000
base IVI_SPECIFIC_ATTR_BASE | 1150000
inherent IVI_ATTR_CACHE | +4 | ViBoolean | ReadWrite | IIviDriverOperation.Cache
count ZTV_ATTR_PN_MEASUREMENTS_COUNT | +100 | IZentravaPNMeasurements.Count
export Ztv_init | session | in ResourceName:ViRsrc, out Vi:ViSession* | IIviDriver.Initialize
""",
    "trace.model": """\
template Limit | IZentrava{APP}MeasurementLimit | measurement
property Enabled | Boolean | ReadWrite | "CALC:{MN}:{TR}:LIM:STAT?"
method Clear | - | Void | "CALC:{MN}:{TR}:LIM:CLE"

template Markers | IZentrava{APP}Markers | measurement
child Item | IZentrava{APP}Marker | index=Name:String
property Count | Int32 | Read | (collection) | sim=-

template Marker | IZentrava{APP}Marker | marker
property XValue | Double | ReadWrite | "CALC:{MN}:{TR}:MARK%d:X?"
method Search | SearchType:ZentravaModeEnum | Void | "CALC:{MN}:{TR}:MARK%d:SEAR:%s" | custom=search_switch
""",
    "pn.model": """\
application PN
family PN | mnemonic=PN1 | trace=TRAC1 | measurements=1 | markers=10 | measurement=ZentravaPNMeasurement {6abdddad-a977-4d26-a438-0ec18356aaf6} | marker=ZentravaPNMarker {9068f0a1-7734-4dde-bce4-0250e8967d70}

interface IZentravaPN | root
child Measurements | IZentravaPNMeasurements

interface IZentravaPNMeasurements | root
child Item | IZentravaPNMeasurement | index=Name:String
property Count | Int32 | Read | (collection) | - | sim=-

interface IZentravaPNMeasurement | measurement
child Markers | IZentravaPNMarkers
child Limit | IZentravaPNMeasurementLimit

use Limit
bind Enabled | ZTV_ATTR_PN_LIMIT_ENABLED +10
bind Clear | Ztv_PNLimitClear

use Markers
bind Count | -

use Marker
bind XValue | ZTV_ATTR_PN_MARKER_X_VALUE +11
bind Search | Ztv_PNMarkerSearch
""",
}

# (what breaks, file, text replaced, replacement, text on the line the error must name, message part)
FAULTS = [
    ("unknown enum type", "root.model", "| ZentravaModeEnum |", "| ZentravaNoSuchEnum |",
     "property Mode", "unknown type ZentravaNoSuchEnum"),
    ("duplicate attribute id", "root.model", "ZTV_ATTR_MODE +3", "ZTV_ATTR_MODE +2",
     "property Mode", "attribute id 1150002"),
    ("duplicate attribute constant", "pn.model", "ZTV_ATTR_PN_MARKER_X_VALUE", "ZTV_ATTR_PN_LIMIT_ENABLED",
     "bind XValue", "attribute ZTV_ATTR_PN_LIMIT_ENABLED already defined"),
    ("duplicate export", "pn.model", "Ztv_PNLimitClear", "Ztv_Recall",
     "bind Clear", "export Ztv_Recall already defined"),
    ("setting format against the type", "root.model", "+2", '+2 | setting="SENS:ATT:LEV %d"',
     "property Attenuation", "setting converts"),
    ("method format against the arguments", "root.model", 'RCL %d,', 'RCL %s,',
     "method Recall", "commands convert"),
    ("unsupported conversion", "root.model", "+2", '+2 | setting="SENS:ATT:LEV %f"',
     "property Attenuation", "conversion %f"),
    ("query with a value", "root.model", '"MODE?"', '"MODE? %s"', "property Mode", "query carries"),
    ("unknown child interface", "root.model", "IZentravaApplication\n", "IZentravaApplicaton\n",
     "child Application", "unknown interface IZentravaApplicaton"),
    ("template member left unbound", "pn.model", "bind Clear | Ztv_PNLimitClear\n", "",
     "use Limit", "Clear of template Limit is neither bound nor omitted"),
    ("binding a member the template lacks", "pn.model", "bind Count | -", "bind Count | -\nomit Reset",
     "omit Reset", "template Markers has no member Reset"),
    ("override repeating the template", "pn.model", "Ztv_PNLimitClear", 'Ztv_PNLimitClear | sends="CALC:PN1:TRAC1:LIM:CLE"',
     "bind Clear", "repeats the template text"),
    ("multi-trace selector in a single-trace application", "pn.model", "trace=TRAC1 | measurements=1",
     "trace=TRAC%d | measurements=1", "family PN", "1 measurements need trace TRAC1"),
    ("another application's mnemonic", "trace.model", '"CALC:{MN}:{TR}:LIM:CLE"', '"CALC:AM1:{TR}:LIM:CLE"',
     "bind Clear", "PN1 command names AM1"),
    ("marker command without a marker number", "trace.model", '"CALC:{MN}:{TR}:MARK%d:X?"', '"CALC:{MN}:{TR}:X?"',
     "bind XValue", "marker command without MARK%d"),
    ("unknown hand-written body", "root.model", "ZTV_ATTR_MODE +3", "ZTV_ATTR_MODE +3 | custom=modee",
     "property Mode", "unknown hand-written body 'modee'"),
    ("simulated value outside the enum", "root.model", "last ZentravaModeB", "last ZentravaModeC",
     "property Mode", "does not fit type ZentravaModeEnum"),
    ("property without attribute", "root.model", "ZTV_ATTR_MODE +3", "-",
     "property Mode", "has no IVI-C attribute"),
    ("method without wrapper", "root.model", "| Ztv_Recall", "| -", "method Recall", "no exported wrapper"),
    ("token longer than the reply", "enums.model", '"BB"', '"BBBBBBB"', "value ZentravaModeB", "cannot be read back"),
    ("value constant with two numbers", "enums.model", "ZTV_VAL_MODE_B", "ZTV_VAL_MODE_A",
     "value ZentravaModeB", "ZTV_VAL_MODE_A is 1 here but 0"),
    ("read-only property with a setting", "root.model", "Label | String | ReadWrite", "Label | String | Read",
     "property Label", "read-only property with a setting"),
    ("read-write property whose setting cannot follow from its query", "root.model", '"MODE?"', '"*OPT?" ; "MODE?"',
     "property Mode", "read-write property without a setting command"),
    ("unreachable interface", "root.model", "child PhaseNoise | IZentravaPN\n",
     "child PhaseNoise | IZentravaPN\n\ninterface IZentravaLost | root\nproperty X | Int32 | Read | \"X?\" | ZTV_ATTR_X +50\n",
     "interface IZentravaLost", "not reachable"),
    ("child leading to the wrong object", "pn.model", "child Item | IZentravaPNMeasurement | index=Name:String",
     "child Item | IZentravaPNMeasurement", "child Item | IZentravaPNMeasurement", "on a measurement object"),
    ("count attribute of an unknown collection", "fixed.model", "IZentravaPNMeasurements.Count",
     "IZentravaPNMeasurement.Count", "count ZTV_ATTR_PN_MEASUREMENTS_COUNT", "reads unknown property"),
    ("misspelled directive", "root.model", "method Recall", "methd Recall", "methd Recall", "unknown directive"),
    ("unquoted command", "root.model", '"MODE?"', "MODE?", "property Mode", "must be quoted"),
    # Optional key=value cells: only what differs from the default, known keys, each once.
    ("written default setting", "root.model", "+2", '+2 | setting="SENS:ATT:LEV %.15g"',
     "property Attenuation", 'setting="SENS:ATT:LEV %.15g" is the default; leave it out'),
    ("written default simulated scalar", "root.model", "+2", "+2 | sim=last 0",
     "property Attenuation", "sim=last 0 is the default"),
    ("written default simulated enumeration", "root.model", "sim=last ZentravaModeB", "sim=last ZentravaModeA",
     "property Mode", "sim=last ZentravaModeA is the default"),
    ("written default in a template", "trace.model", '"CALC:{MN}:{TR}:LIM:STAT?"',
     '"CALC:{MN}:{TR}:LIM:STAT?" | setting="CALC:{MN}:{TR}:LIM:STAT %s"', "property Enabled", "is the default"),
    ("written default models of a child", "root.model", "IZentravaPN\n", "IZentravaPN | models=both\n",
     "child PhaseNoise", "models=both is the default"),
    ("written default models of a value", "enums.model", "models=Q7310B", "models=both",
     "value ZentravaModeB", "models=both is the default"),
    ("written default reply length", "enums.model", "| tokens", "| tokens | reply=6",
     "enum ZentravaModeEnum", "reply=6 is the default"),
    ("unknown key", "root.model", "| Ztv_Recall", "| Ztv_Recall | colour=red", "method Recall",
     "unknown key 'colour'"),
    ("key of another kind of member", "root.model", "| Ztv_Recall", '| Ztv_Recall | setting="RCL"', "method Recall",
     "unknown key 'setting'"),
    ("models in a template", "trace.model", ':X?"', ':X?" | models=Q7310B', "property XValue",
     "unknown key 'models'"),
    ("bind key of another kind of member", "pn.model", "bind Clear | Ztv_PNLimitClear",
     'bind Clear | Ztv_PNLimitClear | query="CALC:PN1:TRAC1:LIM:CLE?"', "bind Clear", "unknown key 'query'"),
    ("key given twice", "root.model", "models=Q7310B", "models=Q7310B | models=Q7310A", "property Label",
     "key models given twice"),
    ("positional cell among the keyed ones", "root.model", "+2", "+2 | last 0", "property Attenuation",
     "optional cell must read key=value: last 0"),
    ("missing positional column", "root.model", " | ZTV_ATTR_ATTENUATION +2", "", "property Attenuation",
     "property takes at least 5 columns, found 4"),
    ("family without its mnemonic", "pn.model", "mnemonic=PN1 | ", "", "family PN", "family misses mnemonic"),
    # Bound attribute names: derived from the family's attributes= start, or written in full.
    ("derived attribute without the family's start", "pn.model", "ZTV_ATTR_PN_MARKER_X_VALUE +11", "+11",
     "bind XValue", "attribute +11 needs its name, or attributes= on the family line"),
    ("written name that the rule gives", "pn.model", "markers=10 |", "markers=10 | attributes=ZTV_ATTR_PN |",
     "bind Enabled", "attribute ZTV_ATTR_PN_LIMIT_ENABLED follows from family, template and member; write +10 alone"),
    ("attribute start of another kind", "pn.model", "markers=10 |", "markers=10 | attributes=PN_ATTR |",
     "family PN", "family attributes must start with ZTV_ATTR_: PN_ATTR"),
    # What hand-written members send per enumeration value.
    ("register without parts but without its command", "enums.model", "ZTV_VAL_MODE_B",
     "ZTV_VAL_MODE_B | condition=none", "value ZentravaModeB", "condition=none needs the register's command="),
    ("register parts other than none", "enums.model", 'command="LEFT"', 'command="LEFT" | condition=all',
     "value ZentravaModeA", "condition= takes only 'none'"),
    ("two commands for one value", "enums.model", 'command="LEFT"', 'command="LEFT" ; "RIGHT"',
     "value ZentravaModeA", "command= takes one quoted command text"),
    ("search over values without commands", "enums.model", ' | command="LEFT"', "", "bind Search",
     "search_switch needs an enumeration whose values carry command="),
]


def write_model(folder, files):
    root = os.path.join(folder, "model")
    os.makedirs(root)
    for name, text in files.items():
        with open(os.path.join(root, name), "w") as f:
            f.write(text)
    return root


class Faults(unittest.TestCase):
    def load(self, files):
        with tempfile.TemporaryDirectory() as folder:
            return model.load(write_model(folder, files))

    def test_fixture_is_valid(self):
        m = self.load(FIXTURE)
        self.assertEqual(m.member("IZentravaPNMarker.XValue").query, ["CALC:PN1:TRAC1:MARK%d:X?"])
        self.assertEqual(m.exports["Ztv_Recall"].args[1].kind, "text in")

    def test_cells_left_out_take_their_defaults(self):
        m = self.load(FIXTURE)
        cases = [
            # member, setting, simulation, models
            ("IZentrava.Attenuation", ["SENS:ATT:LEV %.15g"], ("last", "0"), "both"),
            ("IZentrava.Mode", ["MODE %s"], ("last", "ZentravaModeB"), "both"),
            ("IZentrava.Label", ['LAB "%s"'], ("last", "0"), "Q7310B"),
            ("IZentravaPNMeasurements.Count", "-", None, "both"),
            ("IZentravaPNMeasurementLimit.Enabled", ["CALC:PN1:TRAC1:LIM:STAT %s"], ("last", "0"), "both"),
            ("IZentravaPNMarker.XValue", ["CALC:PN1:TRAC1:MARK%d:X %.15g"], ("last", "0"), "both"),
        ]
        for key, setting, simulation, models in cases:
            with self.subTest(key):
                member = m.member(key)
                self.assertEqual(member.setting, setting)
                self.assertEqual((member.simulation.mode, member.simulation.value) if member.simulation else None,
                                 simulation)
                self.assertEqual(member.models, models)
        self.assertEqual([v.models for v in m.enums["ZentravaModeEnum"].values], ["both", "Q7310B"])
        self.assertEqual((m.enums["ZentravaModeEnum"].reply_length, m.families["PN"].models), (6, "both"))

    def test_bound_attributes_without_a_name_take_the_rule(self):
        pn = FIXTURE["pn.model"].replace("markers=10 |", "markers=10 | attributes=ZTV_ATTR_PN_MEASUREMENT |")
        cases = [
            # bind as written, member, attribute name
            ("bind Enabled | +10", "IZentravaPNMeasurementLimit.Enabled", "ZTV_ATTR_PN_MEASUREMENT_LIMIT_ENABLED"),
            ("bind XValue | +11", "IZentravaPNMarker.XValue", "ZTV_ATTR_PN_MEASUREMENT_MARKER_X_VALUE"),
            ("bind XValue | +11 | rename=SearchDomainX", "IZentravaPNMarker.SearchDomainX",
             "ZTV_ATTR_PN_MEASUREMENT_MARKER_SEARCH_DOMAIN_X"),
            ("bind XValue | ZTV_ATTR_PN_X_AXIS +11", "IZentravaPNMarker.XValue", "ZTV_ATTR_PN_X_AXIS"),
        ]
        for bind, member, constant in cases:
            with self.subTest(bind):
                written = re.sub(r"bind %s \| .*" % bind.split()[1], bind, pn)
                m = self.load(dict(FIXTURE, **{"pn.model": written}))
                self.assertEqual(m.member(member).attribute.constant, constant)
                self.assertEqual(m.member(member).attribute.offset, int(bind.split("+")[1].split()[0]))

    def test_each_fault_is_reported_at_its_line(self):
        for what, name, old, new, anchor, message in FAULTS:
            with self.subTest(what):
                self.assertIn(old, FIXTURE[name])
                files = dict(FIXTURE)
                files[name] = files[name].replace(old, new, 1)
                with self.assertRaises(model.ModelError) as caught:
                    self.load(files)
                where = [(f, n) for f, text in files.items()
                         for n, line in enumerate(text.splitlines(), 1) if line.startswith(anchor)]
                self.assertEqual(len(where), 1, anchor)
                prefix = "model/%s:%d: " % where[0]
                hits = [e for e in caught.exception.messages
                        if e.startswith(prefix) and message in e]
                self.assertTrue(hits, "%s not among:\n%s" % (prefix + message, caught.exception))

    def test_every_message_names_a_file_and_line(self):
        files = dict(FIXTURE)
        files["root.model"] = files["root.model"].replace("ZentravaModeEnum", "Nope").replace("+3", "+2")
        with self.assertRaises(model.ModelError) as caught:
            self.load(files)
        self.assertGreaterEqual(len(caught.exception.messages), 2)
        for message in caught.exception.messages:
            self.assertRegex(message, re.compile(r"^model/\w+\.model:\d+: \S"))


if __name__ == "__main__":
    unittest.main()
