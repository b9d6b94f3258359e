// The I/O provider over VISA-COM: a message session opened through the
// resource manager, with its formatted-I/O companion.
#pragma once

#include <string_view>

#include "core/io_provider.h"

namespace ztv {

class CVisaComIOProvider final : public CDriverIOProvider {
public:
    ~CVisaComIOProvider() override { ReleaseAll(); }

    HRESULT Open(const Links& links, std::string_view resourceDescriptor) override;
    HRESULT Close() override;

    // New references for direct I/O; null when not open.
    visa::IMessage* Message() const;
    visa::IFormattedIO488* Formatter() const;

protected:
    HRESULT ReadText(LONG count, std::string* text, bool* complete) override;
    HRESULT DiscardReply() override;
    HRESULT WriteText(std::string_view text, LONG* written) override;
    HRESULT Clear() override;
    HRESULT ReadStatusByte(SHORT* statusByte) override;
    HRESULT SetTimeout(LONG ms) override;
    HRESULT GetTimeout(LONG* ms) override;
    HRESULT ReadList(SAFEARRAY** values) override;
    HRESULT ReadIEEEBlock(bool seekToBlock, bool flushToEnd, SAFEARRAY** bytes) override;
    HRESULT WriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd) override;
    HRESULT FlushRead() override;
    HRESULT WriteFormattedString(std::string_view text, bool flushAndEnd) override;
    HRESULT WriteFormattedList(SAFEARRAY* values, bool flushAndEnd) override;

private:
    void ReleaseAll();

    com::ComPtr<visa::IVisaSession> session_;
    com::ComPtr<visa::IMessage> message_;
    com::ComPtr<visa::IMessageReadEnd> readEnd_;
    com::ComPtr<visa::IFormattedIO488> formatter_;
};

}  // namespace ztv
