"""The package's types under mypy --strict: a typed program passes, mistakes are caught."""

import os
import shutil
import subprocess
import sys

import pytest

import zentrava

PACKAGE = os.path.dirname(zentrava.__file__)

# Each mistake, and the words of mypy's complaint about it.
MISTAKES = [
    ('driver.attenuation = "10"', 'Incompatible types in assignment (expression has type "str"'),
    ("driver.attenuaton = 10.0", '"Zentrava" has no attribute "attenuaton"'),
    ('options: zentrava.Options = {"simulation": True}', 'Extra key "simulation" for TypedDict "Options"'),
    ("driver.system.wait_for_operation_complete()", 'Missing positional argument "max_time_milliseconds"'),
    ("driver.application.phase_noise.measurements[1].markers[1].search(1, 2)", "Too many arguments"),
    ("driver.trigger.mode = zentrava.TriggerSlope.NEGATIVE", 'expression has type "TriggerSlope"'),
    ("x: int = driver.application.phase_noise.measurements[1].data.get_formatted()",
     'expression has type "ndarray[Any, dtype[floating[_64Bit]]]"'),
]


def test_the_example_runs_simulated():
    done = subprocess.run([sys.executable, "-m", "zentrava.typed_example"], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == ["Orvane Technologies Q7310B (one of Q7310A, Q7310B)",
                                        "attenuation 10.5 dB, analysis OFF, 5 points"]


def test_mypy_passes_the_typed_example_and_catches_each_mistake(tmp_path):
    if shutil.which("mypy") is None:
        pytest.skip("mypy is not installed (Debian package mypy): the types were not checked")
    mistaken = tmp_path / "mistaken.py"
    mistaken.write_text("import zentrava\n\ndriver = zentrava.Zentrava(simulate=True)\n"
                        + "".join(line + "\n" for line, _ in MISTAKES))
    done = subprocess.run(["mypy", "--strict", "--no-error-summary", "--cache-dir", str(tmp_path / "cache"),
                           os.path.join(PACKAGE, "typed_example.py"), str(mistaken)],
                          env=dict(os.environ, MYPYPATH=os.path.dirname(PACKAGE)), capture_output=True, text=True)
    complaints = {}
    for line in done.stdout.splitlines():
        where, _, text = line.partition(": error: ")
        complaints.setdefault(where, []).append(text)
    assert [w for w in complaints if not w.startswith(str(mistaken))] == [], done.stdout
    for number, (line, words) in enumerate(MISTAKES, start=4):
        said = complaints.get("%s:%d" % (mistaken, number), [])
        assert any(words in text for text in said), (line, said)
