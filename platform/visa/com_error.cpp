#include "platform/visa/com_error.h"

namespace visa {

HRESULT ReportError(HRESULT code, std::string_view description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)) || create == nullptr) return code;
    const std::u16string text = AnsiToWide(description);
    create->SetDescription(text.c_str());
    create->SetSource(u"VISA");
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info != nullptr) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    return code;
}

}  // namespace visa
