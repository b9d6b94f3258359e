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
