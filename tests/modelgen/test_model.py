"""The object-model data loads, has the driver's size, and says what the instrument needs."""

import collections
import os
import subprocess
import sys
import unittest

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOLS = os.path.join(REPO, "tools", "modelgen")
sys.path.insert(0, TOOLS)

import count  # noqa: E402
import model  # noqa: E402


class RealModel(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.m = model.load(os.path.join(REPO, "model"))

    def test_count_script_prints_the_model_size(self):
        out = subprocess.run([sys.executable, os.path.join(TOOLS, "count.py")], capture_output=True, text=True,
                             check=True).stdout
        self.assertEqual(out.splitlines(), ["%s: %d" % c for c in count.counts(self.m)])

    def test_commands_and_attributes_of_members(self):
        cases = [
            # member, query, setting, attribute constant, attribute id
            ("IZentrava.Attenuation", ["SENS:ATT:LEV?"], ["SENS:ATT:LEV %.15g"], "ZTV_ATTR_ATTENUATION", 1150002),
            ("IZentravaSystem.TimeoutMilliseconds", "(custom)", "(custom)",
             "ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS", 1150019),
            ("IZentravaTrigger.Mode", ["TRIG:MODE?"], ["*OPT?", "TRIG:MODE %s"], "ZTV_ATTR_TRIGGER_MODE", 1150030),
            ("IZentravaAMTrigger.Source", ["TRIG:AM1:SOUR?"], ["TRIGger:AM1:SOURce %s"],
             "ZTV_ATTR_APPLICATION_AMNOISE_TRIGGER_SOURCE", 1150121),
            ("IZentravaAMMarker.Enabled", ["CALC:AM1:TRAC1:MARK%d:STAT?"], ["CALC:AM1:TRAC1:MARK%d:STAT %s"],
             "ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENT_MARKER_ENABLED", 1150154),
            ("IZentravaFPMarker.XValue", ["CALC:FP1:TRAC%d:MARK%d:X?"], ["CALC:FP1:TRAC%d:MARK%d:X %.15g"],
             "ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_X_VALUE", 1150397),
            ("IZentravaFPMeasurementLimit.Fail", ["CALC:FP1:TRAC%d:LIM:FAIL?"], "-",
             "ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_LIMIT_FAIL", 1150353),
            ("IZentravaBBMeasurementSpurious.Ommision", ["CALC:BB1:TRAC1:SPUR:OMIS?"],
             ["CALC:BB1:TRAC1:SPUR:OMIS %s"], "ZTV_ATTR_APPLICATION_BASEBAND_MEASUREMENT_SPURIOUS_OMMISION", 1150283),
            ("IZentravaUserMeasurementScaleY.UnitsPerDivisions", ["DISP:USER1:TRAC%d:Y:SCAL:PDIV?"],
             ["DISP:USER1:TRAC%d:Y:SCAL:PDIV %.15g"],
             "ZTV_ATTR_APPLICATION_USER_MEAUREMENT_SCALEY_UNITS_PER_DIVISIONS", 1150763),
        ]
        for key, query, setting, constant, ident in cases:
            with self.subTest(key):
                member = self.m.member(key)
                self.assertEqual(member.query, query)
                self.assertEqual(member.setting, setting)
                self.assertEqual(member.attribute.constant, constant)
                self.assertEqual(member.attribute.id, ident)

    def test_command_exceptions_of_the_trace_family(self):
        cases = [
            ("IZentravaPNMeasurementLimit.ClearUpper", ["CALC:PN1:TRAC1:LIM:UPP:SEGM:CLE "]),
            ("IZentravaPNMeasurementLimit.ClearLower", ["CALC:PN1:TRAC1:LIM:LOW:SEGM:CLE"]),
            ("IZentravaFPMeasurementLimit.ClearLower", ["CALC:FP1:TRAC%d:LIM:LOW:SEGM:CLE "]),
            ("IZentravaAMMeasurementLimit.GetUpperSegments", ["CALC:AM1:TRAC1:LIM:UPP:SEGM:DATA?"]),
            ("IZentravaAMMeasurementLimit.SetUpperData", ["CALC:AM1:TRAC1:LIM:UPP:LDAT "]),
            ("IZentravaBBMeasurementLimit.GetLowerData", ["FORM:DATA ASC", "CALCulate:BB1:TRAC1:LIM:LOW:LDAT?"]),
            ("IZentravaSPMeasurementLimit.GetUpperData", ["FORM:DATA ASC", "CALC:SP1:TRAC1:LIMit:UPP:LDAT?"]),
            ("IZentravaFPMeasurementData.Store", ['MMEM:FP1:TRAC%d:STORe:DATA "%s"']),
            ("IZentravaFPMeasurements.GetRawData", ["FORM:DATA ASC", "CALC:FP1:DATA:RDATa?"]),
            ("IZentravaUserMeasurement.PersistenceClear", ["DISP:USER1:ALLT:PERS:CLE"]),
            ("IZentravaTRMeasurementData.GetFormatted", ["FORM:DATA ASC", "CALC:TR1:TRAC%d:DATA:FDAT?"]),
            ("IZentravaStatus.ConfigureServiceRequest",
             ["STAT:PRES; *CLS; *SRE %d; *ESE %d; :STAT:QUES:ENAB %d; :STAT:OPER:ENAB %d"]),
        ]
        for key, sends in cases:
            with self.subTest(key):
                self.assertEqual(self.m.member(key).sends, sends)

    def test_family_differences(self):
        self.assertIsNotNone(self.m.member("IZentravaPNMeasurementScaleY.UnitsPerDivision"))
        self.assertIsNone(self.m.member("IZentravaFPMeasurementScaleY.UnitsPerDivision"))
        self.assertIsNone(self.m.member("IZentravaAMMeasurementFunction.IntegralData"))
        self.assertIsNone(self.m.member("IZentravaFPMeasurementData.GetPower"))
        self.assertNotIn("IZentravaSPMeasurementSpurious", self.m.interfaces)
        self.assertEqual(self.m.member("IZentravaAMMeasurementMath.Memorize").models, "Q7310B")
        self.assertEqual(self.m.member("IZentravaBBMeasurementMath.Memorize").models, "both")
        integral = self.m.member("IZentravaPNMeasurementFunction.IntegralData")
        self.assertEqual(integral.custom, "result_list")
        self.assertEqual(integral.flags["sim"].split(",")[1], "9999000.0")

    def test_irregular_exports_reach_their_methods(self):
        cases = [
            ("Ztv_ApplicationSpectrumMonitorMeasurementMarkerSearcj", "IZentravaSPMarker", "Search", 2),
            ("Ztv_ApplicationAMNoiseMeasurementMemoryGet_FomattedMemory", "IZentravaAMMeasurementMemory",
             "GetFormatted", 1),
            ("Ztv_ApplicationFrequencyPowerMeasurementFunctionLinerRegressionData", "IZentravaFPMeasurementFunction",
             "LinearRegressionData", 1),
            ("Ztv_ApplicationPhaseNoiseMeasurementSpuriousTabelClear", "IZentravaPNMeasurementSpurious",
             "ClearTable", 1),
            ("Ztv_ApplicationFrequencyPowerMeasurementLimitGet_UpperSegment", "IZentravaFPMeasurementLimit",
             "GetUpperSegments", 1),
            ("Ztv_Get_FormattedData2", "IZentravaSPMeasurementData", "GetFormatted", 1),
            ("Ztv_StoreMemory3", "IZentravaTRMeasurementMemory", "Store", 1),
            ("Ztv_ApplicationAMNoiseMeasurementsSet", "IZentravaAMMeasurements", "SetCarrierData", 0),
            ("Ztv_ApplicationUserMeaurementSet_Xdata", "IZentravaUserMeasurement", "SetXData", 1),
            ("Ztv_DisplaySetMessage", "IZentravaDisplay", "SetMessageData", 0),
        ]
        for name, iface, member, depth in cases:
            with self.subTest(name):
                export = self.m.exports[name]
                self.assertEqual((export.interface, export.member, export.depth), (iface, member, depth))

    def test_wrapper_arguments_follow_the_com_signature(self):
        def kinds(name):
            return [a.kind for a in self.m.exports[name].args]

        self.assertEqual(kinds("Ztv_HardCopyGetImageData"), ["integer in", "byte array out"])
        self.assertEqual(kinds("Ztv_SystemGetScreenBitmap"), ["byte array in-out"])
        self.assertEqual(kinds("Ztv_DisplaySetMessage"), ["text in", "boolean in"])
        self.assertEqual(kinds("Ztv_DisplayGetMessage"), ["text out"])
        self.assertEqual(kinds("Ztv_ApplicationPhaseNoiseMeasurementFunctionAllanVarianceData"),
                         ["real in", "real in", "reals in-out", "reals in-out"])
        self.assertEqual(kinds("Ztv_StatusGetRegister"), ["integer in", "integer in", "integer out"])
        self.assertEqual([(c.direction, c.name, c.ctype) for c in self.m.exports["Ztv_Get_PowerData"].c_args],
                         [("in", "BufferSize", "ViInt32"), ("out", "Data", "ViReal64[]"),
                          ("out", "ActualSize", "ViInt32*")])
        groups = collections.Counter(x.group for x in self.m.exports.values())
        # Every COM method has its wrapper; the other groups are the fixed C functions.
        methods = sum(len(i.methods) for i in self.m.interfaces.values())
        self.assertEqual(groups, {"method": methods, "session": 21, "name": 14, "accessor": 10, "register": 2,
                                  "io": 2})

    def test_attribute_table_shape(self):
        shape = collections.Counter((a.base, a.ctype, a.access) for a in self.m.attributes)
        inherent, specific = "IVI_INHERENT_ATTR_BASE", "IVI_SPECIFIC_ATTR_BASE"
        self.assertEqual(shape, {
            (inherent, "ViBoolean", "ReadWrite"): 6, (inherent, "ViInt32", "Read"): 2,
            (inherent, "ViString", "Read"): 12,
            (specific, "ViBoolean", "ReadWrite"): 172, (specific, "ViBoolean", "Read"): 7,
            (specific, "ViInt32", "ReadWrite"): 183, (specific, "ViInt32", "Read"): 23,
            (specific, "ViReal64", "ReadWrite"): 196, (specific, "ViReal64", "Read"): 8,
            (specific, "ViString", "ReadWrite"): 20, (specific, "ViString", "Read"): 2})
        from_properties = [a for a in self.m.attributes if a.interface.startswith("IZentrava")
                           and self.m.member("%s.%s" % (a.interface, a.member)).custom != "collection"]
        per_app = collections.Counter(self.m.interfaces[a.interface].app for a in from_properties)
        self.assertEqual(per_app, {None: 65, "AM": 71, "BB": 71, "FP": 86, "PN": 76, "SP": 71, "TR": 94, "User": 63})
        ids = {a.id: a for a in self.m.attributes}
        self.assertNotIn(1150020, ids)
        self.assertEqual(ids[1151215].constant, "ZTV_ATTR_APPLICATION_TRANSIENT_MEASUREMENT_MARKERS_COUNT")
        self.assertEqual(ids[1151215].depth, 1)  # the count of a measurement's markers
        self.assertEqual(ids[1050302].member, "const Ztv")

    def test_enumerations(self):
        unit = self.m.enums["ZentravaMeasFormatUnitEnum"]
        self.assertEqual([(v.number, v.token) for v in unit.values if v.number in (4, 5)], [(4, "DBMH"), (5, "DBVH")])
        self.assertEqual(self.m.enums["ZentravaFrequencyRangeEnum"].value("ZentravaFrequencyRange_80MHz").models,
                         "Q7310B")
        self.assertEqual(self.m.enums["ZentravaApplicationEnum"].value("ZentravaApplicationAM1").models, "Q7310B")
        self.assertEqual(self.m.enums["ZentravaStatusRegisterEnum"].value("ZentravaStatusRegisterQuesLimitAM").models,
                         "Q7310B")
        self.assertEqual(self.m.enums["ZentravaFPDisplayAllocationEnum"].reply_length, 10)
        self.assertFalse(self.m.enums["ZentravaMarkerSearchTypeEnum"].has_tokens)
        self.assertEqual(self.m.enums["ZentravaMathFunctionEnum"].value("ZentravaMathFunctionMultiply").constant,
                         "ZTV_VAL_MATH_FUNCTION_NOTIFY")


if __name__ == "__main__":
    unittest.main()
