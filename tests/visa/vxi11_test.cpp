#include "rpc/vxi11.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>

#include "platform/visa/service_request_wait.h"
#include "platform/visa/transport/lan/tcp_connect.h"
#include "visa_test_util.h"

namespace {

// The instrument behind the in-test VXI-11 server. "*IDN?", "TWO?" and
// "BLOCK?" (an indefinite block holding a line feed) are answered; after
// "SLOW?" the next read fails with the VXI-11 I/O time-out and the reply
// "late" stays queued (only a device clear removes it); after "HANG?" the
// next read does not answer before the test releases it.
struct Device {
    std::mutex mutex;
    std::condition_variable released;
    bool hangReleased = false;
    std::string output;
    std::string input;
    std::vector<std::pair<std::string, long>> writes;
    std::vector<long> readFlags;
    unsigned long maxReceiveSize = 16;
    bool failNextRead = false;
    bool hangNextRead = false;
    int clears = 0;
    int triggers = 0;
    int links = 0;
};

Device* device = nullptr;

constexpr long kEnd = 0x08, kTermCharSet = 0x80;

}  // namespace

extern "C" {

bool_t create_link_1_svc(Create_LinkParms* parms, Create_LinkResp* result, struct svc_req*) {
    std::lock_guard lock(device->mutex);
    *result = {};
    if (std::strcmp(parms->device, "inst0") != 0) {
        result->error = 3;
        return 1;
    }
    ++device->links;
    result->lid = 1;
    result->maxRecvSize = device->maxReceiveSize;
    return 1;
}

bool_t device_write_1_svc(Device_WriteParms* parms, Device_WriteResp* result, struct svc_req*) {
    std::lock_guard lock(device->mutex);
    const std::string data(parms->data.data_val, parms->data.data_len);
    device->writes.emplace_back(data, parms->flags);
    device->input += data;
    if (parms->flags & kEnd) {
        if (device->input == "*IDN?\n") device->output += "ZT,VXI11\n";
        if (device->input == "TWO?\n") device->output += "first\nsecond\n";
        if (device->input == "BLOCK?\n") device->output += "#0ab\ncd\n";
        if (device->input == "SLOW?\n") {
            device->output += "late\n";
            device->failNextRead = true;
        }
        if (device->input == "HANG?\n") device->hangNextRead = true;
        device->input.clear();
    }
    *result = {0, parms->data.data_len};
    return 1;
}

bool_t device_read_1_svc(Device_ReadParms* parms, Device_ReadResp* result, struct svc_req*) {
    std::unique_lock lock(device->mutex);
    *result = {};
    device->readFlags.push_back(parms->flags);
    if (device->hangNextRead) {
        device->hangNextRead = false;
        device->released.wait_for(lock, std::chrono::seconds(10), [] { return device->hangReleased; });
    }
    if (device->failNextRead || device->output.empty()) {
        device->failNextRead = false;
        result->error = 15;
        return 1;
    }
    std::size_t count = std::min<std::size_t>(parms->requestSize, device->output.size());
    if (parms->flags & kTermCharSet) {
        const auto at = device->output.find(parms->termChar);
        if (at != std::string::npos && at < count) {
            count = at + 1;
            result->reason |= 2;
        }
    }
    if (count == device->output.size()) result->reason |= 4;
    if (result->reason == 0) result->reason = 1;
    result->data.data_len = static_cast<u_int>(count);
    result->data.data_val = static_cast<char*>(std::malloc(count));
    std::memcpy(result->data.data_val, device->output.data(), count);
    device->output.erase(0, count);
    return 1;
}

bool_t device_readstb_1_svc(Device_GenericParms*, Device_ReadStbResp* result, struct svc_req*) {
    *result = {0, 0x42};
    return 1;
}

bool_t device_trigger_1_svc(Device_GenericParms*, Device_Error* result, struct svc_req*) {
    std::lock_guard lock(device->mutex);
    ++device->triggers;
    result->error = 0;
    return 1;
}

bool_t device_clear_1_svc(Device_GenericParms*, Device_Error* result, struct svc_req*) {
    std::lock_guard lock(device->mutex);
    ++device->clears;
    device->output.clear();
    device->input.clear();
    result->error = 0;
    return 1;
}

bool_t destroy_link_1_svc(Device_Link*, Device_Error* result, struct svc_req*) {
    std::lock_guard lock(device->mutex);
    --device->links;
    result->error = 0;
    return 1;
}

// Calls this client never makes, and the interrupt channel, which this
// instrument does not have.
#define ZTV_UNSUPPORTED(name, Parms)                             \
    bool_t name(Parms*, Device_Error* result, struct svc_req*) { \
        result->error = 8;                                       \
        return 1;                                                \
    }
ZTV_UNSUPPORTED(device_remote_1_svc, Device_GenericParms)
ZTV_UNSUPPORTED(device_local_1_svc, Device_GenericParms)
ZTV_UNSUPPORTED(device_lock_1_svc, Device_LockParms)
ZTV_UNSUPPORTED(device_unlock_1_svc, Device_Link)
ZTV_UNSUPPORTED(device_enable_srq_1_svc, Device_EnableSrqParms)
ZTV_UNSUPPORTED(create_intr_chan_1_svc, Device_RemoteFunc)
ZTV_UNSUPPORTED(destroy_intr_chan_1_svc, void)
ZTV_UNSUPPORTED(device_abort_1_svc, Device_Link)
#undef ZTV_UNSUPPORTED

bool_t device_docmd_1_svc(Device_DocmdParms*, Device_DocmdResp* result, struct svc_req*) {
    *result = {};
    result->error = 8;
    return 1;
}

bool_t device_intr_srq_1_svc(Device_SrqParms*, void*, struct svc_req*) { return 1; }

int device_core_1_freeresult(SVCXPRT*, xdrproc_t free, caddr_t result) {
    xdr_free(free, result);
    return 1;
}
int device_async_1_freeresult(SVCXPRT*, xdrproc_t free, caddr_t result) {
    xdr_free(free, result);
    return 1;
}
int device_intr_1_freeresult(SVCXPRT*, xdrproc_t free, caddr_t result) {
    xdr_free(free, result);
    return 1;
}

void device_core_1(struct svc_req*, SVCXPRT*);

}  // extern "C"

namespace visa::test {
namespace {

// The core channel on an ephemeral loopback port, registered without a
// portmapper, served by one thread.
class Vxi11Server {
public:
    Vxi11Server() {
        device = &device_;
        transport_ = svctcp_create(ListenOnLoopback(8, &port_), 0, 0);
        svc_register(transport_, DEVICE_CORE, DEVICE_CORE_VERSION, device_core_1, 0);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Vxi11Server() {
        Release();
        stop_ = true;
        thread_.join();
        svc_unregister(DEVICE_CORE, DEVICE_CORE_VERSION);
        svc_destroy(transport_);
        device = nullptr;
    }
    void Release() {
        std::lock_guard lock(device_.mutex);
        device_.hangReleased = true;
        device_.released.notify_all();
    }

    std::uint16_t port() const { return port_; }
    Device& state() { return device_; }

private:
    void Serve() {
        while (!stop_) {
            std::vector<pollfd> fds(svc_pollfd, svc_pollfd + svc_max_pollfd);
            const int ready = ::poll(fds.data(), fds.size(), 20);
            if (ready > 0) svc_getreq_poll(fds.data(), ready);
        }
    }

    Device device_;
    std::uint16_t port_ = 0;
    SVCXPRT* transport_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Vxi11Session : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(
            OpenMessage("TCPIP::127.0.0.1::inst0::INSTR", "VXI11Port=" + std::to_string(server_.port()), 2000, &io_),
            S_OK)
            << TakeErrorText();
    }
    void TearDown() override {
        io_ = {};
        CoUninitialize();
    }
    std::vector<std::pair<std::string, long>> Writes() {
        std::lock_guard lock(server_.state().mutex);
        return server_.state().writes;
    }

    Vxi11Server server_;
    com::ComPtr<IMessage> io_;
};

TEST_F(Vxi11Session, WritesInChunksWithEndOnTheLastAndReadsToEnd) {
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,VXI11\n");
    const std::string block(40, 'x');
    LONG written = 0;
    ASSERT_EQ(io_->WriteBytes(block.data(), 40, &written), S_OK);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 4u);  // 6 bytes, then 40 in chunks of the announced 16
    EXPECT_EQ(writes[1].first.size(), 16u);
    EXPECT_EQ(writes[1].second & kEnd, 0);
    EXPECT_EQ(writes[2].second & kEnd, 0);
    EXPECT_EQ(writes[3].first.size(), 8u);
    EXPECT_EQ(writes[3].second & kEnd, kEnd);
}

TEST_F(Vxi11Session, TermCharIsPassedToTheDeviceOnlyWhenEnabled) {
    EXPECT_EQ(ReplyOrError(io_.get(), "TWO?\n"), "first\nsecond\n");  // no termination character: up to END
    io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    EXPECT_EQ(ReplyOrError(io_.get(), "TWO?\n"), "first\n");
    std::lock_guard lock(server_.state().mutex);
    ASSERT_EQ(server_.state().readFlags.size(), 2u);
    EXPECT_EQ(server_.state().readFlags[0] & kTermCharSet, 0);
    EXPECT_EQ(server_.state().readFlags[1] & kTermCharSet, kTermCharSet);
}

TEST_F(Vxi11Session, IndefiniteBlockRunsToEndPastALineFeed) {
    std::string block;
    ASSERT_EQ(QueryBlock(io_.get(), "BLOCK?\n", &block), S_OK) << TakeErrorText();
    EXPECT_EQ(block, "ab\ncd");
    VARIANT_BOOL termChar = VARIANT_FALSE;
    io_->get_TerminationCharacterEnabled(&termChar);
    EXPECT_EQ(termChar, VARIANT_TRUE);  // the session's setting is back
}

TEST_F(Vxi11Session, StatusByteTriggerAndClear) {
    SHORT statusByte = 0;
    ASSERT_EQ(io_->ReadSTB(&statusByte), S_OK);
    EXPECT_EQ(statusByte, 0x42);
    ASSERT_EQ(io_->AssertTrigger(), S_OK);
    ASSERT_EQ(io_->Clear(), S_OK);
    std::lock_guard lock(server_.state().mutex);
    EXPECT_EQ(server_.state().triggers, 1);
    EXPECT_EQ(server_.state().clears, 1);
}

TEST_F(Vxi11Session, WithoutAnInterruptChannelServiceRequestsAreSerialPolled) {
    com::ComPtr<IServiceRequestWait> waiting;
    ASSERT_EQ(io_->QueryInterface(IID_IServiceRequestWait, waiting.ReceiveVoid()), S_OK);
    SHORT statusByte = 0;
    ASSERT_EQ(waiting->WaitForServiceRequest(1000, &statusByte), S_OK) << TakeErrorText();
    EXPECT_EQ(statusByte, 0x42);  // request service is set in what device_readstb answers
}

TEST_F(Vxi11Session, DeviceTimeoutIsFollowedByClearSoTheNextQueryIsNotStale) {
    std::string reply;
    EXPECT_EQ(Query(io_.get(), "SLOW?\n", &reply), E_VISA_TMO);
    EXPECT_EQ(TakeErrorText(), "Timeout expired before operation completed.");
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,VXI11\n");
}

TEST_F(Vxi11Session, UnansweredReadTimesOutOnTheRpcLevel) {
    io_->put_Timeout(200);
    std::string reply;
    EXPECT_EQ(Query(io_.get(), "HANG?\n", &reply), E_VISA_TMO);
    server_.Release();
    io_->put_Timeout(2000);
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,VXI11\n");
}

TEST_F(Vxi11Session, CloseDestroysTheLink) {
    ASSERT_EQ(io_->Close(), S_OK);
    std::lock_guard lock(server_.state().mutex);
    EXPECT_EQ(server_.state().links, 0);
}

TEST(Vxi11Open, PortFromEnvironmentAndRefusedDevice) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        Vxi11Server server;
        ::setenv("ZENTRAVA_VXI11_PORT", std::to_string(server.port()).c_str(), 1);
        com::ComPtr<IMessage> io;
        EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::INSTR", "", 2000, &io), S_OK) << TakeErrorText();
        EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::inst9::INSTR", "", 2000, &io), E_VISA_RSRC_NFOUND);
        EXPECT_NE(TakeErrorText().find("inst9"), std::string::npos);
        ::setenv("ZENTRAVA_VXI11_PORT", "notaport", 1);
        EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::INSTR", "", 2000, &io), E_VISA_INV_SETUP);
        ::unsetenv("ZENTRAVA_VXI11_PORT");
    }
    CoUninitialize();
}

TEST(Vxi11Open, WithoutPortmapperTheErrorSaysHowToNameThePort) {
    UniqueFd probe;
    if (ConnectTcp("127.0.0.1", 111, Deadline::After(500), &probe).ok()) GTEST_SKIP() << "a portmapper runs here";
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    com::ComPtr<IMessage> io;
    EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::inst0::INSTR", "", 2000, &io), E_VISA_RSRC_NFOUND);
    EXPECT_NE(TakeErrorText().find("VXI11Port"), std::string::npos);
    CoUninitialize();
}

// Words of XDR, big-endian.
void Put(std::string* out, std::uint32_t value) {
    const std::uint32_t big = htonl(value);
    out->append(reinterpret_cast<const char*>(&big), 4);
}

std::string Words(std::initializer_list<std::uint32_t> words) {
    std::string out;
    for (std::uint32_t word : words) Put(&out, word);
    return out;
}

// A reply's header: accepted, with a verifier of the given flavour and body, successful.
std::string Accepted(std::uint32_t xid, std::uint32_t flavour = 0, const std::string& verifier = "") {
    std::string padded = verifier + std::string((4 - verifier.size() % 4) % 4, '\0');
    return Words({xid, 1, 0, flavour, static_cast<std::uint32_t>(verifier.size())}) + padded + Words({0});
}

// device_read results: no error, END, the data padded to a word.
std::string ReadData(const std::string& data) {
    return Words({0, 4, static_cast<std::uint32_t>(data.size())}) + data + std::string((4 - data.size() % 4) % 4, '\0');
}

// One record in fragments of at most `fragment` bytes.
std::string Record(const std::string& body, std::size_t fragment = 0x7FFFFFFF) {
    std::string out;
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(fragment, body.size() - at);
        Put(&out, (at + length == body.size() ? 0x80000000u : 0u) | static_cast<std::uint32_t>(length));
        out += body.substr(at, length);
        at += length;
    } while (at < body.size());
    return out;
}

// A VXI-11 server spoken byte by byte, so that it can send what no correct
// server would: the first device_read is answered with what `firstRead`
// makes of the call's xid (whole records, marks included), later ones with
// END and "ok\n".
class HandSpokenServer {
public:
    using Answer = std::function<std::string(std::uint32_t xid)>;
    explicit HandSpokenServer(Answer firstRead) : firstRead_(std::move(firstRead)) {}
    std::uint16_t port() const { return server_.port(); }
    int links() const { return links_; }

private:
    static std::uint32_t Word(const std::string& record, std::size_t index) {
        std::uint32_t big = 0;
        std::memcpy(&big, record.data() + 4 * index, 4);
        return ntohl(big);
    }

    void Serve(int socket) {
        for (;;) {
            std::uint32_t mark = 0;
            if (!ReceiveExactly(socket, &mark, 4)) return;
            std::string call(ntohl(mark) & 0x7FFFFFFF, '\0');
            if (!ReceiveExactly(socket, call.data(), call.size())) return;
            // xid, direction, RPC version, program, version, procedure, then
            // credentials and verifier of the client's "none" flavour.
            const std::uint32_t xid = Word(call, 0);
            switch (Word(call, 5)) {
                case 10:  // create_link: no error, link 1, no abort port, 1024 bytes per write
                    ++links_;
                    SendAll(socket, Record(Accepted(xid) + Words({0, 1, 0, 1024})));
                    break;
                case 11:  // device_write: everything taken
                    SendAll(socket, Record(Accepted(xid) + Words({0, Word(call, 14)})));
                    break;
                case 12:
                    SendAll(socket,
                            answered_.exchange(true) ? Record(Accepted(xid) + ReadData("ok\n")) : firstRead_(xid));
                    break;
                default:
                    SendAll(socket, Record(Accepted(xid) + Words({0})));
                    break;
            }
        }
    }

    const Answer firstRead_;
    std::atomic<bool> answered_{false};
    std::atomic<int> links_{0};
    LoopbackServer server_{[this](int socket) { Serve(socket); }};
};

Status QueryHandSpoken(const HandSpokenServer& server, std::string* reply) {
    com::ComPtr<IMessage> io;
    const HRESULT opened =
        OpenMessage("TCPIP::127.0.0.1::inst0::INSTR", "VXI11Port=" + std::to_string(server.port()), 2000, &io);
    if (FAILED(opened)) return Status::Fail(opened, TakeErrorText());
    const HRESULT first = Query(io.get(), "*IDN?\n", reply);
    Status outcome = Status::Fail(first, SUCCEEDED(first) ? "" : TakeErrorText());
    // Whatever the first reply did, the session answers the next query.
    std::string next;
    if (Query(io.get(), "*IDN?\n", &next) != S_OK || next != "ok\n") return Status::Fail(E_FAIL, "no recovery");
    return outcome;
}

TEST(Vxi11Reply, ClaimingMoreDataThanAskedForFailsAndTheNextQueryLinksAgain) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    for (std::uint32_t claimed : {1025u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        HandSpokenServer server([claimed](std::uint32_t xid) {
            return Record(Accepted(xid) + Words({0, 4, claimed}) + "abc" + '\0');
        });
        std::string reply;
        const Status outcome = QueryHandSpoken(server, &reply);
        EXPECT_EQ(outcome.code, E_VISA_IO) << claimed;
        EXPECT_EQ(outcome.text, "device_read reply from 127.0.0.1:" + std::to_string(server.port()) + " claims " +
                                    std::to_string(claimed) +
                                    " bytes, more than the 1024 asked for; connection closed.");
        EXPECT_EQ(server.links(), 2);
    }
    CoUninitialize();
}

TEST(Vxi11Reply, FramingAndHeadersOfRepliesAsServersMaySendThem) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    struct Case {
        const char* name;
        HandSpokenServer::Answer answer;
        HRESULT code;
        const char* reply;  // or a part of the error text
        int links;
    };
    const Case cases[] = {
        {"in fragments, with a verifier",
         [](std::uint32_t xid) { return Record(Accepted(xid, 2, "12345") + ReadData("fragmented\n"), 3); }, S_OK,
         "fragmented\n", 1},
        {"after another transaction's reply",
         [](std::uint32_t xid) {
             return Record(Accepted(xid - 1) + ReadData("stale\n")) + Record(Accepted(xid) + ReadData("fresh\n"));
         },
         S_OK, "fresh\n", 1},
        {"cut short after its verifier",
         [](std::uint32_t xid) {
             return Record(Words({xid, 1, 0, 1, 1, 0x01000000}));
         },
         E_VISA_IO, "cannot be decoded; connection closed.", 2},
        {"a verifier longer than allowed",
         [](std::uint32_t xid) {
             return Record(Accepted(xid, 1, std::string(MAX_AUTH_BYTES + 4, 'v')) + ReadData("x"));
         },
         E_VISA_IO, "cannot be decoded", 2},
        {"refusing the procedure",
         [](std::uint32_t xid) {
             return Record(Words({xid, 1, 0, 0, 0, PROC_UNAVAIL}));
         },
         E_VISA_IO, "failed: RPC: Procedure unavailable.", 1},
        {"denied",
         [](std::uint32_t xid) {
             return Record(Words({xid, 1, 1, 1, AUTH_BADCRED}));
         },
         E_VISA_IO, "failed: RPC: Authentication error", 1},
        {"longer than the read asked for",
         [](std::uint32_t xid) { return Record(Accepted(xid) + ReadData(std::string(2048, 'x'))); }, E_VISA_IO,
         "is longer than", 2},
    };
    for (const Case& c : cases) {
        HandSpokenServer server(c.answer);
        std::string reply;
        const Status outcome = QueryHandSpoken(server, &reply);
        EXPECT_EQ(outcome.code, c.code) << c.name << ": " << outcome.text;
        if (c.code == S_OK) {
            EXPECT_EQ(reply, c.reply) << c.name;
        } else {
            EXPECT_NE(outcome.text.find(c.reply), std::string::npos) << c.name << ": " << outcome.text;
        }
        EXPECT_EQ(server.links(), c.links) << c.name;
    }
    CoUninitialize();
}

}  // namespace
}  // namespace visa::test
