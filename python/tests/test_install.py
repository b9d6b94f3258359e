"""Installing the package: with `cmake --install`, and with pip offline into a virtual environment."""

import os
import shutil
import subprocess
import sys

SOURCE = os.environ["ZTV_SOURCE_DIR"]
BUILD = os.environ["ZTV_BUILD_DIR"]
PROGRAM = "import zentrava; print(zentrava.__file__); print(zentrava.Driver(simulate=True).identity.instrument_model)"


def run(command, **env):
    environ = dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1", **env)
    done = subprocess.run(command, env=environ, capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def test_cmake_install_puts_the_package_into_the_prefix_python_path(tmp_path):
    run(["cmake", "--install", BUILD, "--prefix", str(tmp_path)])
    site = tmp_path / os.environ["ZTV_PYTHON_INSTALL_DIR"]
    package = site / "zentrava"
    for name in ("_model.py", "__init__.py", "py.typed", "README.md", "typed_example.py"):
        assert (package / name).is_file(), name
    link = package / "libzentrava.so.1"
    assert os.path.normpath(os.path.join(package, os.readlink(link))) == \
        os.path.normpath(os.path.join(tmp_path, os.environ["ZTV_LIBDIR"], "libzentrava.so.1"))
    # The installed library is found beside the package, with nothing set.
    environ = {k: v for k, v in os.environ.items() if k not in ("ZENTRAVA_LIBRARY", "LD_LIBRARY_PATH")}
    done = subprocess.run([sys.executable, "-c", PROGRAM + "; print(zentrava.library()._name)"],
                          env=dict(environ, PYTHONPATH=str(site)), capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [str(package / "__init__.py"), "Q7310B", str(link)]


def test_pip_installs_offline_into_a_virtual_environment_and_finds_the_prefix_library(tmp_path):
    prefix = tmp_path / "prefix"
    run(["cmake", "--install", BUILD, "--prefix", str(prefix)])
    libdir = prefix / os.environ["ZTV_LIBDIR"]
    # A copy of what the build needs, so that the source tree stays clean.
    source = tmp_path / "source"
    shutil.copytree(os.path.join(SOURCE, "python"), source / "python",
                    ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__", "tests"))
    shutil.copytree(os.path.join(SOURCE, "tools", "modelgen"), source / "tools" / "modelgen",
                    ignore=shutil.ignore_patterns("__pycache__"))
    shutil.copytree(os.path.join(SOURCE, "model"), source / "model")
    venv = tmp_path / "venv"
    run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)])
    run([str(venv / "bin" / "pip"), "install", "--no-index", "--no-build-isolation", str(source / "python")],
        PKG_CONFIG_PATH=str(libdir / "pkgconfig"))
    environ = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "ZENTRAVA_LIBRARY", "LD_LIBRARY_PATH")}
    done = subprocess.run([str(venv / "bin" / "python"), "-c", PROGRAM + "; print(zentrava.library()._name)"],
                          env=environ, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    installed, model, library = done.stdout.splitlines()
    assert installed.startswith(str(venv)) and model == "Q7310B"
    assert library == str(libdir / "libzentrava.so.1")
    assert not (source / "python" / "zentrava" / "_model.py").exists()  # generated into the build only
