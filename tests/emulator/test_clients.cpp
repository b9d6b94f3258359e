#include "tests/emulator/test_clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace emulator::test {

using namespace oracle::hislip;

namespace {

// Long enough for any healthy reply, short enough that a hang fails the run.
constexpr int kReceiveGuardSeconds = 20;

}  // namespace

RawClient::RawClient(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return;
    }
    timeval guard{kReceiveGuardSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fd_ = fd;
}

RawClient::~RawClient() {
    if (fd_ >= 0) close(fd_);
}

void RawClient::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

std::optional<std::string> RawClient::ReadLine() {
    for (;;) {
        std::size_t end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end + 1);
            buffered_.erase(0, end + 1);
            return line;
        }
        char chunk[65536];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> RawClient::ReadExact(std::size_t count) {
    while (buffered_.size() < count) {
        char chunk[65536];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    std::string out = buffered_.substr(0, count);
    buffered_.erase(0, count);
    return out;
}

std::string RawClient::ReadToEnd() {
    std::string all = std::move(buffered_);
    buffered_.clear();
    char chunk[65536];
    ssize_t n;
    while ((n = recv(fd_, chunk, sizeof chunk, 0)) > 0) all.append(chunk, static_cast<std::size_t>(n));
    return all;
}

std::string RawClient::Query(const std::string& message) {
    Send(message + "\n");
    std::optional<std::string> line = ReadLine();
    if (!line) return "<no reply>";
    line->pop_back();
    return *line;
}

std::optional<Message> HislipClient::Read(RawClient& channel) {
    std::optional<std::string> header = channel.ReadExact(kHeaderSize);
    Message m;
    std::uint64_t length = 0;
    if (!header || !ParseHeader(*header, &m, &length)) return std::nullopt;
    std::optional<std::string> payload = channel.ReadExact(length);
    if (!payload) return std::nullopt;
    m.payload = std::move(*payload);
    return m;
}

HislipClient::HislipClient(int port, bool openAsync) : sync_(port) {
    // Initialize: protocol 1.0, vendor "ZT", sub-address hislip0.
    sync_.Send(Frame(kInitialize, 0, (0x0100u << 16) | ('Z' << 8) | 'T', "hislip0"));
    std::optional<Message> response = Read(sync_);
    if (!response) return;
    initializeResponse_ = *response;
    session_ = static_cast<std::uint16_t>(response->parameter & 0xFFFF);
    if (!openAsync) return;
    async_.emplace(port);
    async_->Send(Frame(kAsyncInitialize, 0, session_));
    Read(*async_);
}

void HislipClient::SendData(const std::string& text, std::uint32_t messageId, bool end) {
    sync_.Send(Frame(end ? kDataEnd : kData, 0, messageId, text));
}

std::string HislipClient::Query(const std::string& text, std::uint32_t messageId, int* replyMessages,
                                std::uint32_t* replyId) {
    SendData(text, messageId);
    std::string reply;
    int count = 0;
    for (;;) {
        std::optional<Message> m = Read(sync_);
        if (!m || (m->type != kData && m->type != kDataEnd)) return "<no reply>";
        reply += m->payload;
        ++count;
        if (replyId) *replyId = m->parameter;
        if (m->type == kDataEnd) break;
    }
    if (replyMessages) *replyMessages = count;
    return reply;
}

Vxi11Client::Vxi11Client(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socket_ = RPC_ANYSOCK;
    client_ = clnttcp_create(&addr, DEVICE_CORE, DEVICE_CORE_VERSION, &socket_, 0, 0);
}

Vxi11Client::~Vxi11Client() {
    if (client_) clnt_destroy(client_);
}

long Vxi11Client::CreateLink(const std::string& device, bool lock, unsigned long lockTimeout) {
    Create_LinkParms in{};
    in.clientId = 1;
    in.lockDevice = lock;
    in.lock_timeout = lockTimeout;
    in.device = const_cast<char*>(device.c_str());
    Create_LinkResp out{};
    if (create_link_1(&in, &out, client_) != RPC_SUCCESS) return -1;
    link_ = out.lid;
    maxRecvSize_ = out.maxRecvSize;
    return out.error;
}

long Vxi11Client::Write(const std::string& data, bool end) {
    Device_WriteParms in{};
    in.lid = link_;
    in.io_timeout = 5000;
    in.flags = end ? 8 : 0;
    if (lockWaitMs_) {
        in.flags |= 1;
        in.lock_timeout = *lockWaitMs_;
    }
    in.data.data_len = static_cast<u_int>(data.size());
    in.data.data_val = const_cast<char*>(data.data());
    Device_WriteResp out{};
    if (device_write_1(&in, &out, client_) != RPC_SUCCESS) return -1;
    return out.error;
}

Vxi11Client::ReadResult Vxi11Client::Read(unsigned long requestSize, unsigned long ioTimeout, int termChar) {
    Device_ReadParms in{};
    in.lid = link_;
    in.requestSize = requestSize;
    in.io_timeout = ioTimeout;
    if (termChar >= 0) {
        in.flags = 128;
        in.termChar = static_cast<char>(termChar);
    }
    if (lockWaitMs_) {
        in.flags |= 1;
        in.lock_timeout = *lockWaitMs_;
    }
    Device_ReadResp out{};
    ReadResult result;
    if (device_read_1(&in, &out, client_) != RPC_SUCCESS) return result;
    result.error = out.error;
    result.reason = out.reason;
    result.data.assign(out.data.data_val ? out.data.data_val : "", out.data.data_len);
    xdr_free(reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_Device_ReadResp)), &out);
    return result;
}

std::string Vxi11Client::Query(const std::string& message) {
    if (Write(message) != 0) return "<write failed>";
    std::string reply;
    for (;;) {
        ReadResult r = Read();
        if (r.error != 0) return "<read failed>";
        reply += r.data;
        if (r.reason & 4) break;
    }
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return reply;
}

Device_ReadStbResp Vxi11Client::ReadStb() {
    Device_GenericParms in{};
    in.lid = link_;
    Device_ReadStbResp out{};
    if (device_readstb_1(&in, &out, client_) != RPC_SUCCESS) out.error = -1;
    return out;
}

long Vxi11Client::Clear() {
    Device_GenericParms in{};
    in.lid = link_;
    Device_Error out{};
    return device_clear_1(&in, &out, client_) == RPC_SUCCESS ? out.error : -1;
}

long Vxi11Client::Lock(bool wait, unsigned long timeout) {
    Device_LockParms in{};
    in.lid = link_;
    in.flags = wait ? 1 : 0;
    in.lock_timeout = timeout;
    Device_Error out{};
    return device_lock_1(&in, &out, client_) == RPC_SUCCESS ? out.error : -1;
}

long Vxi11Client::Unlock() {
    Device_Link in = link_;
    Device_Error out{};
    return device_unlock_1(&in, &out, client_) == RPC_SUCCESS ? out.error : -1;
}

long Vxi11Client::DestroyLink() {
    Device_Link in = link_;
    Device_Error out{};
    return destroy_link_1(&in, &out, client_) == RPC_SUCCESS ? out.error : -1;
}

}  // namespace emulator::test
