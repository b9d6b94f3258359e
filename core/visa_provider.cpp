#include "core/visa_provider.h"

#include <cstring>
#include <string>

namespace ztv {
namespace {

HRESULT MapTimeout(HRESULT hr) { return hr == visa::E_VISA_TMO ? IO_TIMEOUT_RESULT : hr; }

// The array of `element`s a formatter read left in `result`; it passes to
// the caller, anything else is cleared.
HRESULT TakeArray(HRESULT hr, VARIANT* result, VARTYPE element, SAFEARRAY** array) {
    if (SUCCEEDED(hr) && result->vt == (VT_ARRAY | element)) {
        *array = result->parray;
        return S_OK;
    }
    VariantClear(result);
    return FAILED(hr) ? MapTimeout(hr) : E_FAIL;
}

// Creates one of the VISA-COM classes, naming the missing component when it
// cannot.
template <class T>
HRESULT CreateComponent(const CLSID& clsid, const IID& iid, std::string_view component, com::ComPtr<T>* object) {
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object->ReceiveVoid());
    if (SUCCEEDED(hr) && *object) return hr;
    SetThreadError(GUID_NULL, "Could not create instance of VISA-COM " + std::string(component) +
                                  " Component. Make sure it is installed properly.");
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace

void CVisaComIOProvider::ReleaseAll() {
    if (session_) session_->Close();
    formatter_ = {};
    readEnd_ = {};
    message_ = {};
    session_ = {};
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
    com::ComPtr<visa::IResourceManager> manager;
    HRESULT hr =
        CreateComponent(visa::CLSID_ResourceManager, visa::IID_IResourceManager, "Global Resource Manager", &manager);
    if (FAILED(hr)) return hr;
    hr = manager->Open(com::Bstr(resourceDescriptor).get(), visa::NO_LOCK, 2000, com::Bstr(links.openOptions).get(),
                       session_.Receive());
    manager = {};
    if (FAILED(hr) || !session_) {
        // The caller reports the resource as unknown, with the transport's
        // reason that the resource manager left on the thread.
        session_ = {};
        return E_IVI_RESOURCE_UNKNOWN;
    }
    hr = session_->QueryInterface(visa::IID_IMessage, message_.ReceiveVoid());
    if (FAILED(hr)) return MapTimeout(hr);
    message_->QueryInterface(visa::IID_IMessageReadEnd, readEnd_.ReceiveVoid());

    hr = CreateComponent(visa::CLSID_FormattedIO488, visa::IID_IFormattedIO488, "FormattedIO488", &formatter_);
    if (FAILED(hr)) return hr;
    hr = formatter_->putref_IO(message_.get());
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

visa::IMessage* CVisaComIOProvider::Message() const { return com::ComPtr(message_).Detach(); }

visa::IFormattedIO488* CVisaComIOProvider::Formatter() const { return com::ComPtr(formatter_).Detach(); }

HRESULT CVisaComIOProvider::ReadText(LONG count, std::string* text, bool* complete) {
    if (!message_) return E_FAIL;
    text->resize(static_cast<std::size_t>(count));
    LONG actual = 0;
    visa::ReadStop stop = visa::READ_STOP_END;
    // A foreign session does not say why it stopped: a short read is the end.
    const HRESULT hr = readEnd_ ? readEnd_->ReadBytesWithStop(text->data(), count, &actual, &stop)
                                : message_->ReadBytes(text->data(), count, &actual);
    text->resize(SUCCEEDED(hr) ? static_cast<std::size_t>(actual) : 0);
    *complete = readEnd_ ? stop != visa::READ_STOP_COUNT : actual < count;
    return MapTimeout(hr);
}

HRESULT CVisaComIOProvider::DiscardReply() {
    std::string rest;
    bool complete = false;
    while (!complete) {
        if (HRESULT hr = ReadText(4096, &rest, &complete); FAILED(hr)) return hr;
    }
    return S_OK;
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
    const HRESULT hr = formatter_->ReadList(visa::ASCIIType_R8, com::Bstr(",").get(), &list);
    return TakeArray(hr, &list, VT_R8, values);
}

HRESULT CVisaComIOProvider::ReadIEEEBlock(bool seekToBlock, bool flushToEnd, SAFEARRAY** bytes) {
    if (!formatter_) return E_FAIL;
    VARIANT block;
    VariantInit(&block);
    const HRESULT hr = formatter_->ReadIEEEBlock(visa::BinaryType_UI1, seekToBlock ? VARIANT_TRUE : VARIANT_FALSE,
                                                 flushToEnd ? VARIANT_TRUE : VARIANT_FALSE, &block);
    return TakeArray(hr, &block, VT_UI1, bytes);
}

HRESULT CVisaComIOProvider::WriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd) {
    if (!formatter_) return E_FAIL;
    VARIANT data;
    VariantInit(&data);
    data.vt = VT_ARRAY | VT_UI1;
    data.parray = bytes;  // borrowed: not cleared here
    const HRESULT hr =
        formatter_->WriteIEEEBlock(com::Bstr(command).get(), data, flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
    return MapTimeout(hr);
}

HRESULT CVisaComIOProvider::FlushRead() { return formatter_ ? MapTimeout(formatter_->FlushRead()) : E_FAIL; }

HRESULT CVisaComIOProvider::WriteFormattedString(std::string_view text, bool flushAndEnd) {
    if (!formatter_) return E_FAIL;
    const HRESULT hr = formatter_->WriteString(com::Bstr(text).get(), flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
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
    const HRESULT hr = formatter_->WriteList(&list, visa::ASCIIType_R8, com::Bstr(",").get(),
                                             flushAndEnd ? VARIANT_TRUE : VARIANT_FALSE);
    return MapTimeout(hr);
}

}  // namespace ztv
