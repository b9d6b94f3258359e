#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "rpc/vxi11.h"
#include "tests/support/hislip_oracle.h"

// Bare clients of the emulator's interfaces. They frame their messages
// themselves (HiSLIP with tests/support/hislip_oracle.h) rather than with
// platform/protocol on purpose: written apart from the code under test, they
// are the oracle for the emulator and the driver alike.
namespace emulator::test {

// A raw TCP client with a generous receive guard so a broken server fails
// the test instead of hanging it.
class RawClient {
public:
    explicit RawClient(int port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void Send(const std::string& bytes);
    // Up to and including the next line feed; nothing at end of stream.
    std::optional<std::string> ReadLine();
    std::optional<std::string> ReadExact(std::size_t count);
    // Everything until the server closes the connection.
    std::string ReadToEnd();
    // Sends `message` plus LF and returns the reply line without its LF.
    std::string Query(const std::string& message);

private:
    int fd_ = -1;
    std::string buffered_;
};

// Both channels of one HiSLIP session, opened with the handshake.
class HislipClient {
public:
    explicit HislipClient(int port, bool openAsync = true);
    RawClient& sync() { return sync_; }
    RawClient& async() { return *async_; }
    std::uint16_t session() const { return session_; }
    const oracle::hislip::Message& initializeResponse() const { return initializeResponse_; }

    static std::optional<oracle::hislip::Message> Read(RawClient& channel);
    void SendData(const std::string& text, std::uint32_t messageId, bool end = true);
    // DataEnd with `text`, then the whole reply (Data... DataEnd) joined.
    std::string Query(const std::string& text, std::uint32_t messageId, int* replyMessages = nullptr,
                      std::uint32_t* replyId = nullptr);

private:
    RawClient sync_;
    std::optional<RawClient> async_;
    std::uint16_t session_ = 0;
    oracle::hislip::Message initializeResponse_;
};

// A VXI-11 core channel client made of the rpcgen client stubs.
class Vxi11Client {
public:
    explicit Vxi11Client(int port);
    ~Vxi11Client();
    Vxi11Client(const Vxi11Client&) = delete;
    Vxi11Client& operator=(const Vxi11Client&) = delete;

    bool connected() const { return client_ != nullptr; }
    // Link to `device`; the error code of the reply.
    long CreateLink(const std::string& device = "inst0", bool lock = false, unsigned long lockTimeout = 0);
    Device_Link link() const { return link_; }
    unsigned long maxRecvSize() const { return maxRecvSize_; }
    long Write(const std::string& data, bool end = true);
    struct ReadResult {
        long error = -1;
        long reason = 0;
        std::string data;
    };
    ReadResult Read(unsigned long requestSize = 1u << 20, unsigned long ioTimeout = 5000, int termChar = -1);
    std::string Query(const std::string& message);  // write with END, read, strip the line feed
    Device_ReadStbResp ReadStb();
    long Clear();
    long Lock(bool wait, unsigned long timeout);
    // Later writes and reads wait up to `timeout` for another link's lock.
    void WaitForLocks(unsigned long timeout) { lockWaitMs_ = timeout; }
    long Unlock();
    long DestroyLink();

private:
    CLIENT* client_ = nullptr;
    int socket_ = -1;
    Device_Link link_ = 0;
    unsigned long maxRecvSize_ = 0;
    std::optional<unsigned long> lockWaitMs_;
};

}  // namespace emulator::test
