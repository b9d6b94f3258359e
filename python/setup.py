"""Builds the package with its object model generated from the repository's model data
(the generator and the data sit beside this folder; nothing generated is kept here).
When pkg-config knows an installed zentrava (PKG_CONFIG_PATH=<prefix>/lib/pkgconfig for a
prefix of one's own), the package records that prefix's library folder and loads the
library from there."""

import os
import shutil
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def installed_libdir():
    if not shutil.which("pkg-config"):
        return None
    found = subprocess.run(["pkg-config", "--variable=libdir", "zentrava"], capture_output=True, text=True)
    libdir = found.stdout.strip()
    return os.path.normpath(libdir) if found.returncode == 0 and libdir else None


class BuildWithObjectModel(build_py):
    def run(self):
        super().run()
        package = os.path.join(self.build_lib, "zentrava")
        subprocess.run([sys.executable, os.path.join(REPOSITORY, "tools", "modelgen", "gen_python.py"),
                        "--model", os.path.join(REPOSITORY, "model"),
                        "--out", os.path.join(package, "_model.py")], check=True)
        libdir = installed_libdir()
        if libdir:
            with open(os.path.join(package, "prefix-libdir"), "w", encoding="utf-8") as recorded:
                recorded.write(libdir + "\n")


setup(cmdclass={"build_py": BuildWithObjectModel})
