"""The README's Python example measures the emulator program and writes its trace."""

import os
import subprocess
import sys

EXAMPLE = os.path.join(os.environ["ZTV_SOURCE_DIR"], "python", "examples", "phase_noise.py")


def test_phase_noise_example(tmp_path):
    done = subprocess.run([sys.executable, EXAMPLE], cwd=tmp_path, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0] == "instrument        Orvane Technologies Q7310B, firmware 1.0.9"
    assert lines[1:4] == ["trace             1001 points, 1 Hz to 40 MHz",
                          "marker 1          -141.4 dBc/Hz at 1 kHz",
                          "limit test        pass"]
    assert lines[4].startswith("integrated noise  -94.92 dBc over 9.999e+06 Hz:")
    rows = (tmp_path / "pn_trace.csv").read_text().splitlines()
    assert rows[0] == "offset_hz,l_dbc_per_hz" and len(rows) == 1002
    assert rows[1].startswith("1,")


def run_copy(folder, path):
    """The example copied where no build tree is near, with only PATH to find the emulator."""
    (folder / "examples").mkdir()
    copy = folder / "examples" / "phase_noise.py"
    copy.write_text(open(EXAMPLE).read())
    environ = {k: v for k, v in os.environ.items() if k != "ZTV_EMULATOR"}
    environ["PATH"] = os.pathsep.join(path + ["/usr/bin", "/bin"])
    return subprocess.run([sys.executable, str(copy)], cwd=folder, env=environ, capture_output=True, text=True,
                          timeout=120)


def test_the_example_finds_the_emulator_on_path(tmp_path):
    programs = tmp_path / "bin"
    programs.mkdir()
    os.symlink(os.environ["ZTV_EMULATOR"], programs / "ztv-emulator")
    done = run_copy(tmp_path, [str(programs)])
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("instrument        Orvane Technologies Q7310B")


def test_without_an_emulator_the_example_says_so_in_one_line(tmp_path):
    done = run_copy(tmp_path, [])
    assert done.returncode == 1
    assert done.stderr.startswith("phase_noise.py: no ztv-emulator: not in $ZTV_EMULATOR, not on PATH, not at ")
    assert done.stderr.count("\n") == 1 and "Traceback" not in done.stderr
