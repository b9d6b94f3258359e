/* Zentrava: IVI-C interface of the driver for the Q7310A and Q7310B signal
   source analyzers. Link with libzentrava.so. */
#ifndef ZENTRAVA_H
#define ZENTRAVA_H

#include "zentrava/visatype.h"

/* Attribute identifiers, attribute values, the attribute accessors and the
   function wrappers, generated from the driver's object model. */
#include "zentrava/Zentrava_generated.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sessions */
ViStatus _VI_FUNC Ztv_init(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* Vi);
ViStatus _VI_FUNC Ztv_InitWithOptions(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset,
                                      ViConstString OptionString, ViSession* Vi);
ViStatus _VI_FUNC Ztv_close(ViSession Vi);
/* Object is the IUnknown pointer of an existing driver object. */
ViStatus _VI_FUNC Ztv_AttachToExistingCOMSession(void* Object, ViSession* Vi);
ViStatus _VI_FUNC Ztv_GetNativeIUnknownPtr(ViSession Vi, void** Ptr);
ViStatus _VI_FUNC Ztv_LockSession(ViSession Vi, ViBoolean* CallerHasLock);
ViStatus _VI_FUNC Ztv_UnlockSession(ViSession Vi, ViBoolean* CallerHasLock);

/* Errors */
ViStatus _VI_FUNC Ztv_GetError(ViSession Vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]);
ViStatus _VI_FUNC Ztv_ClearError(ViSession Vi);
ViStatus _VI_FUNC Ztv_error_message(ViSession Vi, ViStatus ErrorCode, ViChar ErrorMessage[256]);
ViStatus _VI_FUNC Ztv_error_query(ViSession Vi, ViInt32* ErrorCode, ViChar ErrorMessage[256]);

/* Utility */
ViStatus _VI_FUNC Ztv_self_test(ViSession Vi, ViInt16* TestResult, ViChar TestMessage[256]);
ViStatus _VI_FUNC Ztv_revision_query(ViSession Vi, ViChar DriverRev[256], ViChar InstrRev[256]);
ViStatus _VI_FUNC Ztv_reset(ViSession Vi);
ViStatus _VI_FUNC Ztv_ResetWithDefaults(ViSession Vi);
ViStatus _VI_FUNC Ztv_Disable(ViSession Vi);
ViStatus _VI_FUNC Ztv_InvalidateAllAttributes(ViSession Vi);
ViStatus _VI_FUNC Ztv_ResetInterchangeCheck(ViSession Vi);
ViStatus _VI_FUNC Ztv_ClearInterchangeWarnings(ViSession Vi);
ViStatus _VI_FUNC Ztv_GetNextCoercionRecord(ViSession Vi, ViInt32 BufferSize, ViChar Record[]);
ViStatus _VI_FUNC Ztv_GetNextInterchangeWarning(ViSession Vi, ViInt32 BufferSize, ViChar Warning[]);

/* Extension, not among the specified functions: waits until the instrument
   requests service and returns its status byte. TimeoutMs -1 waits forever;
   Ztv_close from another thread ends the wait. */
ViStatus _VI_FUNC Ztv_WaitForServiceRequest(ViSession Vi, ViInt32 TimeoutMs, ViInt16* StatusByte);

/* Extension, not among the specified functions: the instruments on the LAN,
   found through multicast DNS and the VXI-11 portmapper broadcast (Ways, one or
   both) within TimeoutMs, each asked *IDN? and nothing else. The VXI-11 call
   goes to Vxi11Address instead of the broadcast addresses when not empty, on
   PortmapperPort (0 for 111). One line per instrument: its identity (empty
   when it did not answer), then every resource string it offers, then
   VXI11Port=N where a portmapper told the VXI-11 core channel's port, all
   separated by tabs. The text rule of Ztv_GetError: a BufferSize too small
   returns the size needed. */
#define ZTV_DISCOVER_MDNS 1
#define ZTV_DISCOVER_VXI11 2
ViStatus _VI_FUNC Ztv_DiscoverInstruments(ViInt32 Ways, ViInt32 TimeoutMs, ViConstString Vxi11Address,
                                          ViInt32 PortmapperPort, ViInt32 BufferSize, ViChar List[]);

/* Extension, not among the specified functions: reads at most BufferSize
   bytes of the instrument's reply as they arrive, binary ones included (a
   definite-length block read whole), and stores their number in
   *ActualCount. Like Ztv_SystemRead, not available while simulating. */
ViStatus _VI_FUNC Ztv_SystemReadBytes(ViSession Vi, ViInt32 BufferSize, ViByte Data[], ViInt32* ActualCount);
/* Extension, not among the specified functions: every resource this process
   could open now, each on a line of its own ending in "\n", followed by a tab
   and the instrument's "*IDN?" reply where one answered. Options, NULL or
   "Key=Value" pairs separated by ',' or ';': SysfsRoot=DIR (USBTMC devices,
   /sys), SerialRoot=DIR (serial ports, /dev/serial/by-id), ProbeTimeout=MS
   (per GPIB address, 100), GPIBAdapter=R (binds GPIB board 0, as
   $ZENTRAVA_GPIB<n> binds board n), DiscoveryTimeout=MS (LAN instruments by
   mDNS and VXI-11 broadcast, 2000; 0 lists none). Returns 0 when
   the list fits in Resources, else the size it needs (with the terminating
   zero) after storing what fits; BufferSize 0 only asks for the size. */
ViStatus _VI_FUNC Ztv_ListResources(ViConstString Options, ViInt32 BufferSize, ViChar Resources[]);

/* Extension: a snapshot of every readable setting of the connected model as
   one JSON document (see ztv(1), "snapshot"); with a Prefix ("APPLICATION_
   PHASENOISE_"), of the attributes whose names begin with it, else (null or
   "") of all. Text output as the other string functions give it: a buffer
   too small gets what fits and the return value is the size needed; the
   settings are read anew on each call. */
ViStatus _VI_FUNC Ztv_Snapshot(ViSession Vi, ViConstString Prefix, ViInt32 BufferSize, ViChar Json[]);
/* Extension: writes every writable instrument setting of a snapshot back,
   in an order the settings depend on. Report gets one line for each setting
   the driver or the instrument refused ("KEY: why"), Refused their count. */
ViStatus _VI_FUNC Ztv_RestoreSnapshot(ViSession Vi, ViConstString Json, ViInt32 BufferSize, ViChar Report[],
                                      ViInt32* Refused);

#ifdef __cplusplus
}
#endif

#endif
