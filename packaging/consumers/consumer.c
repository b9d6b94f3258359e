/* A C program built against an installed driver with pkg-config: opens the
   instrument named on the command line, prints its identity, measures phase
   noise and prints the trace length. */
#include <stdio.h>
#include <stdlib.h>
#include <zentrava/Zentrava.h>

static void check(ViSession vi, ViStatus status, const char* what) {
    ViStatus code = 0;
    char text[512] = "";
    if (status >= 0) return;
    Ztv_GetError(vi, &code, sizeof text, text);
    fprintf(stderr, "%s failed (0x%08lX): %s\n", what, (unsigned long)status, text);
    exit(1);
}

int main(int argc, char** argv) {
    ViSession vi = VI_NULL;
    char manufacturer[256], model[256], firmware[256];
    ViReal64 attenuation = 0.0;
    ViInt32 points = 0, actual = 0;
    ViReal64* trace;

    if (argc != 2) {
        fprintf(stderr, "usage: %s RESOURCE\n", argv[0]);
        return 2;
    }
    check(VI_NULL, Ztv_InitWithOptions(argv[1], VI_TRUE, VI_TRUE, "", &vi), "Ztv_InitWithOptions");
    check(vi, Ztv_GetAttributeViString(vi, "", IVI_ATTR_INSTRUMENT_MANUFACTURER, sizeof manufacturer, manufacturer),
          "manufacturer");
    check(vi, Ztv_GetAttributeViString(vi, "", IVI_ATTR_INSTRUMENT_MODEL, sizeof model, model), "model");
    check(vi, Ztv_GetAttributeViString(vi, "", IVI_ATTR_INSTRUMENT_FIRMWARE_REVISION, sizeof firmware, firmware),
          "firmware");
    printf("identity: %s %s %s\n", manufacturer, model, firmware);

    check(vi, Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, 10.0), "set attenuation");
    check(vi, Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, &attenuation), "get attenuation");
    printf("attenuation: %g dB\n", attenuation);

    check(vi, Ztv_ApplicationPhaseNoiseMeasurementsInitiate(vi), "Initiate");
    check(vi, Ztv_SystemWaitForOperationComplete(vi, 60000), "WaitForOperationComplete");
    check(vi, Ztv_GetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_PHASENOISE_FREQUENCY_SIZE, &points), "points");
    trace = (ViReal64*)malloc(sizeof(ViReal64) * (size_t)(points > 0 ? points : 1));
    if (!trace) return 1;
    check(vi, Ztv_Get_FormattedData(vi, "Measurement1", points, trace, &actual), "trace");
    printf("trace length: %ld\n", (long)actual);
    free(trace);
    return Ztv_close(vi) < 0;
}
