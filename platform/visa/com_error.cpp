#include "platform/visa/com_error.h"

#include "zentrava/raii.h"

namespace visa {

HRESULT ReportHresult(HRESULT code, std::string_view description) {
    com::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Receive())) || !create) return code;
    const std::u16string text = Utf8ToWide(description);
    create->SetDescription(text.c_str());
    create->SetSource(u"VISA");
    com::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.ReceiveVoid())) && info) SetErrorInfo(0, info.get());
    return code;
}

}  // namespace visa
