"""The reference pages a person reads: the selector forms that work, the three
faces' names side by side, and HTML pages that link to each other."""

import os
import re
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOLS = os.path.join(REPO, "tools", "modelgen")


class Reference(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        subprocess.run([sys.executable, os.path.join(TOOLS, "gen_docs.py"), "--model", os.path.join(REPO, "model"),
                        "--out", cls.dir.name, "--page", os.path.join(REPO, "packaging", "doc", "recipes.md")],
                       check=True)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def read(self, name):
        with open(os.path.join(self.dir.name, name), encoding="utf-8") as f:
            return f.read()

    def row(self, page, first_cell):
        return next(line for line in self.read(page).splitlines() if line.startswith("| `%s" % first_cell))

    def test_the_selector_forms_are_the_ones_that_work(self):
        page = self.read("attributes.md")
        self.assertIn("`Measurement1:Marker1`", page)
        self.assertNotIn("measurement,marker", page)

    def test_c_python_and_cpp_names_stand_side_by_side(self):
        cases = [
            ("attributes.md", "ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_Y_VALUE`",
             ["`d.application.phase_noise.measurements[1].markers[1].y_value`",
              "`d.application().phase_noise().measurements()[1].markers()[1].y_value()`"]),
            ("attributes.md", "ZTV_ATTR_ATTENUATION`",
             ["`d.attenuation`", "`d.attenuation(), d.set_attenuation(v)`"]),
            ("functions.md", "ViStatus _VI_FUNC Ztv_Get_FormattedData(",
             ["`d.application.phase_noise.measurements[1].data.get_formatted()`",
              "`d.application().phase_noise().measurements()[1].data().get_formatted()`"]),
        ]
        for page, first, names in cases:
            row = self.row(page, first)
            for name in names:
                self.assertIn(name, row)

    def test_html_pages_match_the_markdown_and_link_to_each_other(self):
        for page in ("index", "recipes", "attributes", "functions", "enumerations", "application-phase-noise"):
            markdown, text = self.read(page + ".md"), self.read(page + ".html")
            table_rows = len([line for line in markdown.splitlines() if line.startswith("|")])
            rule_rows = len([line for line in markdown.splitlines() if line.startswith("|---")])
            self.assertEqual(text.count("<tr>"), table_rows - rule_rows, page)
            self.assertNotIn("`", re.sub(r"<pre>.*?</pre>", "", text, flags=re.S), page)
            for target in re.findall(r'href="([^"#]+)', text):
                self.assertTrue(target.endswith(".html"), target)
                self.assertTrue(os.path.exists(os.path.join(self.dir.name, target)), target)
        self.assertEqual(len(re.findall(r'href="[a-z-]+\.html"', self.read("index.html"))), 1 + 3 + 7)

    def test_a_page_per_application_names_its_members_in_every_face(self):
        page = self.read("application-phase-noise.md")
        for text in ["`IZentravaPNMarker` | `d.application.phase_noise.measurements[1].markers[1]` | "
                     "`d.application().phase_noise().measurements()[1].markers()[1]`",
                     "`ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_START_OFFSET`",
                     "`Ztv_ApplicationPhaseNoiseMeasurementsInitiate` | `d.application.phase_noise.measurements.initiate()`"]:
            self.assertIn(text, page)
        self.assertNotIn("AMNOISE", page)


if __name__ == "__main__":
    unittest.main()
