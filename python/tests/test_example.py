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
