"""A typed program: mypy --strict passes on it, and it runs against a simulated instrument
or the one named on the command line.

    python3 -m zentrava.typed_example ["TCPIP0::10.0.0.7::hislip0::INSTR"]
"""

from __future__ import annotations

import sys
from typing import List, Sequence, Tuple

import numpy
from numpy.typing import NDArray

from zentrava import (ErrorQueryResult, MeasFuncAnalysisType, Options, Zentrava,
                      ZentravaPNMeasurement)


def phase_noise(driver: Zentrava) -> Tuple[NDArray[numpy.float64], NDArray[numpy.float64]]:
    """Offsets and L(f) of one phase-noise sweep from 1 Hz to 40 MHz."""
    pn = driver.application.phase_noise
    pn.frequency.start_offset = 1.0
    pn.frequency.stop_offset = 40e6
    pn.measurements.initiate()
    driver.system.wait_for_operation_complete(60000)
    measurement: ZentravaPNMeasurement = pn.measurements["Measurement1"]
    measurement.function.analysis_type = MeasFuncAnalysisType.OFF
    return measurement.get_x_data(), measurement.data.get_formatted()


def main(arguments: Sequence[str]) -> int:
    options: Options = {"simulate": len(arguments) < 2, "query_instr_status": True}
    with Zentrava(arguments[1] if len(arguments) > 1 else "", options=options) as driver:
        utility = driver.ivi_utility
        models: Tuple[str, ...] = utility.supported_instrument_models
        print("%s %s (one of %s)" % (utility.instrument_manufacturer, utility.instrument_model,
                                     ", ".join(models)))
        driver.attenuation = 10.5
        analysis: MeasFuncAnalysisType = \
            driver.application.phase_noise.measurements[1].function.analysis_type
        offsets, noise = phase_noise(driver)
        print("attenuation %g dB, analysis %s, %d points" % (driver.attenuation, analysis.name,
                                                             len(noise)))
        errors: List[ErrorQueryResult] = utility.error_query_all()
        for error in errors:
            print("instrument error %s" % error)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
