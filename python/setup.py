"""Builds the package with its object model generated from the repository's model data
(the generator and the data sit beside this folder; nothing generated is kept here)."""

import os
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class BuildWithObjectModel(build_py):
    def run(self):
        super().run()
        subprocess.run([sys.executable, os.path.join(REPOSITORY, "tools", "modelgen", "gen_python.py"),
                        "--model", os.path.join(REPOSITORY, "model"),
                        "--out", os.path.join(self.build_lib, "zentrava", "_model.py")], check=True)


setup(cmdclass={"build_py": BuildWithObjectModel})
