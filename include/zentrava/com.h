// The COM and OLE Automation subset the driver is written against, for Linux.
// Names and signatures follow the Windows API so that driver code reads the
// same on both platforms; text is UTF-16 (char16_t), narrow text is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using BYTE = std::uint8_t;
using LCID = std::uint32_t;
using VARIANT_BOOL = std::int16_t;
using VARTYPE = std::uint16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT MakeHresult(std::uint32_t v) { return static_cast<HRESULT>(v); }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);
constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000B);
constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000A);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008);
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHresult(0x8002000D);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = MakeHresult(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = MakeHresult(0x80040151);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHresult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeHresult(0x800401F9);
constexpr HRESULT CO_E_OBJNOTREG = MakeHresult(0x800401FB);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHresult(0x80010106);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHresult(0x80029C4A);

// ---- GUID ------------------------------------------------------------------
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

extern const GUID GUID_NULL;

// Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (braces optional, any case).
bool GuidFromString(std::string_view text, GUID* out);
// Formats as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case.
std::string GuidToString(REFGUID guid);
// A stable, name-based (version 5, SHA-1) UUID: the same name always gives the same GUID.
// The names live in the namespace ZENTRAVA_NAME_NAMESPACE below.
GUID NameBasedGuid(std::string_view name);
// The same in a caller-chosen namespace (RFC 4122 section 4.3: SHA-1 over the
// namespace bytes in network order followed by the name's UTF-8 bytes).
GUID NameBasedGuid(REFGUID nameSpace, std::string_view name);
extern const GUID ZENTRAVA_NAME_NAMESPACE;  // {7f4aaa2e-a68e-482b-b9cb-9b5aef80a61f}
// Compile-time-free literal helper for constants: aborts on a malformed literal.
GUID GuidLiteral(std::string_view text);

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out);
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);

// ---- BSTR ------------------------------------------------------------------
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, unsigned int length);
int SysReAllocString(BSTR* target, const OLECHAR* text);
void SysFreeString(BSTR text);
unsigned int SysStringLen(BSTR text);

// UTF-8 <-> UTF-16.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);
std::string WideToUtf8(const OLECHAR* text);        // null reads as ""
BSTR Utf8ToBstr(std::string_view text);             // null only when out of memory
std::u16string_view BstrView(const OLECHAR* text);  // null reads as ""

// ---- VARIANT subset --------------------------------------------------------
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

struct IUnknown;
struct SAFEARRAY;

struct VARIANT {
    VARTYPE vt;
    std::uint16_t wReserved1, wReserved2, wReserved3;
    union {
        std::int64_t llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        SAFEARRAY* parray;
    };
};

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

// ---- SAFEARRAY (one or more dimensions created, one used) -----------------
struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    VARTYPE vt;  // element type (kept here instead of a hidden header)
    SAFEARRAYBOUND rgsabound[1];
};

// fFeatures: the elements belong to someone else; destroying the array
// leaves them where they are.
constexpr USHORT FADF_STATIC = 0x0002;

SAFEARRAY* SafeArrayCreate(VARTYPE vt, unsigned int cDims, SAFEARRAYBOUND* bounds);
// A descriptor without elements: the caller sets the bounds and pvData.
HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, unsigned int cDims, SAFEARRAY** out);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
unsigned int SafeArrayGetDim(SAFEARRAY* psa);
unsigned int SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, unsigned int dim, LONG* lower);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, unsigned int dim, LONG* upper);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* indices, void* value);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* indices, void* value);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** out);

// ---- Interfaces -------------------------------------------------------------
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT SetGUID(REFGUID guid) = 0;
    virtual HRESULT SetSource(LPCOLESTR source) = 0;
    virtual HRESULT SetDescription(LPCOLESTR description) = 0;
    virtual HRESULT SetHelpFile(LPCOLESTR helpFile) = 0;
    virtual HRESULT SetHelpContext(DWORD helpContext) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

protected:
    ~ISupportErrorInfo() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(int lock) = 0;

protected:
    ~IClassFactory() = default;
};

extern const IID IID_IUnknown;
extern const IID IID_IErrorInfo;
extern const IID IID_ICreateErrorInfo;
extern const IID IID_ISupportErrorInfo;
extern const IID IID_IClassFactory;

// ---- Per-thread error objects ----------------------------------------------
HRESULT CreateErrorInfo(ICreateErrorInfo** out);
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);  // null clears
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out);  // S_FALSE and null when none; takes it off the thread

// ---- Apartments and object creation ----------------------------------------
enum COINIT : DWORD { COINIT_MULTITHREADED = 0x0, COINIT_APARTMENTTHREADED = 0x2 };
enum CLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_ALL = 0x17,
};

// S_OK on first entry, S_FALSE when the thread is already in that apartment,
// RPC_E_CHANGED_MODE when it is in the other kind.
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

// Classes registered in-process first, then the registry's InprocServer32
// module (loaded with dlopen, asked for DllGetClassObject).
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID riid, void** ppv);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* p);

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);  // caller frees with CoTaskMemFree
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);    // follows CurVer

using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

// Announces an in-process server that is already part of the process (linked
// in rather than found through the registry): object creation asks it for
// classes it serves before looking in the registry. Needs no apartment, so a
// library can announce itself while it loads.
void CoAddLoadedServer(DllGetClassObjectFn getClassObject);

// ---- OLE Automation helpers ------------------------------------------------
HRESULT VarR8Round(double value, int decimals, double* result);  // ties round to even, as OLE Automation does
enum : HRESULT { VARCMP_LT = 0, VARCMP_EQ = 1, VARCMP_GT = 2, VARCMP_NULL = 3 };
constexpr ULONG NORM_IGNORECASE = 0x1;
HRESULT VarBstrCmp(BSTR left, BSTR right, LCID lcid, ULONG flags);
