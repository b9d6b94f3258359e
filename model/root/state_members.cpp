// Binary transfers of IZentravaSystem and IZentravaHardCopy: the instrument
// state, the screen bitmap and hard-copy images as IEEE 488.2 blocks.
#include <string_view>

#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"
#include "platform/protocol/ieee_block.h"

namespace ztv::custom {
namespace {

constexpr LONG kStateReadTimeout = 20000;
constexpr LONG kBlockTimeout = 60000;

// Switches status polling off for the scope: the block transfer is one
// message that a status query must not split.
class PollingOff {
public:
    explicit PollingOff(Zentrava& root) : root_(root), saved_(root.Flags().queryInstrumentStatus) {
        root_.MutableFlags().queryInstrumentStatus = false;
    }
    ~PollingOff() { root_.MutableFlags().queryInstrumentStatus = saved_; }
    PollingOff(const PollingOff&) = delete;
    PollingOff& operator=(const PollingOff&) = delete;

private:
    Zentrava& root_;
    bool saved_;
};

// The learned state can hold nested block headers: the data starts after the
// last header found scanning from the front (its length digits unread).
HRESULT StripNestedHeaders(SAFEARRAY* bytes, SAFEARRAY** out) {
    void* raw = nullptr;
    HRESULT hr = SafeArrayAccessData(bytes, &raw);
    if (FAILED(hr)) return hr;
    const auto* data = static_cast<const BYTE*>(raw);
    const std::size_t size = bytes->rgsabound[0].cElements;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t span = protocol::BlockHeaderSpan(text.substr(i));
        if (span == 0) continue;
        if (i + span > size) break;
        begin = i + span;
        i = begin - 1;
    }
    SAFEARRAY* result = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size - begin));
    if (result && size > begin) {
        void* target = nullptr;
        if (SUCCEEDED(SafeArrayAccessData(result, &target))) {
            std::copy(data + begin, data + size, static_cast<BYTE*>(target));
            SafeArrayUnaccessData(result);
        }
    }
    SafeArrayUnaccessData(bytes);
    if (!result) return E_OUTOFMEMORY;
    *out = result;
    return S_OK;
}

}  // namespace

HRESULT get_state(engine::MemberCall& call, SAFEARRAY** pVal) {
    *pVal = nullptr;
    if (call.Simulating()) return S_OK;
    PollingOff polling(*call.Root());
    HRESULT hr = call.IO().InstrWriteNoPoll(call.Command(0), kCurrentTimeout);
    if (FAILED(hr)) return hr;
    SAFEARRAY* block = nullptr;
    hr = call.IO().Provider().FormattedReadIEEEBlock(&block, true, true, kStateReadTimeout);
    if (FAILED(hr)) return hr;
    hr = StripNestedHeaders(block, pVal);
    SafeArrayDestroy(block);
    return hr;
}

HRESULT put_state(engine::MemberCall& call, SAFEARRAY* Data) {
    if (call.Simulating()) return S_OK;
    PollingOff polling(*call.Root());
    return call.IO().Provider().FormattedWriteIEEEBlock(call.Command(0), Data, true, kBlockTimeout);
}

HRESULT screen_bitmap(engine::MemberCall& call, SAFEARRAY** pBitmap) {
    if (call.Simulating()) return S_OK;
    HRESULT hr = call.IO().InstrWriteNoPoll(call.Command(0), kCurrentTimeout);
    if (FAILED(hr)) return hr;
    SAFEARRAY* block = nullptr;
    hr = call.IO().Provider().FormattedReadIEEEBlock(&block, true, true, kCurrentTimeout);
    if (FAILED(hr)) return hr;
    if (*pBitmap) SafeArrayDestroy(*pBitmap);
    *pBitmap = block;
    return hr;
}

HRESULT image_data(engine::MemberCall& call, ZentravaHardCopyImageEnum Fmt, SAFEARRAY** pVal) {
    *pVal = nullptr;
    if (call.Simulating()) return S_OK;
    const char* token = engine::TokenOf(*call.Desc().enumType, Fmt);
    if (!token) return S_OK;
    const engine::CommandArg format[] = {engine::CommandArg::Text(token)};
    const HRESULT hr = call.IO().InstrWriteNoPoll(call.Command(0, format), kCurrentTimeout);
    if (FAILED(hr)) return hr;
    return call.IO().Provider().FormattedReadIEEEBlock(pVal, true, true, kBlockTimeout);
}

}  // namespace ztv::custom
