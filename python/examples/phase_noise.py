"""A complete phase-noise measurement from Python: offsets from 1 Hz to 40 MHz,
the trace and its offsets, a marker at 1 kHz, a limit test, the integrated
phase noise and jitter from 1 kHz to 10 MHz. Writes pn_trace.csv and, when
matplotlib is installed, pn_trace.png.

    python3 phase_noise.py                                    # the bundled emulator
    python3 phase_noise.py "TCPIP0::10.0.0.7::hislip0::INSTR"  # an instrument

Without a resource the emulator program is started: $ZTV_EMULATOR, else
ztv-emulator on PATH, else build/bin/ztv-emulator of this repository.
"""

import os
import re
import shutil
import subprocess
import sys

import numpy

import zentrava


BUILT_EMULATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "bin",
                              "ztv-emulator")


def find_emulator():
    """The emulator program, or None."""
    for program in (os.environ.get("ZTV_EMULATOR"), shutil.which("ztv-emulator"), BUILT_EMULATOR):
        if program and os.access(program, os.X_OK):
            return program
    return None


def start_emulator():
    program = find_emulator()
    if program is None:
        raise SystemExit("phase_noise.py: no ztv-emulator: not in $ZTV_EMULATOR, not on PATH, not at %s; "
                         "install the driver or give an instrument's resource" % os.path.normpath(BUILT_EMULATOR))
    emulator = subprocess.Popen([program, "--socket-port", "0", "--vxi11-port", "-1", "--hislip-port", "-1"],
                                stdout=subprocess.PIPE, text=True)
    for line in emulator.stdout:
        found = re.search(r"(TCPIP0::\S+::SOCKET)", line)
        if found:
            return emulator, found.group(1)
    raise SystemExit("the emulator did not start")


def measure(resource):
    with zentrava.Driver(resource, reset=True) as d:
        print("instrument        %s %s, firmware %s" % (d.identity.instrument_manufacturer, d.identity.instrument_model,
                                                        d.identity.instrument_firmware_revision))
        pn = d.application.phase_noise
        pn.frequency.carrier = 1e9
        pn.frequency.start_offset, pn.frequency.stop_offset = 1, 40e6
        pn.acquisition.correlation = 10
        pn.measurements.initiate()
        d.system.wait_for_operation_complete(60000)

        m = pn.measurements["Measurement1"]
        noise = m.data.get_formatted()  # numpy arrays of float64
        offsets = m.get_x_data()
        print("trace             %d points, %g Hz to %g MHz" % (len(noise), offsets[0], offsets[-1] / 1e6))

        marker = m.markers["Marker1"]
        marker.enabled = True
        marker.x_value = 1e3
        print("marker 1          %.1f dBc/Hz at 1 kHz" % marker.y_value)

        # Upper mask: (start Hz, start dBc/Hz, stop Hz, stop dBc/Hz) per segment.
        m.limit.set_upper_segments([1, -40, 100, -80, 100, -80, 10e3, -120, 10e3, -120, 40e6, -140])
        m.limit.enabled = True
        print("limit test        %s" % ("FAIL" if m.limit.fail else "pass"))

        m.function.analysis_type = zentrava.MeasFuncAnalysisType.INTEGRAL
        m.band_marker_x.start, m.band_marker_x.stop = 1e3, 10e6
        integrated, band, rms_rad, rms_deg, jitter, residual_fm = m.function.integral_data()
        print("integrated noise  %.2f dBc over %g Hz: %.3g rad rms, %.3g deg rms, jitter %.3g fs, residual FM %.3g Hz"
              % (integrated, band, rms_rad, rms_deg, jitter * 1e15, residual_fm))
    return offsets, noise, jitter


def save(offsets, noise, jitter):
    numpy.savetxt("pn_trace.csv", numpy.column_stack([offsets, noise]), delimiter=",", fmt=("%.9g", "%.4f"),
                  header="offset_hz,l_dbc_per_hz", comments="")
    written = ["pn_trace.csv"]
    try:
        import matplotlib
        matplotlib.use("Agg")
        from matplotlib import pyplot
    except ImportError:
        pass
    else:
        figure, axes = pyplot.subplots(figsize=(9, 5))
        axes.semilogx(offsets, noise)
        axes.set_xlabel("offset (Hz)")
        axes.set_ylabel("L(f) (dBc/Hz)")
        axes.set_title("Phase noise L(f): integrated jitter %.1f fs rms (1 kHz to 10 MHz)" % (jitter * 1e15))
        axes.grid(True, which="both", alpha=0.3)
        figure.savefig("pn_trace.png", dpi=100)
        written.append("pn_trace.png")
    print("written           %s" % ", ".join(written))


def main(argv):
    emulator = None
    if len(argv) > 1:
        resource = argv[1]
    else:
        emulator, resource = start_emulator()
    try:
        save(*measure(resource))
    except zentrava.Error as e:
        raise SystemExit("measurement failed: %s" % e)
    finally:
        if emulator:
            emulator.terminate()
            emulator.wait()


if __name__ == "__main__":
    main(sys.argv)
