#include "apps/ztv/raw_link.h"

#include "platform/protocol/ieee_block.h"
#include "zentrava/interfaces.h"

namespace ztv_tool {

namespace {

constexpr LONG kChunk = 1 << 16;

}  // namespace

std::size_t BlockHeaderSize(const std::string& reply, std::size_t* length) {
    const protocol::BlockHeader header = protocol::ParseBlockHeader(reply);
    if (header.status != protocol::BlockHeaderStatus::kDefinite) return 0;
    *length = header.length;
    return header.size;
}

std::optional<RawLink> RawLink::Of(ViSession vi, std::string* error) {
    void* object = nullptr;
    if (Ztv_GetNativeIUnknownPtr(vi, &object) < 0 || !object) {
        *error = "the session has no driver object";
        return std::nullopt;
    }
    const auto driver = com::ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(object));
    com::ComPtr<IZentravaSystem> system;
    com::ComPtr<visa::IFormattedIO488> formatter;
    RawLink link;
    if (FAILED(driver->QueryInterface(IID_IZentravaSystem, system.ReceiveVoid())) || !system ||
        FAILED(system->get_IO(formatter.Receive())) || !formatter || FAILED(formatter->get_IO(link.io_.Receive())) ||
        !link.io_) {
        *error = "the session has no instrument link (simulated?)";
        return std::nullopt;
    }
    return link;
}

bool RawLink::Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return true;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    error_ = std::string(what) + " failed (" + code + ")";
    return false;
}

bool RawLink::Send(const std::string& command) {
    const std::string line = command + "\n";
    LONG written = 0;
    return Check(io_->WriteBytes(line.data(), static_cast<LONG>(line.size()), &written), "writing");
}

std::optional<std::string> RawLink::Receive() {
    std::string reply;
    std::size_t wanted = 0;  // the whole block with its header, once known
    for (;;) {
        const std::size_t had = reply.size();
        reply.resize(had + kChunk);
        LONG actual = 0;
        const HRESULT hr = io_->ReadBytes(reply.data() + had, kChunk, &actual);
        reply.resize(had + static_cast<std::size_t>(actual));
        if (!Check(hr, "reading")) return std::nullopt;
        std::size_t length = 0;
        if (wanted == 0) {
            if (const std::size_t header = BlockHeaderSize(reply, &length)) wanted = header + length;
        }
        // A read ends short at the end of the message, or at a line feed
        // that may be a block's data: only its declared length ends a block.
        const bool ended = actual < kChunk || reply.back() == '\n';
        if (ended && reply.size() > wanted) return reply;
    }
}

std::optional<std::string> RawLink::Query(const std::string& command) {
    if (!Send(command)) return std::nullopt;
    return Receive();
}

bool RawLink::Clear() { return Check(io_->Clear(), "device clear"); }

std::optional<int> RawLink::StatusByte() {
    SHORT value = 0;
    if (!Check(io_->ReadSTB(&value), "reading the status byte")) return std::nullopt;
    return value & 0xFF;
}

long RawLink::Timeout() {
    LONG ms = 0;
    io_->get_Timeout(&ms);
    return ms;
}

void RawLink::SetTimeout(long ms) { io_->put_Timeout(static_cast<LONG>(ms)); }

}  // namespace ztv_tool
