// The object model from C++ with the helpers: identity, an attenuation round
// trip, a phase-noise measurement, its trace, a marker and a caught error.
#include <cstdio>
#include <zentrava/zentrava.hpp>

using namespace zentrava;

int main(int argc, char** argv) try {
    if (argc != 2) return 2;
    ComPtr<IZentrava> root = open(argv[1], "");
    auto driver = query<IIviDriver>(root, IID_IIviDriver);
    ComPtr<IIviDriverIdentity> identity;
    check(driver->get_Identity(identity.Receive()));
    Bstr maker, model, firmware;
    check(identity->get_InstrumentManufacturer(maker.Receive()));
    check(identity->get_InstrumentModel(model.Receive()));
    check(identity->get_InstrumentFirmwareRevision(firmware.Receive()));
    std::printf("identity: %s %s %s\n", maker.Utf8().c_str(), model.Utf8().c_str(), firmware.Utf8().c_str());

    double attenuation = 0;
    check(root->put_Attenuation(10));
    check(root->get_Attenuation(&attenuation));
    std::printf("attenuation: %g dB\n", attenuation);

    ComPtr<IZentravaApplication> application;
    ComPtr<IZentravaPN> pn;
    ComPtr<IZentravaPNMeasurements> measurements;
    ComPtr<IZentravaPNMeasurement> measurement;
    ComPtr<IZentravaPNMeasurementData> data;
    check(root->get_Application(application.Receive()));
    check(application->get_PhaseNoise(pn.Receive()));
    check(pn->get_Measurements(measurements.Receive()));
    check(measurements->Initiate());
    check(measurements->get_Item(Bstr("Measurement1").get(), measurement.Receive()));
    check(measurement->get_Data(data.Receive()));
    SafeArray formatted;
    check(data->GetFormatted(formatted.Receive()));
    std::vector<double> trace = formatted.doubles();
    std::printf("trace length: %zu\n", trace.size());

    ComPtr<IZentravaPNMarkers> markers;
    ComPtr<IZentravaPNMarker> marker;
    double level = 0;
    check(measurement->get_Markers(markers.Receive()));
    check(markers->get_Item(Bstr("Marker1").get(), marker.Receive()));
    check(marker->put_Enabled(VARIANT_TRUE));
    check(marker->put_XValue(1e3));
    check(marker->get_YValue(&level));
    std::printf("marker at 1 kHz: %.2f dBc/Hz\n", level);

    try {
        check(measurements->get_Item(Bstr("Measurement9").get(), measurement.Receive()));
    } catch (const Error& e) {
        std::printf("error caught: %s\n", e.what());
    }
    return 0;
} catch (const Error& e) {
    std::fprintf(stderr, "0x%08X: %s\n", static_cast<unsigned>(e.code()), e.what());
    return 1;
}
