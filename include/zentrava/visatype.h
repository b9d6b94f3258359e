/* The VISA and IVI-C scalar types, as C callers know them. */
#ifndef ZENTRAVA_VISATYPE_H
#define ZENTRAVA_VISATYPE_H

#include <stdint.h>

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef int8_t ViInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef void* ViAddr;
typedef void* ViPAddr;
typedef double ViReal64;
typedef float ViReal32;
typedef ViUInt16 ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViUInt32 ViAttr;
typedef ViChar* ViString;
typedef const ViChar* ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViBuf;
typedef const ViChar* ViConstBuf;
typedef ViUInt32 ViAccessMode;
typedef ViStatus* ViPStatus;
typedef ViSession* ViPSession;
typedef ViBoolean* ViPBoolean;
typedef ViInt32* ViPInt32;
typedef ViUInt32* ViPUInt32;
typedef ViInt16* ViPInt16;
typedef ViUInt16* ViPUInt16;
typedef ViReal64* ViPReal64;
typedef ViChar* ViPChar;
typedef ViByte* ViPByte;
typedef ViUInt32 ViAttrState;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_SUCCESS 0
#define _VI_FUNC

#endif
