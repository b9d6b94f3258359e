// ProgID <-> CLSID through the registry's class and ProgID keys.
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/com/registry.h"
#include "zentrava/com.h"

namespace {

// A ProgID's CurVer may point to another ProgID; more hops than this can
// only be a loop.
constexpr int kMaxCurVerHops = 8;

std::optional<CLSID> ClassOfProgId(const std::string& progId) {
    const std::optional<std::string> text = reg::GetString(reg::Hive::ClassesRoot, progId + "\\CLSID", "");
    CLSID clsid;
    if (!text || !GuidFromString(*text, &clsid)) return std::nullopt;
    return clsid;
}

}  // namespace

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

void CoTaskMemFree(void* p) { std::free(p); }

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
    if (progId == nullptr) return E_INVALIDARG;
    *progId = nullptr;
    const std::optional<std::string> name =
        reg::GetString(reg::Hive::ClassesRoot, "CLSID\\" + GuidToString(clsid) + "\\ProgID", "");
    if (!name || name->empty()) return REGDB_E_CLASSNOTREG;

    const std::u16string wide = Utf8ToWide(*name);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (out == nullptr) return E_OUTOFMEMORY;
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *progId = out;
    return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
    const std::string requested = WideToUtf8(progId);
    if (requested.empty()) return CO_E_CLASSSTRING;

    std::string current = requested;
    for (int hop = 0; hop < kMaxCurVerHops; ++hop) {
        const std::optional<std::string> next = reg::GetString(reg::Hive::ClassesRoot, current + "\\CurVer", "");
        if (!next || next->empty() || *next == current) break;
        current = *next;
    }
    std::optional<CLSID> found = ClassOfProgId(current);
    // A CurVer that names an unregistered version falls back to the key's own CLSID.
    if (!found && current != requested) found = ClassOfProgId(requested);
    if (!found) return CO_E_CLASSSTRING;
    *clsid = *found;
    return S_OK;
}
