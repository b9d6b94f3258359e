// GUID comparison, text form, well-known identifiers and name-based GUIDs.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/com/sha1.h"
#include "zentrava/com.h"

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ISupportErrorInfo = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const GUID ZENTRAVA_NAME_NAMESPACE = {0x7f4aaa2e, 0xa68e, 0x482b, {0xb9, 0xcb, 0x9b, 0x5a, 0xef, 0x80, 0xa6, 0x1f}};

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

namespace {

constexpr std::size_t kGuidTextLength = 36;  // without braces

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The GUID's 16 bytes in the order they are written (network order).
void ToBytes(const GUID& g, std::uint8_t out[16]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(g.Data1 >> (24 - 8 * i));
    out[4] = static_cast<std::uint8_t>(g.Data2 >> 8);
    out[5] = static_cast<std::uint8_t>(g.Data2);
    out[6] = static_cast<std::uint8_t>(g.Data3 >> 8);
    out[7] = static_cast<std::uint8_t>(g.Data3);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID FromBytes(const std::uint8_t in[16]) {
    GUID g;
    g.Data1 = (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) | in[3];
    g.Data2 = static_cast<std::uint16_t>((in[4] << 8) | in[5]);
    g.Data3 = static_cast<std::uint16_t>((in[6] << 8) | in[7]);
    std::memcpy(g.Data4, in + 8, 8);
    return g;
}

}  // namespace

bool GuidFromString(std::string_view text, GUID* out) {
    if (out == nullptr) return false;
    if (text.size() == kGuidTextLength + 2 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, kGuidTextLength);
    }
    if (text.size() != kGuidTextLength) return false;

    std::uint8_t bytes[16];
    std::size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
            if (text[pos] != '-') return false;
            ++pos;
        }
        const int hi = HexDigit(text[pos]);
        const int lo = HexDigit(text[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    *out = FromBytes(bytes);
    return true;
}

std::string GuidToString(REFGUID guid) {
    char text[kGuidTextLength + 3];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

GUID NameBasedGuid(REFGUID nameSpace, std::string_view name) {
    std::uint8_t nsBytes[16];
    ToBytes(nameSpace, nsBytes);
    com_detail::Sha1 sha;
    sha.Update(nsBytes, sizeof nsBytes);
    sha.Update(name.data(), name.size());
    const com_detail::Sha1Digest digest = sha.Finish();

    std::uint8_t bytes[16];
    std::memcpy(bytes, digest.data(), sizeof bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x50);  // version 5
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return FromBytes(bytes);
}

GUID NameBasedGuid(std::string_view name) { return NameBasedGuid(ZENTRAVA_NAME_NAMESPACE, name); }

GUID GuidLiteral(std::string_view text) {
    GUID guid;
    if (!GuidFromString(text, &guid)) {
        // A malformed constant is a programming error that must not ship.
        std::fprintf(stderr, "malformed GUID literal: %.*s\n", static_cast<int>(text.size()), text.data());
        std::abort();
    }
    return guid;
}
