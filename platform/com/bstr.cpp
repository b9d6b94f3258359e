// BSTR: a 4-byte byte count, then the UTF-16 text, then a terminating NUL.
// The pointer handed out addresses the text, as on Windows, so that a BSTR
// can be passed wherever a NUL-terminated wide string is read.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "zentrava/com.h"

namespace {

using LengthPrefix = std::uint32_t;

// The largest character count whose byte count still fits the prefix.
constexpr unsigned int kMaxLength = (std::numeric_limits<LengthPrefix>::max() - sizeof(OLECHAR)) / sizeof(OLECHAR);

std::size_t TextLength(const OLECHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

char* AllocationOf(BSTR text) { return reinterpret_cast<char*>(text) - sizeof(LengthPrefix); }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, unsigned int length) {
    if (length > kMaxLength) return nullptr;
    const LengthPrefix bytes = static_cast<LengthPrefix>(length * sizeof(OLECHAR));
    char* block = static_cast<char*>(std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR)));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    auto* result = reinterpret_cast<BSTR>(block + sizeof(LengthPrefix));
    if (text != nullptr) {
        std::memcpy(result, text, bytes);
    } else {
        std::memset(result, 0, bytes);
    }
    result[length] = 0;
    return result;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) return nullptr;
    const std::size_t length = TextLength(text);
    if (length > kMaxLength) return nullptr;
    return SysAllocStringLen(text, static_cast<unsigned int>(length));
}

int SysReAllocString(BSTR* target, const OLECHAR* text) {
    if (target == nullptr) return 0;
    // Allocate before freeing: text may point into the old string.
    BSTR replacement = nullptr;
    if (text != nullptr) {
        replacement = SysAllocString(text);
        if (replacement == nullptr) return 0;
    }
    SysFreeString(*target);
    *target = replacement;
    return 1;
}

void SysFreeString(BSTR text) {
    if (text != nullptr) std::free(AllocationOf(text));
}

unsigned int SysStringLen(BSTR text) {
    if (text == nullptr) return 0;
    LengthPrefix bytes;
    std::memcpy(&bytes, AllocationOf(text), sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

std::u16string_view BstrView(const OLECHAR* text) {
    if (text == nullptr) return {};
    return {text, TextLength(text)};
}

BSTR Utf8ToBstr(std::string_view text) {
    const std::u16string wide = Utf8ToWide(text);
    if (wide.size() > kMaxLength) return nullptr;
    return SysAllocStringLen(wide.data(), static_cast<unsigned int>(wide.size()));
}
