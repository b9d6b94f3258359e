#include "ivic/status_translation.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/ivi/iviss.h"
#include "services/message_table.h"
#include "zentrava/raii.h"

namespace ztv {
namespace {

// Every message code has a row; IVI codes keep their number in the IVI-C
// error or warning range, the driver's own codes their low 16 bits.
ViStatus RowStatus(HRESULT code) {
    const auto bits = static_cast<std::uint32_t>(code);
    if (code == 0) return 0;
    if (code > 0) return static_cast<ViStatus>(0x3FFA0000u | (bits & 0xFFFu));
    if ((bits & 0xFFFFF000u) == 0x80047000u) return static_cast<ViStatus>(0xBFFA0000u | (bits & 0xFFFu));
    return static_cast<ViStatus>(0xBFFA0000u | (bits & 0xFFFFu));
}

const std::unordered_map<HRESULT, ViStatus>& ErrorMap() {
    static const auto map = [] {
        std::unordered_map<HRESULT, ViStatus> m;
        for (const MessageEntry& entry : MessageTable()) m.emplace(entry.code, RowStatus(entry.code));
        return m;
    }();
    return map;
}

const std::unordered_map<ViStatus, std::string_view>& DescriptionMap() {
    static const auto map = [] {
        std::unordered_map<ViStatus, std::string_view> m;
        for (const MessageEntry& entry : MessageTable()) m.emplace(RowStatus(entry.code), entry.text);
        return m;
    }();
    return map;
}

}  // namespace

ViStatus IviCStatusOf(HRESULT code) {
    if (code == S_OK) return 0;  // nearly every call: no lookup
    const auto& map = ErrorMap();
    auto it = map.find(code);
    if (it != map.end()) return it->second;
    return code < 0 ? kIviCGenericFailure : 0;
}

ViStatus TranslateStatus(ViSession vi, HRESULT code) {
    const ViStatus status = IviCStatusOf(code);
    com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return status;
    com::Bstr description;
    if (FAILED(info->GetDescription(description.Receive()))) {
        IviSession_SetError(vi, status, "");
    } else if (!description) {
        IviSession_SetError(vi, status, nullptr);
    } else {
        IviSession_SetError(vi, status, description.Utf8().c_str());
    }
    return status;
}

std::string_view IviCDescriptionOf(ViStatus status) {
    const auto& map = DescriptionMap();
    auto it = map.find(status);
    return it == map.end() ? std::string_view{} : it->second;
}

ViStatus StoreText(BSTR text, ViInt32 size, ViChar* buffer) {
    if (!text) {
        if (buffer && size != 0) {
            buffer[0] = '\0';
            return 0;
        }
        return 1;
    }
    return StoreText(std::string_view(WideToUtf8(text)), size, buffer);
}

ViStatus StoreText(std::string_view narrow, ViInt32 size, ViChar* buffer) {
    const auto needed = static_cast<ViInt32>(narrow.size() + 1);
    if (!buffer || size == 0) return needed;
    if (size < 0 || needed <= size) {
        std::memcpy(buffer, narrow.data(), narrow.size());
        buffer[narrow.size()] = '\0';
        return 0;
    }
    std::memcpy(buffer, narrow.data(), static_cast<std::size_t>(size - 1));
    buffer[size - 1] = '\0';
    return needed;
}

}  // namespace ztv
