// The VISA-COM subset the driver's I/O provider is written against: a resource
// manager that opens message-based sessions on VISA resource strings, the
// session's IMessage, and the IFormattedIO488 formatter. Objects are
// reference-counted COM objects; failures return VISA-COM result codes and
// leave an error object with a readable description on the calling thread.
#pragma once

#include "zentrava/com.h"

namespace visa {

// VISA status 0xBFFF00xx surfaces as the COM result 0x800400xx.
constexpr HRESULT VisaResult(std::uint32_t viError) { return MakeHresult(0x80040000u | (viError & 0xFFFFu)); }
constexpr HRESULT E_VISA_SYSTEM_ERROR = VisaResult(0xBFFF0000);
constexpr HRESULT E_VISA_INV_OBJECT = VisaResult(0xBFFF000E);
constexpr HRESULT E_VISA_RSRC_NFOUND = VisaResult(0xBFFF0011);
constexpr HRESULT E_VISA_INV_RSRC_NAME = VisaResult(0xBFFF0012);
constexpr HRESULT E_VISA_TMO = VisaResult(0xBFFF0015);  // 0x80040015
constexpr HRESULT E_VISA_IO = VisaResult(0xBFFF003E);
constexpr HRESULT E_VISA_INV_SETUP = VisaResult(0xBFFF003A);
constexpr HRESULT E_VISA_NSUP_OPER = VisaResult(0xBFFF0067);
constexpr HRESULT E_VISA_INV_FMT = VisaResult(0xBFFF003F);
constexpr HRESULT E_VISA_LIBRARY_NFOUND = VisaResult(0xBFFF009E);
constexpr HRESULT E_VISA_CONN_LOST = VisaResult(0xBFFF00A6);

enum HardwareInterfaceType : SHORT {
    INTF_GPIB = 1,
    INTF_VXI = 2,
    INTF_GPIB_VXI = 3,
    INTF_ASRL = 4,
    INTF_PXI = 5,
    INTF_TCPIP = 6,
    INTF_USB = 7,
};

enum AccessMode : LONG { NO_LOCK = 0, EXCLUSIVE_LOCK = 1, SHARED_LOCK = 2, LOAD_CONFIG = 4 };

enum IEEEASCIIType : LONG {
    ASCIIType_I2 = 2,
    ASCIIType_I4 = 3,
    ASCIIType_R4 = 4,
    ASCIIType_R8 = 5,
    ASCIIType_BSTR = 8,
    ASCIIType_Any = 12,
    ASCIIType_UI1 = 17,
};

enum IEEEBinaryType : LONG {
    BinaryType_I2 = 2,
    BinaryType_I4 = 3,
    BinaryType_R4 = 4,
    BinaryType_R8 = 5,
    BinaryType_UI1 = 17,
};

enum BufferMask : LONG { IO_IN_BUF = 1, IO_OUT_BUF = 2, IO_IN_AND_OUT_BUFS = 3 };

struct IVisaSession : IUnknown {
    virtual HRESULT get_ResourceName(BSTR* name) = 0;
    virtual HRESULT get_HardwareInterfaceType(SHORT* type) = 0;
    virtual HRESULT get_Timeout(LONG* ms) = 0;
    virtual HRESULT put_Timeout(LONG ms) = 0;
    virtual HRESULT Close() = 0;

protected:
    ~IVisaSession() = default;
};

struct IMessage : IVisaSession {
    virtual HRESULT Read(LONG count, SAFEARRAY** bytes) = 0;  // VT_UI1 vector
    virtual HRESULT ReadString(LONG count, BSTR* text) = 0;
    virtual HRESULT Write(SAFEARRAY* bytes, LONG* written) = 0;
    virtual HRESULT WriteString(BSTR text, LONG* written) = 0;
    virtual HRESULT Clear() = 0;  // device clear
    virtual HRESULT ReadSTB(SHORT* statusByte) = 0;
    virtual HRESULT AssertTrigger() = 0;
    virtual HRESULT get_TerminationCharacter(BYTE* c) = 0;
    virtual HRESULT put_TerminationCharacter(BYTE c) = 0;
    virtual HRESULT get_TerminationCharacterEnabled(VARIANT_BOOL* on) = 0;
    virtual HRESULT put_TerminationCharacterEnabled(VARIANT_BOOL on) = 0;
    virtual HRESULT get_SendEndEnabled(VARIANT_BOOL* on) = 0;
    virtual HRESULT put_SendEndEnabled(VARIANT_BOOL on) = 0;

    // Byte-level fast paths without SAFEARRAY/BSTR round trips, used by the
    // formatter and the driver's text I/O.
    virtual HRESULT ReadBytes(void* buffer, LONG count, LONG* actual) = 0;
    virtual HRESULT WriteBytes(const void* buffer, LONG count, LONG* written) = 0;

protected:
    ~IMessage() = default;
};

struct IFormattedIO488 : IUnknown {
    virtual HRESULT get_IO(IMessage** io) = 0;
    virtual HRESULT putref_IO(IMessage* io) = 0;
    virtual HRESULT get_InstrumentBigEndian(VARIANT_BOOL* big) = 0;
    virtual HRESULT put_InstrumentBigEndian(VARIANT_BOOL big) = 0;
    virtual HRESULT WriteString(BSTR data, VARIANT_BOOL flushAndEND) = 0;
    virtual HRESULT WriteNumber(VARIANT data, IEEEASCIIType type, VARIANT_BOOL flushAndEND) = 0;
    virtual HRESULT WriteList(VARIANT* data, IEEEASCIIType type, BSTR separator, VARIANT_BOOL flushAndEND) = 0;
    virtual HRESULT WriteIEEEBlock(BSTR command, VARIANT data, VARIANT_BOOL flushAndEND) = 0;
    virtual HRESULT ReadString(BSTR* text) = 0;
    virtual HRESULT ReadNumber(IEEEASCIIType type, VARIANT_BOOL flushToEND, VARIANT* value) = 0;
    virtual HRESULT ReadList(IEEEASCIIType type, BSTR separators, VARIANT* list) = 0;
    virtual HRESULT ReadIEEEBlock(IEEEBinaryType type, VARIANT_BOOL seekToBlock, VARIANT_BOOL flushToEND,
                                  VARIANT* block) = 0;
    virtual HRESULT FlushWrite(VARIANT_BOOL sendEND) = 0;
    virtual HRESULT FlushRead() = 0;
    virtual HRESULT SetBufferSize(BufferMask mask, LONG size) = 0;

protected:
    ~IFormattedIO488() = default;
};

struct IResourceManager : IUnknown {
    // openTimeout in ms; options as VISA-COM (unused keys ignored).
    virtual HRESULT Open(BSTR resourceName, AccessMode mode, LONG openTimeout, BSTR options,
                         IVisaSession** session) = 0;

protected:
    ~IResourceManager() = default;
};

extern const IID IID_IVisaSession;
extern const IID IID_IMessage;
extern const IID IID_IFormattedIO488;
extern const IID IID_IResourceManager;
extern const CLSID CLSID_ResourceManager;  // created through CoCreateInstance
extern const CLSID CLSID_FormattedIO488;

// Registers the resource manager and formatter classes with the in-process
// class table, once per process; call before CoCreateInstance on them.
HRESULT EnsureClassesRegistered();

}  // namespace visa
