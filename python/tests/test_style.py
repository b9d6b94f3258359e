"""PEP 8 over the package as built, the generated object model included."""

import os
import shutil
import subprocess

import pytest

import zentrava


def test_the_package_passes_pycodestyle():
    if shutil.which("pycodestyle") is None:
        pytest.skip("pycodestyle is not installed (Debian package pycodestyle): the style was not checked")
    done = subprocess.run(["pycodestyle", "--max-line-length=99", os.path.dirname(zentrava.__file__)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
