/* The IVI-C shared session component: session handles, one data pointer
   each, an error record per session (and per thread for VI_NULL), and a
   recursive session lock. */
#ifndef ZENTRAVA_IVISS_H
#define ZENTRAVA_IVISS_H

#include "zentrava/visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes of this component (VISA error range). */
#define IVISESSION_ERROR_INVALID_SESSION ((ViStatus)0xBFFF000E) /* same value as VI_ERROR_INV_OBJECT */
#define IVISESSION_ERROR_NULL_POINTER ((ViStatus)0xBFFA0058)
#define IVISESSION_ERROR_TOO_MANY_SESSIONS ((ViStatus)0xBFFF009E)
#define IVISESSION_ERROR_NOT_LOCKED ((ViStatus)0xBFFF009C) /* unlock by a thread that does not hold the lock */

ViStatus IviSession_New(ViSession* vi);
ViStatus IviSession_Dispose(ViSession vi);
ViStatus IviSession_SetDataPtr(ViSession vi, ViAddr data);
ViStatus IviSession_GetDataPtr(ViSession vi, ViAddr* data);
/* callerHasLock may be null; when given it tracks whether this caller holds the lock. */
ViStatus IviSession_Lock(ViSession vi, ViBoolean* callerHasLock);
ViStatus IviSession_Unlock(ViSession vi, ViBoolean* callerHasLock);
/* description may be null (recorded as no text). */
ViStatus IviSession_SetError(ViSession vi, ViStatus code, ViConstString description);
/* Hands the record over and clears it, except when only the size is asked
   (bufferSize 0 or a null buffer). Text-output convention: bufferSize 0 or
   null buffer returns the size needed
   (length + 1); a short buffer is filled with a truncated text and the size
   needed is returned; otherwise 0. code may be null. */
ViStatus IviSession_GetError(ViSession vi, ViInt32 bufferSize, ViStatus* code, ViChar description[]);
ViStatus IviSession_ClearError(ViSession vi);

#ifdef __cplusplus
}
#endif

#endif
