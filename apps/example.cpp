// A first Zentrava program: open a session, print who the instrument is and
// how the session is set up, and close it again.
//   zentrava-example                      simulated instrument
//   zentrava-example <resource> [options] a real instrument
#include <cstdio>
#include <string>

#include "core/ivi_interfaces.h"
#include "include/Zentrava.h"

namespace {

int Fail(ViSession vi, ViStatus status) {
    ViStatus code = 0;
    char text[512] = "";
    Ztv_GetError(vi, &code, sizeof text, text);
    std::fprintf(stderr, "error 0x%08X: %s\n", static_cast<unsigned>(status), text);
    return 1;
}

std::string Text(IIviDriverIdentity* identity, HRESULT (IIviDriverIdentity::*member)(BSTR*)) {
    BSTR text = nullptr;
    (identity->*member)(&text);
    std::string narrow = WideToAnsi(text);
    SysFreeString(text);
    return narrow;
}

const char* Flag(IIviDriverOperation* operation, HRESULT (IIviDriverOperation::*member)(VARIANT_BOOL*)) {
    VARIANT_BOOL on = VARIANT_FALSE;
    (operation->*member)(&on);
    return on ? "on" : "off";
}

// The C session also hands out its COM object, whose inherent interfaces
// tell the identity and the option flags.
void PrintIdentityAndOptions(ViSession vi) {
    void* object = nullptr;
    if (Ztv_GetNativeIUnknownPtr(vi, &object) != 0) return;
    auto* unknown = static_cast<IUnknown*>(object);
    IIviDriverIdentity* identity = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_IIviDriverIdentity, reinterpret_cast<void**>(&identity)))) {
        std::printf("manufacturer      %s\n", Text(identity, &IIviDriverIdentity::get_InstrumentManufacturer).c_str());
        std::printf("model             %s\n", Text(identity, &IIviDriverIdentity::get_InstrumentModel).c_str());
        std::printf("supported models  %s\n",
                    Text(identity, &IIviDriverIdentity::get_SupportedInstrumentModels).c_str());
        identity->Release();
    }
    IIviDriverOperation* operation = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_IIviDriverOperation, reinterpret_cast<void**>(&operation)))) {
        std::printf("simulate %s, cache %s, range check %s, query status %s\n",
                    Flag(operation, &IIviDriverOperation::get_Simulate), Flag(operation, &IIviDriverOperation::get_Cache),
                    Flag(operation, &IIviDriverOperation::get_RangeCheck),
                    Flag(operation, &IIviDriverOperation::get_QueryInstrumentStatus));
        operation->Release();
    }
    unknown->Release();
}

}  // namespace

int main(int argc, char** argv) {
    char simulated[] = "GPIB0::17::INSTR";
    char* resource = argc > 1 ? argv[1] : simulated;
    const char* options = argc > 2 ? argv[2] : (argc > 1 ? "" : "Simulate=true");

    ViSession vi = VI_NULL;
    ViStatus status = Ztv_InitWithOptions(resource, VI_TRUE, VI_FALSE, options, &vi);
    if (status < 0) return Fail(VI_NULL, status);

    char driverRevision[256], firmware[256];
    status = Ztv_revision_query(vi, driverRevision, firmware);
    if (status < 0) return Fail(vi, status);
    std::printf("resource          %s\n", resource);
    std::printf("options           %s\n", options);
    std::printf("driver revision   %s\n", driverRevision);
    std::printf("firmware revision %s\n", firmware);
    PrintIdentityAndOptions(vi);

    ViInt16 selfTest = 0;
    char message[256];
    status = Ztv_self_test(vi, &selfTest, message);
    if (status < 0) return Fail(vi, status);
    std::printf("self-test         %d (%s)\n", selfTest, message);

    ViInt32 errorCode = 0;
    status = Ztv_error_query(vi, &errorCode, message);
    if (status < 0) return Fail(vi, status);
    std::printf("error queue       %d, %s\n", static_cast<int>(errorCode), message);

    status = Ztv_close(vi);
    return status < 0 ? Fail(VI_NULL, status) : 0;
}
