"""Where the package finds libzentrava: $ZENTRAVA_LIBRARY, beside the package, the loader path."""

import os
import shutil
import subprocess
import sys

import pytest

import zentrava

BUILT = os.environ["ZENTRAVA_LIBRARY"]
PACKAGE = os.path.dirname(zentrava.__file__)


def import_in(folder, **env):
    """Imports the package copied into folder in a new interpreter; (exit status, output)."""
    copy = os.path.join(folder, "zentrava")
    if not os.path.exists(copy):
        shutil.copytree(PACKAGE, copy, ignore=shutil.ignore_patterns("__pycache__", "*.so*"))
    environ = {k: v for k, v in os.environ.items() if k not in ("ZENTRAVA_LIBRARY", "LD_LIBRARY_PATH")}
    environ.update(PYTHONPATH=folder, **env)
    run = subprocess.run([sys.executable, "-c", "import zentrava; print(zentrava.library()._name)"],
                         env=environ, capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def test_the_named_library_is_used(tmp_path):
    status, output = import_in(str(tmp_path), ZENTRAVA_LIBRARY=BUILT)
    assert (status, output.strip()) == (0, BUILT)


def test_a_named_library_that_does_not_load_is_not_replaced(tmp_path):
    os.symlink(BUILT, tmp_path / "libzentrava.so.1")
    status, output = import_in(str(tmp_path), ZENTRAVA_LIBRARY="/nowhere/libzentrava.so",
                               LD_LIBRARY_PATH=str(tmp_path))
    assert status != 0
    assert "ImportError: zentrava: cannot load the driver library; looked $ZENTRAVA_LIBRARY " \
           "(/nowhere/libzentrava.so): /nowhere/libzentrava.so: cannot open shared object file" in output


def test_the_library_beside_the_package_comes_before_the_loader_path(tmp_path):
    import_in(str(tmp_path))
    beside = tmp_path / "zentrava" / "libzentrava.so.1"
    os.symlink(BUILT, beside)
    other = tmp_path / "other"
    other.mkdir()
    os.symlink(BUILT, other / "libzentrava.so.1")
    assert import_in(str(tmp_path), LD_LIBRARY_PATH=str(other)) == (0, "%s\n" % beside)


def test_the_versioned_library_on_the_loader_path(tmp_path):
    os.symlink(BUILT, tmp_path / "libzentrava.so.1")
    assert import_in(str(tmp_path), LD_LIBRARY_PATH=str(tmp_path)) == (0, "libzentrava.so.1\n")


def test_without_a_library_the_import_error_lists_every_place(tmp_path):
    if os.path.exists("/usr/lib/libzentrava.so.1") or os.path.exists("/usr/local/lib/libzentrava.so.1"):
        pytest.skip("a libzentrava.so.1 is installed on this machine")
    status, output = import_in(str(tmp_path))
    assert status != 0
    beside = tmp_path / "zentrava" / "libzentrava.so.1"
    assert ("ImportError: zentrava: cannot load the driver library; looked beside the package (%s): " % beside) in output
    assert "; on the loader path (libzentrava.so.1): libzentrava.so.1: cannot open shared object file" in output
    assert output.rstrip().endswith("\nzentrava: set ZENTRAVA_LIBRARY to the path of libzentrava.so.1, in the folder "
                                    "that `pkg-config --variable=libdir zentrava` names")


def test_the_library_of_the_prefix_recorded_at_installation(tmp_path):
    import_in(str(tmp_path))
    prefix = tmp_path / "prefix" / "lib"
    prefix.mkdir(parents=True)
    os.symlink(BUILT, prefix / "libzentrava.so.1")
    (tmp_path / "zentrava" / "prefix-libdir").write_text(str(prefix) + "\n")
    assert import_in(str(tmp_path)) == (0, "%s\n" % (prefix / "libzentrava.so.1"))
