#include <gtest/gtest.h>

#include <thread>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"
#include "tests/support/emulator_support.h"

namespace emulator {
namespace {

using test::RawClient;

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Started(emulator_)); }
    int port() const { return emulator_.SocketPort(); }
    Emulator emulator_{test::ServingOnly(Channel::Socket)};
};

constexpr char kIdn[] = "Orvane Technologies,Q7310B,0123456789,1.0.9";

TEST_F(SocketTest, RecordsEveryMessageWithItsExactBytes) {
    RawClient client(port());
    ASSERT_TRUE(client.connected());
    // Two messages in one packet, one split over two packets, a block with line feeds.
    client.Send("SENS:ATT:LEV 10.5\n*IDN?\n");
    EXPECT_EQ(client.ReadLine(), std::string(kIdn) + "\n");
    client.Send("SYST:SET #14\n\r\n\n");
    client.Send("\n*OP");
    client.Send("C?\r\n");
    EXPECT_EQ(client.ReadLine(), "1\n");
    std::vector<ReceivedMessage> received = emulator_.Received();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].bytes, "SENS:ATT:LEV 10.5\n");
    EXPECT_EQ(received[1].bytes, "*IDN?\n");
    EXPECT_EQ(received[2].bytes, "SYST:SET #14\n\r\n\n\n");
    EXPECT_EQ(received[3].bytes, "*OPC?\r\n");
    for (const ReceivedMessage& m : received) EXPECT_EQ(m.channel, Channel::Socket);
    EXPECT_EQ(received[0].connection, received[3].connection);
    emulator_.ClearReceived();
    EXPECT_TRUE(emulator_.Received().empty());
}

TEST_F(SocketTest, ConcurrentClientsShareOneInstrument) {
    constexpr int kClients = 4, kRounds = 100;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(kClients, 0);
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            RawClient client(port());
            std::string header = "CALC:PN1:TRAC1:MARK" + std::to_string(c + 2) + ":X";
            for (int i = 0; i < kRounds; ++i) {
                std::string value = std::to_string(c * 1000 + i);
                client.Send(header + " " + value + "\n");
                if (client.Query(header + "?") != value) ++mismatches[c];
                if (client.Query("*IDN?") != kIdn) ++mismatches[c];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int c = 0; c < kClients; ++c) EXPECT_EQ(mismatches[c], 0) << "client " << c;
    // All clients' settings landed in the same instrument.
    RawClient observer(port());
    EXPECT_EQ(observer.Query("CALC:PN1:TRAC1:MARK5:X?"), "3099");
    EXPECT_EQ(emulator_.Received().size(), static_cast<std::size_t>(kClients * kRounds * 3 + 1));
}

// Each fault once through the C++ interface and once through its SCPI command.
struct FaultCase {
    const char* name;
    void (*viaApi)(Faults&);
    const char* viaScpi;
    void (*check)(RawClient&);
};

const FaultCase kFaults[] = {
    {"swallow", [](Faults& f) { f.SwallowReplies(1); }, "EMUL:FAUL:SWAL 1",
     [](RawClient& c) {
         c.Send("*IDN?\n*OPT?\n");
         EXPECT_EQ(c.ReadLine(), "QVX-BBM\n");
     }},
    {"drop on message", [](Faults& f) { f.DropOnNextMessage(); }, "EMUL:FAUL:DROP IMM",
     [](RawClient& c) {
         c.Send("*IDN?\n");
         EXPECT_EQ(c.ReadToEnd(), "");
     }},
    {"drop mid reply", [](Faults& f) { f.DropDuringNextReply(5); }, "EMUL:FAUL:DROP 5",
     [](RawClient& c) {
         c.Send("*IDN?\n");
         EXPECT_EQ(c.ReadToEnd(), "Orvan");
     }},
    {"garbage", [](Faults& f) { f.GarbleReplies(1); }, "EMUL:FAUL:GARB 1",
     [](RawClient& c) {
         std::string reply = c.Query("*IDN?");
         EXPECT_NE(reply, kIdn);
         EXPECT_NE(reply.find_first_of("\x01\x15\x7f"), std::string::npos);
         EXPECT_EQ(c.Query("*IDN?"), kIdn);
     }},
    {"truncated", [](Faults& f) { f.TruncateNextReply(6); }, "EMUL:FAUL:TRUN 6",
     [](RawClient& c) {
         EXPECT_EQ(c.Query("*IDN?"), "Orvane");
         EXPECT_EQ(c.Query("*IDN?"), kIdn);
     }},
    {"truncated unterminated", [](Faults& f) { f.TruncateNextReply(3, false); }, "EMUL:FAUL:TRUN 3,UNT",
     [](RawClient& c) {
         c.Send("*IDN?\n*TST?\n");
         EXPECT_EQ(c.ReadLine(), "Orv0\n");
     }},
    {"esr once", [](Faults& f) { f.ForceEsrBits(32, false); }, "EMUL:FAUL:ESR 32",
     [](RawClient& c) { EXPECT_EQ(c.Query("*ESR?;*ESR?"), "32;0"); }},
    {"esr persistent", [](Faults& f) { f.ForceEsrBits(16, true); }, "EMUL:FAUL:ESR 16,PERS",
     [](RawClient& c) { EXPECT_EQ(c.Query("*ESR?;*ESR?"), "16;16"); }},
    {"idn model", [](Faults& f) { f.SetIdnModel("Q7310A"); }, "EMUL:FAUL:IDN \"Q7310A\"",
     [](RawClient& c) { EXPECT_EQ(c.Query("*IDN?"), "Orvane Technologies,Q7310A,0123456789,1.0.9"); }},
    {"reply delay", [](Faults& f) { f.SetReplyDelay(30); }, "EMUL:FAUL:DEL 30",
     [](RawClient& c) { EXPECT_EQ(c.Query("*IDN?"), kIdn); }},
    {"slow trace", [](Faults& f) { f.SetTraceDelay(30); }, "EMUL:FAUL:TRAC:DEL 30",
     [](RawClient& c) {
         EXPECT_EQ(c.Query("EMUL:TRAC:POIN 3;:CALC:PN1:DATA:XDAT?"), "1.000000000E+00,6.324555320E+03,4.000000000E+07");
     }},
};

TEST_F(SocketTest, EachFaultMisbehavesAsAskedWhetherSetByApiOrScpi) {
    for (const FaultCase& fault : kFaults) {
        for (bool scpi : {false, true}) {
            SCOPED_TRACE(std::string(fault.name) + (scpi ? " via SCPI" : " via API"));
            emulator_.faults().Clear();
            RawClient client(port());
            ASSERT_EQ(client.Query("*CLS;*OPC?"), "1");
            if (scpi) {
                client.Send(std::string(fault.viaScpi) + "\n");
            } else {
                fault.viaApi(emulator_.faults());
            }
            fault.check(client);
        }
    }
}

}  // namespace
}  // namespace emulator
