#include <gtest/gtest.h>

#include <thread>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"
#include "tests/support/emulator_support.h"

namespace emulator {
namespace {

using test::HislipClient;
using test::RawClient;
using test::Vxi11Client;

TEST(LifecycleTest, StartsAndStopsRepeatedly) {
    Emulator emulator;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(test::Started(emulator));
        ASSERT_GT(emulator.SocketPort(), 0);
        ASSERT_GT(emulator.Vxi11Port(), 0);
        ASSERT_GT(emulator.HislipPort(), 0);
        RawClient client(emulator.SocketPort());
        EXPECT_EQ(client.Query("*TST?"), "0");
        emulator.Stop();
        EXPECT_EQ(emulator.SocketPort(), 0);
        EXPECT_EQ(client.ReadToEnd(), "");  // the server closed the connection
    }
}

TEST(LifecycleTest, StopEndsConnectionsThatAreWaiting) {
    Options options;
    options.measurementDelayMs = 600000;
    Emulator emulator(options);
    ASSERT_TRUE(test::Started(emulator));
    emulator.faults().SetReplyDelay(600000);
    RawClient delayed(emulator.SocketPort());
    delayed.Send("*IDN?\n");
    RawClient measuring(emulator.SocketPort());
    measuring.Send("INIT:PN1:IMM;*OPC?\n");
    Vxi11Client vxi11(emulator.Vxi11Port());
    ASSERT_EQ(vxi11.CreateLink(), 0);
    ASSERT_EQ(vxi11.Write("*OPC?"), 0);
    HislipClient hislip(emulator.HislipPort());
    hislip.SendData("*IDN?", 0xFFFFFF00u);
    // Make sure the raw-socket messages have arrived before stopping.
    while (emulator.Received().size() < 4) std::this_thread::yield();
    emulator.Stop();
    EXPECT_EQ(delayed.ReadToEnd(), "");
    EXPECT_EQ(measuring.ReadToEnd(), "");
    EXPECT_EQ(hislip.sync().ReadToEnd(), "");
}

TEST(LifecycleTest, FailsCleanlyWhenAPortIsTaken) {
    Emulator first;
    ASSERT_TRUE(test::Started(first));
    Options options;
    options.socketPort = first.SocketPort();
    Emulator second(options);
    std::string error;
    EXPECT_FALSE(second.Start(&error));
    EXPECT_NE(error.find("bind"), std::string::npos) << error;
    EXPECT_EQ(second.Vxi11Port(), 0);
    EXPECT_EQ(second.HislipPort(), 0);
}

TEST(LifecycleTest, SeveralEmulatorsServeVxi11InOneProcess) {
    Options a, b;
    b.model = "Q7310A";
    b.socketPort = b.hislipPort = -1;
    Emulator first(a), second(b);
    ASSERT_TRUE(test::Started(first));
    ASSERT_TRUE(test::Started(second));
    EXPECT_EQ(second.SocketPort(), 0);
    Vxi11Client one(first.Vxi11Port()), two(second.Vxi11Port());
    ASSERT_EQ(one.CreateLink(), 0);
    ASSERT_EQ(two.CreateLink(), 0);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(one.Query("*IDN?"), "Orvane Technologies,Q7310B,0123456789,1.0.9");
        EXPECT_EQ(two.Query("*IDN?"), "Orvane Technologies,Q7310A,0123456789,1.0.9");
    }
    EXPECT_EQ(first.Received().size(), 20u);
    EXPECT_EQ(second.Received().size(), 20u);
}

TEST(LifecycleTest, ResourceStringsNameTheServedPorts) {
    EXPECT_EQ(SocketResourceString("127.0.0.1", 5025), "TCPIP0::127.0.0.1::5025::SOCKET");
    EXPECT_EQ(Vxi11ResourceString("127.0.0.1"), "TCPIP0::127.0.0.1::inst0::INSTR");
    EXPECT_EQ(HislipResourceString("127.0.0.1", 4880), "TCPIP0::127.0.0.1::hislip0::INSTR");
    EXPECT_EQ(HislipResourceString("10.0.0.7", 4999), "TCPIP0::10.0.0.7::hislip0,4999::INSTR");
    Emulator emulator;
    ASSERT_TRUE(test::Started(emulator));
    EXPECT_EQ(emulator.SocketResource(), SocketResourceString("127.0.0.1", emulator.SocketPort()));
    EXPECT_EQ(emulator.HislipResource(), HislipResourceString("127.0.0.1", emulator.HislipPort()));
}

}  // namespace
}  // namespace emulator
