#include "services/error_manager.h"

#include <cstdio>

#include "platform/text/number_codec.h"
#include "services/driver_identity.h"
#include "services/message_table.h"
#include "zentrava/raii.h"

namespace ztv {
namespace {

std::string DriverProgId() {
    LPOLESTR progId = nullptr;
    if (FAILED(ProgIDFromCLSID(ClsidZentrava(), &progId)) || !progId) return {};
    std::string text = WideToUtf8(progId);
    CoTaskMemFree(progId);
    return text;
}

// Error objects carry a help file only with a non-zero help context, and no
// table entry has one, so the help file never reaches the object.
void SetErrorObject(const GUID& iid, std::string_view description) {
    com::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Receive())) || !create) return;
    create->SetGUID(iid);
    const std::string source = DriverProgId();
    if (!source.empty()) create->SetSource(Utf8ToWide(source).c_str());
    create->SetDescription(Utf8ToWide(description).c_str());
    com::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.ReceiveVoid())) && info) SetErrorInfo(0, info.get());
}

}  // namespace

void SetThreadError(const GUID& iid, std::string_view description) { SetErrorObject(iid, description); }

std::string TakeThreadErrorDescription() {
    com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
    com::Bstr description;
    if (FAILED(info->GetDescription(description.Receive()))) return {};
    return description.Utf8();
}

HRESULT CErrorManager::Report(ULONG messageId, std::string_view detail, Join join, std::string_view i1,
                              std::string_view i2, std::string_view i3, std::string* out) const {
    const std::string_view inserts[] = {i1, i2, i3};
    const std::optional<std::string> formatted = FormatMessageText(messageId, inserts);
    if (!formatted) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Internal Error: Unable to retrieve and format error message from message table.\n"
                      "Resource ID = %d\nLanguage ID = %d\nReason = '%s'",
                      static_cast<int>(messageId), 0,
                      "The system cannot find message text for message number 0x%1 in the message file for %2.");
        SetErrorObject(interfaceId_, text);
        return DISP_E_EXCEPTION;
    }
    std::string text(codec::TrimBlanks(*formatted));
    if (join == Join::Line) {
        text += "\r\n";
        text += detail;
    } else if (join == Join::Sentence && !detail.empty()) {
        text += ' ';
        text += detail;
    }
    if (out) *out = text;
    const auto mapped = CErrorMap::Lookup(messageId);
    const HRESULT code = mapped ? mapped->code : E_FAIL;
    SetErrorObject(interfaceId_, text);
    return code == 0 ? DISP_E_EXCEPTION : code;
}

HRESULT CErrorManager::ReportError(ULONG messageId, std::string_view i1, std::string_view i2,
                                   std::string_view i3) const {
    return Report(messageId, {}, Join::None, i1, i2, i3);
}

HRESULT CErrorManager::ReportErrorWithDetail(ULONG messageId, std::string_view detail, std::string_view i1,
                                             std::string_view i2, std::string_view i3) const {
    return Report(messageId, detail, Join::Line, i1, i2, i3);
}

HRESULT CErrorManager::ReportErrorWithReason(ULONG messageId, std::string_view reason, std::string* text) const {
    return Report(messageId, reason, Join::Sentence, {}, {}, {}, text);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               std::uint8_t value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, std::to_string(static_cast<unsigned>(value)), method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               std::int16_t value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, std::to_string(static_cast<int>(value)), method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               std::int32_t value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, std::to_string(value), method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter, float value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, codec::FormatG15(static_cast<double>(value)), method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               double value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, codec::FormatG15(value), method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               std::string_view value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, value, method, parameter);
}

HRESULT CErrorManager::ReportInvalidValueError(std::string_view method, std::string_view parameter,
                                               const OLECHAR* value) const {
    return ReportError(IDS_E_IVI_INVALID_VALUE, WideToUtf8(value), method, parameter);
}

HRESULT CErrorManager::ReportIOError() const {
    return ReportError(IDS_E_ZENTRAVA_IO_GENERAL, TakeThreadErrorDescription());
}

HRESULT CErrorManager::ReportIOTimeoutError() const {
    return ReportError(IDS_E_ZENTRAVA_IO_TIMEOUT, TakeThreadErrorDescription());
}

}  // namespace ztv
