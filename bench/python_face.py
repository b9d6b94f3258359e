"""What the Python package costs over the C face it calls.

    PYTHONPATH=build-bench/python ZENTRAVA_LIBRARY=build-bench/lib/libzentrava.so \\
        /usr/bin/python3 bench/python_face.py build-bench

- Attribute read, simulated: `driver.attenuation` against the C program
  build-bench/bin/ztv_simulated_attribute_bench (Ztv_GetAttributeViReal64 in C),
  and against the bare ctypes call of the same function.
- 100 001-point trace from the emulator program on loopback (served as stored
  text): `measurement.data.get_formatted()` against Ztv_Get_FormattedData called
  through ctypes into a buffer made once (the C face; the call itself costs
  microseconds against milliseconds of transfer).
Prints medians of repeated runs and their ratios.
"""

import ctypes
import json
import os
import re
import statistics
import subprocess
import sys
import timeit

import zentrava

POINTS = 100001


def median_seconds(call, number, repeat=9):
    return statistics.median(timeit.repeat(call, number=number, repeat=repeat)) / number


def c_attribute_read(build):
    run = subprocess.run([os.path.join(build, "bin", "ztv_simulated_attribute_bench"), "--benchmark_format=json"],
                         capture_output=True, text=True, check=True)
    rows = json.loads(run.stdout)["benchmarks"]
    median = next(r for r in rows if r.get("aggregate_name") == "median")
    return median["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[median["time_unit"]]


def attribute_read(build):
    with zentrava.Driver(simulate=True) as driver:
        driver.attenuation = 10.5
        python = median_seconds(lambda: driver.attenuation, 20000)
        cell = ctypes.c_double()
        read = zentrava.library().Ztv_GetAttributeViReal64
        vi = driver.session
        bare = median_seconds(lambda: read(vi, b"", zentrava.ZTV_ATTR_ATTENUATION, ctypes.byref(cell)), 20000)
    c = c_attribute_read(build)
    print("attribute read, simulated: Python %.2f us, C %.2f us (%.1fx), bare ctypes call %.2f us"
          % (python * 1e6, c * 1e6, python / c, bare * 1e6))


def trace_read(build):
    emulator = subprocess.Popen([os.path.join(build, "bin", "ztv-emulator"), "--socket-port", "0", "--vxi11-port",
                                 "-1", "--hislip-port", "-1", "--trace-points", str(POINTS)],
                                stdout=subprocess.PIPE, text=True)
    try:
        resource = next(m.group(1) for m in (re.search(r"(TCPIP0::\S+::SOCKET)", line) for line in emulator.stdout)
                        if m)
        with zentrava.Driver(resource) as driver:
            m = driver.application.phase_noise.measurements[1]
            m.data.set_formatted(m.data.get_formatted())  # from now on served as stored text
            python = median_seconds(m.data.get_formatted, 3)
            data = (ctypes.c_double * POINTS)()
            actual = ctypes.c_int32()
            fetch = zentrava.library().Ztv_Get_FormattedData
            vi = driver.session
            c = median_seconds(lambda: fetch(vi, b"Measurement1", POINTS, data, ctypes.byref(actual)), 3)
            if actual.value != POINTS or len(m.data.get_formatted()) != POINTS:
                raise SystemExit("the trace does not have %d points" % POINTS)
    finally:
        emulator.terminate()
        emulator.wait()
    print("100 001-point trace: Python %.2f ms, C face %.2f ms (%.2fx)" % (python * 1e3, c * 1e3, python / c))


if __name__ == "__main__":
    build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
    attribute_read(build)
    trace_read(build)
