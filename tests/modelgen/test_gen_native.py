"""The native C++ API names every member as the Python package does, and its generator refuses
what C++ cannot express, naming the member."""

import os
import re
import sys
import unittest

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "modelgen"))

import gen_native  # noqa: E402
import gen_python  # noqa: E402
from model import default_root, load  # noqa: E402

# Python functions of the root that the native Driver class writes by hand.
DRIVER = {"clear_interchange_warnings", "disable", "error_query", "get_next_coercion_record",
          "get_next_interchange_warning", "invalidate_all_attributes", "reset", "reset_interchange_check",
          "reset_with_defaults", "revision_query", "self_test"}
# What only the C face has: sessions, its error record and its attribute accessors.
C_ONLY = {"attach_to_existing_com_session", "clear_error", "error_message", "get_error", "get_native_i_unknown_ptr",
          "lock_session", "unlock_session"} | {"%s_attribute_vi_%s" % (verb, kind) for verb in ("get", "set")
                                              for kind in ("boolean", "int32", "real64", "session", "string")}
# Direct I/O goes through a VISA interface that is not installed.
NOT_WRAPPED = {("IZentravaSystem", "read"), ("IZentravaSystem", "write")}


class NativeNames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.model = load(default_root())

    def test_every_member_has_its_python_name(self):
        python, native = gen_python.Generator(self.model), gen_native.Generator(self.model)
        with open(os.path.join(REPO, "include", "zentrava", "driver.hpp"), encoding="utf-8") as f:
            driver = set(re.findall(r"\b(\w+)\(\) const", f.read()))
        self.assertLessEqual(DRIVER, driver)
        for interface in python.order:
            with self.subTest(interface=interface):
                py = {n for n, _ in python.interface_members(interface)}
                cpp = {n for n, _ in native.interface_members(interface)}
                # A Python attribute x is x() and set_x() in C++; a C++ keyword takes a trailing underscore.
                cpp = {n.rstrip("_") for n in cpp if not (n.startswith("set_") and n[4:] in py)}
                if interface == "IZentrava":
                    cpp |= DRIVER | C_ONLY
                cpp |= {name for owner, name in NOT_WRAPPED if owner == interface}
                self.assertEqual(cpp, py)

    def test_a_member_without_a_cpp_form_stops_the_generator_naming_it(self):
        member = self.model.member("IZentravaPNMeasurementData.GetFormatted")
        member.result = "Int32"
        try:
            with self.assertRaisesRegex(gen_native.GenError, r"IZentravaPNMeasurementData\.GetFormatted: .*Int32"):
                gen_native.Generator(self.model).tree()
        finally:
            member.result = "Double[]"


if __name__ == "__main__":
    unittest.main()
