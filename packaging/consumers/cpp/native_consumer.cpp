// The native C++ API from an installed prefix: identity, an attenuation
// round trip, a phase-noise trace into a vector and into a buffer of the
// program's own, a marker, an enumeration and a caught selector error.
#include <array>
#include <cstdio>
#include <span>
#include <vector>
#include <zentrava/driver.hpp>

int main(int argc, char** argv) try {
    if (argc != 2) return 2;
    zentrava::Driver d(argv[1], {.id_query = true, .reset = true, .options = "QueryInstrStatus=true"});
    const auto identity = d.identity();
    std::printf("identity: %s %s %s\n", identity.instrument_manufacturer().c_str(), identity.instrument_model().c_str(),
                identity.instrument_firmware_revision().c_str());

    d.set_attenuation(10);
    std::printf("attenuation: %g dB\n", d.attenuation());

    const auto pn = d.application().phase_noise();
    pn.measurements().initiate();
    d.system().wait_for_operation_complete(60000);
    const auto m = pn.measurements()["Measurement1"];
    const std::vector<double> trace = m.data().get_formatted();
    std::printf("trace length: %zu\n", trace.size());
    std::array<double, 4096> buffer{};
    const std::size_t n = m.data().get_formatted(std::span<double>(buffer));
    if (n != trace.size() || buffer[0] != trace[0]) return 1;

    const auto marker = m.markers()[1];
    marker.set_enabled(true);
    marker.set_x_value(1e3);
    std::printf("marker at 1 kHz: %.2f dBc/Hz\n", marker.y_value());

    m.function().set_analysis_type(zentrava::MeasFuncAnalysisType::INTEGRAL);
    if (m.function().analysis_type() != zentrava::MeasFuncAnalysisType::INTEGRAL) return 1;

    try {
        pn.measurements()["Measurement9"];
    } catch (const zentrava::SelectorError& e) {
        std::printf("error caught: %s\n", e.what());
    }
    d.close();
    return 0;
} catch (const zentrava::Error& e) {
    std::fprintf(stderr, "0x%08X: %s\n", static_cast<unsigned>(e.status()), e.what());
    return 1;
}
