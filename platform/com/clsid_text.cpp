// The UTF-16 forms of GUID text used by COM callers.
#include <string>

#include "zentrava/com.h"

// Like Windows, a string that is not a braced GUID is tried as a ProgID, and
// a null string stands for the null CLSID.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out) {
    if (out == nullptr) return E_INVALIDARG;
    if (text == nullptr) {
        *out = GUID_NULL;
        return S_OK;
    }
    const std::string narrow = WideToUtf8(text);
    if (narrow.size() > 2 && narrow.front() == '{' && narrow.back() == '}' && GuidFromString(narrow, out)) {
        return S_OK;
    }
    if (SUCCEEDED(CLSIDFromProgID(text, out))) return S_OK;
    return CO_E_CLASSSTRING;
}

// Returns the characters written including the terminator, 0 when the
// buffer is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) {
    const std::string text = GuidToString(guid);
    if (buffer == nullptr || cchMax < static_cast<int>(text.size()) + 1) return 0;
    for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<OLECHAR>(text[i]);
    buffer[text.size()] = 0;
    return static_cast<int>(text.size()) + 1;
}
