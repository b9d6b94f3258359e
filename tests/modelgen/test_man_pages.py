"""The manual pages say what each function sends, for which models, what its
arguments take and which statuses it gives, with the driver's status numbers."""

import os
import sys
import unittest

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "modelgen"))

import gen_man  # noqa: E402
import model  # noqa: E402


class ManPages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pages = gen_man.Pages(model.load(os.path.join(REPO, "model")), REPO, "9.9.9.9")

    def page(self, name):
        return "\n".join(self.pages.page(name))

    def test_status_numbers_are_those_of_the_c_face(self):
        cases = [  # message, IVI-C status (0xBFFA0058 is also the session library's null pointer)
            ("E_IVI_NULL_POINTER", 0xBFFA0058), ("E_IVI_NOT_INITIALIZED", 0xBFFA001D),
            ("E_ZENTRAVA_MODEL_NOT_SUPPORTED", 0xBFFA4216), ("S_IVI_NSUP_ID_QUERY", 0x3FFA0065)]
        for name, status in cases:
            self.assertEqual(self.pages.messages[name][0], status, name)
        self.assertEqual(self.pages.messages["E_IVI_INSTRUMENT_STATUS"][1],
                         "Zentrava: Instrument error detected.  Use ErrorQuery() to determine the error(s).")

    def test_pages_say_command_models_arguments_and_statuses(self):
        cases = [  # function, texts its page holds, texts it does not
            ("Ztv_ApplicationBaseBandDischarge", ['"SENS:BB1:DISC"', "Models: Q7310B.", "E_ZENTRAVA_MODEL_NOT_SUPPORTED"],
             ["RepCapIdentifier", "E_IVI_UNEXPECTED_RESPONSE"]),
            ("Ztv_StatusConfigureServiceRequest", ["ZTV_VAL_", "E_IVI_INVALID_VALUE", "Models: Q7310A, Q7310B."],
             ["E_ZENTRAVA_MODEL_NOT_SUPPORTED"]),
            ("Ztv_ApplicationPhaseNoiseMeasurementLimitGet_LowerData",
             ['"CALC:PN1:TRAC1:LIM:LOW:LDAT?"', "RepCapIdentifier", "E_IVI_UNEXPECTED_RESPONSE",
              "E_IVI_BADLY_FORMED_SELECTOR", ".BR Ztv_ApplicationPhaseNoiseMeasurementLimitGet_UpperData (3),"], []),
            ("Ztv_GetAttributeViReal64", [".B ZTV_ATTR_ATTENUATION", '"SENS:ATT:LEV?"', "0xBFFA0015"],
             [".B ZTV_ATTR_DRIVER_SETUP"]),
            ("Ztv_SetAttributeViString", [], [".B ZTV_ATTR_DRIVER_SETUP"]),  # read-only: not settable
            ("Ztv_init", ["receives the new session", "E_IVI_RESOURCE_UNKNOWN", "IIviDriver.Initialize"],
             ["E_IVI_NOT_INITIALIZED"]),
            ("Ztv_WaitForServiceRequest", ["ViInt16* StatusByte", "E_ZENTRAVA_IO_TIMEOUT", ".BR Ztv_close (3),"], []),
        ]
        for name, present, absent in cases:
            text = self.page(name)
            self.assertTrue(text.startswith(".TH %s 3" % name), name)
            for wanted in present:
                self.assertIn(wanted, text, name)
            for unwanted in absent:
                self.assertNotIn(unwanted, text, name)

    def test_roff_requests_cannot_come_from_text(self):
        self.assertEqual(gen_man.roff(".5 V"), "\\&.5 V")
        self.assertEqual(gen_man.roff("a\\b"), "a\\eb")


if __name__ == "__main__":
    unittest.main()
