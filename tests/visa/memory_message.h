// An instrument session held in memory, for the formatter's tests and its
// fuzz target.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/message_read_end.h"
#include "platform/visa/visacom.h"

namespace visa::test {

// An in-memory instrument session: queued replies end with END, every write
// is recorded with its END flag, a read with nothing queued times out.
// `carriesEnd` is what it says of its link.
class MemoryMessage final : public IMessage, public IMessageReadEnd {
public:
    std::deque<std::string> replies;
    std::vector<std::pair<std::string, bool>> writes;
    int reads = 0;
    bool carriesEnd = true;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IMessage || riid == IID_IVisaSession) {
            *ppv = static_cast<IMessage*>(this);
        } else if (riid == IID_IMessageReadEnd) {
            *ppv = static_cast<IMessageReadEnd*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override { return --references_; }

    HRESULT ReadBytesWithStop(void* buffer, LONG count, LONG* actual, ReadStop* stop) override {
        ++reads;
        if (replies.empty()) return E_VISA_TMO;
        std::string& front = replies.front();
        std::size_t size = std::min<std::size_t>(count, front.size());
        *stop = READ_STOP_COUNT;
        if (termCharEnabled_) {
            const auto at = front.find(static_cast<char>(termChar_));
            if (at != std::string::npos && at < size) {
                size = at + 1;
                *stop = READ_STOP_TERMCHAR;
            }
        }
        std::memcpy(buffer, front.data(), size);
        front.erase(0, size);
        if (front.empty()) {
            replies.pop_front();
            *stop = READ_STOP_END;
        }
        *actual = static_cast<LONG>(size);
        return S_OK;
    }
    HRESULT get_CarriesEnd(VARIANT_BOOL* carried) override {
        *carried = carriesEnd ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT ReadBytes(void* buffer, LONG count, LONG* actual) override {
        ReadStop stop;
        return ReadBytesWithStop(buffer, count, actual, &stop);
    }
    HRESULT WriteBytes(const void* buffer, LONG count, LONG* written) override {
        writes.emplace_back(std::string(static_cast<const char*>(buffer), count), sendEnd_ != VARIANT_FALSE);
        *written = count;
        return S_OK;
    }
    HRESULT get_SendEndEnabled(VARIANT_BOOL* on) override {
        *on = sendEnd_;
        return S_OK;
    }
    HRESULT put_SendEndEnabled(VARIANT_BOOL on) override {
        sendEnd_ = on;
        return S_OK;
    }
    HRESULT put_TerminationCharacterEnabled(VARIANT_BOOL on) override {
        termCharEnabled_ = on != VARIANT_FALSE;
        return S_OK;
    }

    HRESULT get_ResourceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_HardwareInterfaceType(SHORT*) override { return E_NOTIMPL; }
    HRESULT get_Timeout(LONG*) override { return E_NOTIMPL; }
    HRESULT put_Timeout(LONG) override { return E_NOTIMPL; }
    HRESULT Close() override { return E_NOTIMPL; }
    HRESULT Read(LONG, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT ReadString(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT Write(SAFEARRAY*, LONG*) override { return E_NOTIMPL; }
    HRESULT WriteString(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT Clear() override { return E_NOTIMPL; }
    HRESULT ReadSTB(SHORT*) override { return E_NOTIMPL; }
    HRESULT AssertTrigger() override { return E_NOTIMPL; }
    HRESULT get_TerminationCharacter(BYTE*) override { return E_NOTIMPL; }
    HRESULT put_TerminationCharacter(BYTE) override { return E_NOTIMPL; }
    HRESULT get_TerminationCharacterEnabled(VARIANT_BOOL* on) override {
        *on = termCharEnabled_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    ULONG references_ = 1;
    VARIANT_BOOL sendEnd_ = VARIANT_TRUE;
    bool termCharEnabled_ = false;
    BYTE termChar_ = '\n';
};

}  // namespace visa::test
