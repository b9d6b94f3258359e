#include "visa_test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace visa::test {

std::string TakeErrorText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return "";
    com::Bstr description;
    info->GetDescription(description.Receive());
    info->Release();
    return description.Utf8();
}

HRESULT OpenMessage(const std::string& resource, const std::string& options, LONG openTimeout,
                    com::ComPtr<IMessage>* io) {
    if (HRESULT hr = EnsureClassesRegistered(); FAILED(hr)) return hr;
    com::ComPtr<IResourceManager> manager;
    if (HRESULT hr = CoCreateInstance(CLSID_ResourceManager, nullptr, CLSCTX_INPROC_SERVER, IID_IResourceManager,
                                      manager.ReceiveVoid());
        FAILED(hr)) {
        return hr;
    }
    com::ComPtr<IVisaSession> session;
    const com::Bstr name(resource);
    const com::Bstr optionText(options);
    if (HRESULT hr = manager->Open(name.get(), NO_LOCK, openTimeout, optionText.get(), session.Receive()); FAILED(hr)) {
        return hr;
    }
    return session->QueryInterface(IID_IMessage, io->ReceiveVoid());
}

HRESULT Query(IMessage* io, const std::string& command, std::string* reply) {
    LONG written = 0;
    const com::Bstr text(command);
    if (HRESULT hr = io->WriteString(text.get(), &written); FAILED(hr)) return hr;
    com::Bstr answer;
    if (HRESULT hr = io->ReadString(1024, answer.Receive()); FAILED(hr)) return hr;
    *reply = answer.Utf8();
    return S_OK;
}

std::string ReplyOrError(IMessage* io, const std::string& command) {
    std::string reply;
    return SUCCEEDED(Query(io, command, &reply)) ? reply : TakeErrorText();
}

HRESULT QueryBlock(IMessage* io, const std::string& command, std::string* bytes) {
    com::ComPtr<IFormattedIO488> formatted;
    if (HRESULT hr = CoCreateInstance(CLSID_FormattedIO488, nullptr, CLSCTX_INPROC_SERVER, IID_IFormattedIO488,
                                      formatted.ReceiveVoid());
        FAILED(hr)) {
        return hr;
    }
    formatted->putref_IO(io);
    io->put_TerminationCharacterEnabled(VARIANT_TRUE);
    const com::Bstr text(command);
    if (HRESULT hr = formatted->WriteString(text.get(), VARIANT_TRUE); FAILED(hr)) return hr;
    VARIANT block;
    if (HRESULT hr = formatted->ReadIEEEBlock(BinaryType_UI1, VARIANT_FALSE, VARIANT_FALSE, &block); FAILED(hr)) {
        return hr;
    }
    bytes->assign(static_cast<const char*>(block.parray->pvData), block.parray->rgsabound[0].cElements);
    VariantClear(&block);
    return S_OK;
}

int ListenOnLoopback(int backlog, std::uint16_t* port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, backlog);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return listener;
}

LoopbackServer::LoopbackServer(Handler handler, int backlog) : handler_(std::move(handler)) {
    listener_ = ListenOnLoopback(backlog, &port_);
    if (handler_) acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        // Wakes handlers blocked in recv.
        for (int socket : sockets_) ::shutdown(socket, SHUT_RDWR);
    }
    for (auto& worker : workers_) worker.join();
    for (int socket : sockets_) ::close(socket);
    ::close(listener_);
}

void LoopbackServer::AcceptLoop() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) continue;
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        ++connections_;
        std::lock_guard lock(mutex_);
        sockets_.push_back(socket);
        workers_.emplace_back([this, socket] { handler_(socket); });
    }
}

bool ReceiveLine(int socket, std::string* line) {
    line->clear();
    char c = 0;
    for (;;) {
        if (::recv(socket, &c, 1, 0) != 1) return false;
        line->push_back(c);
        if (c == '\n') return true;
    }
}

bool ReceiveExactly(int socket, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::recv(socket, bytes, size, 0);
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void SendAll(int socket, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace visa::test
