#include <cstring>

#include "core/io_provider.h"

namespace ztv {
namespace {

HRESULT MapTimeout(HRESULT hr) { return hr == visa::E_VISA_TMO ? IO_TIMEOUT_RESULT : hr; }

template <class T>
void ReleaseRef(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

}  // namespace

void CVisaComIOProvider::ReleaseAll() {
    if (session_) session_->Close();
    ReleaseRef(formatter_);
    ReleaseRef(message_);
    ReleaseRef(session_);
}

HRESULT CVisaComIOProvider::Close() {
    ReleaseAll();
    MarkClosed();
    return S_OK;
}

HRESULT CVisaComIOProvider::Open(const Links& links, std::string_view resourceDescriptor) {
    if (!links.errors || !links.queryInstrumentStatus) return E_INVALIDARG;
    Close();
    MarkOpened(links);

    visa::EnsureClassesRegistered();
    visa::IResourceManager* manager = nullptr;
    HRESULT hr = CoCreateInstance(visa::CLSID_ResourceManager, nullptr, CLSCTX_ALL, visa::IID_IResourceManager,
                                  reinterpret_cast<void**>(&manager));
    if (FAILED(hr) || !manager) {
        SetThreadError(GUID_NULL,
                       "Could not create instance of VISA-COM Global Resource Manager Component. Make sure it is "
                       "installed properly.");
        return FAILED(hr) ? hr : E_FAIL;
    }
    BSTR name = AnsiToBstr(resourceDescriptor);
    BSTR options = AnsiToBstr("");
    hr = manager->Open(name, visa::NO_LOCK, 2000, options, &session_);
    SysFreeString(name);
    SysFreeString(options);
    manager->Release();
    if (FAILED(hr) || !session_) {
        // The caller reports the resource as unknown, with the transport's
        // reason that the resource manager left on the thread.
        session_ = nullptr;
        return E_IVI_RESOURCE_UNKNOWN;
    }
    hr = session_->QueryInterface(visa::IID_IMessage, reinterpret_cast<void**>(&message_));
    if (FAILED(hr)) return MapTimeout(hr);

    hr = CoCreateInstance(visa::CLSID_FormattedIO488, nullptr, CLSCTX_ALL, visa::IID_IFormattedIO488,
                          reinterpret_cast<void**>(&formatter_));
    if (FAILED(hr) || !formatter_) {
        SetThreadError(GUID_NULL,
                       "Could not create instance of VISA-COM FormattedIO488 Component. Make sure it is installed "
                       "properly.");
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = formatter_->putref_IO(message_);
    if (FAILED(hr)) return MapTimeout(hr);

    SHORT type = 0;
    hr = session_->get_HardwareInterfaceType(&type);
    if (SUCCEEDED(hr) && (type == visa::INTF_ASRL || type == visa::INTF_TCPIP)) {
        hr = message_->put_TerminationCharacter(10);
        if (SUCCEEDED(hr)) hr = message_->put_TerminationCharacterEnabled(VARIANT_TRUE);
        if (SUCCEEDED(hr)) hr = message_->put_SendEndEnabled(VARIANT_TRUE);
    }
    return MapTimeout(hr);
}

visa::IMessage* CVisaComIOProvider::Message() const {
    if (message_) message_->AddRef();
    return message_;
}

visa::IFormattedIO488* CVisaComIOProvider::Formatter() const {
    if (formatter_) formatter_->AddRef();
    return formatter_;
}

HRESULT CVisaComIOProvider::ReadText(LONG count, std::string* text) {
    if (!message_) return E_FAIL;
    text->resize(static_cast<std::size_t>(count));
    LONG actual = 0;
    const HRESULT hr = message_->ReadBytes(text->data(), count, &actual);
    text->resize(SUCCEEDED(hr) ? static_cast<std::size_t>(actual) : 0);
    return MapTimeout(hr);
}

HRESULT CVisaComIOProvider::WriteText(std::string_view text, LONG* written) {
    if (!message_) return E_FAIL;
    return MapTimeout(message_->WriteBytes(text.data(), static_cast<LONG>(text.size()), written));
}

HRESULT CVisaComIOProvider::Clear() { return message_ ? MapTimeout(message_->Clear()) : E_FAIL; }

HRESULT CVisaComIOProvider::ReadStatusByte(SHORT* statusByte) {
    return message_ ? MapTimeout(message_->ReadSTB(statusByte)) : E_FAIL;
}

HRESULT CVisaComIOProvider::SetTimeout(LONG ms) { return session_ ? MapTimeout(session_->put_Timeout(ms)) : E_FAIL; }

HRESULT CVisaComIOProvider::GetTimeout(LONG* ms) { return session_ ? MapTimeout(session_->get_Timeout(ms)) : E_FAIL; }

HRESULT CVisaComIOProvider::ReadList(SAFEARRAY** values) {
    if (!formatter_) return E_FAIL;
    VARIANT list;
    VariantInit(&list);
    BSTR separator = AnsiToBstr(",");
    const HRESULT hr = formatter_->ReadList(visa::ASCIIType_R8, separator, &list);
    SysFreeString(separator);
    if (FAILED(hr)) {
        VariantClear(&list);
        return MapTimeout(hr);
    }
    if (list.vt != (VT_ARRAY | VT_R8)) {
        VariantClear(&list);
        return E_FAIL;
    }
    *values = list.parray;  // ownership moves to the caller
    return S_OK;
}

HRESULT CVisaComIOProvider::ReadIEEEBlock(bool seekToBlock, bool flushToEnd, SAFEARRAY** bytes) {
    if (!formatter_) return E_FAIL;
    VARIANT block;
    VariantInit(&block);
    const HRESULT hr = formatter_->ReadIEEEBlock(visa::BinaryType_UI1, seekToBlock ? VARIANT_TRUE : VARIANT_FALSE,
                                                 flushToEnd ? VARIANT_TRUE : VARIANT_FALSE, &block);
    if (FAILED(hr)) {
        VariantClear(&block);
        return MapTimeout(hr);
    }
    if (block.vt != (VT_ARRAY | VT_UI1)) {
        VariantClear(&block);
        return E_FAIL;
    }
    *bytes = block.parray;
    return S_OK;
}

HRESULT CVisaComIOProvider::WriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd) {
    if (!formatter_) return E_FAIL;
    VARIANT data;
    VariantInit(&data);
    data.vt = VT_ARRAY | VT_UI1;
    data.parray = bytes;  // borrowed: not cleared here
    BSTR text = AnsiToBstr(command);
    const HRESULT hr = formatter_->WriteIEEEBlock(text, data, flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
    SysFreeString(text);
    return MapTimeout(hr);
}

HRESULT CVisaComIOProvider::FlushRead() { return formatter_ ? MapTimeout(formatter_->FlushRead()) : E_FAIL; }

HRESULT CVisaComIOProvider::WriteFormattedString(std::string_view text, bool flushAndEnd) {
    if (!formatter_) return E_FAIL;
    BSTR data = AnsiToBstr(text);
    const HRESULT hr = formatter_->WriteString(data, flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
    SysFreeString(data);
    return MapTimeout(hr);
}

HRESULT CVisaComIOProvider::WriteFormattedList(SAFEARRAY* values, bool flushAndEnd) {
    if (!formatter_) return E_FAIL;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(values, &type))) return E_INVALIDARG;
    VARIANT list;
    VariantInit(&list);
    list.vt = static_cast<VARTYPE>(VT_ARRAY | type);
    list.parray = values;  // borrowed: not cleared here
    BSTR separator = AnsiToBstr(",");
    const HRESULT hr =
        formatter_->WriteList(&list, visa::ASCIIType_R8, separator, flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
    SysFreeString(separator);
    return MapTimeout(hr);
}

}  // namespace ztv
