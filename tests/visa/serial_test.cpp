#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "platform/visa/open_options.h"
#include "platform/visa/transport/serial/serial_settings.h"
#include "visa_test_util.h"

namespace visa::test {
namespace {

// A pseudo-terminal pair: the session opens the slave by name, the test
// plays the instrument on the master.
class SerialSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        slaveName_ = name;
    }
    void TearDown() override {
        io_ = {};
        ::close(master_);
        ::close(slave_);
        CoUninitialize();
    }
    std::string ReadFromMaster(std::size_t size) {
        std::string data;
        while (data.size() < size) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 2000) <= 0) break;
            char chunk[256];
            const ssize_t got = ::read(master_, chunk, std::min(sizeof chunk, size - data.size()));
            if (got <= 0) break;
            data.append(chunk, static_cast<std::size_t>(got));
        }
        return data;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
    com::ComPtr<IMessage> io_;
};

TEST_F(SerialSession, AppliesLineSettingsFromTheOptions) {
    ASSERT_EQ(OpenMessage("ASRL" + slaveName_ + "::INSTR",
                          "BaudRate=19200, DataBits=7, Parity=Even, StopBits=2, FlowControl=RtsCts", 2000, &io_),
              S_OK)
        << TakeErrorText();
    termios attributes{};
    ASSERT_EQ(::tcgetattr(slave_, &attributes), 0);
    // A pseudo-terminal forces 8 bits without parity; ToTermios is checked for those below.
    EXPECT_EQ(cfgetospeed(&attributes), B19200);
    EXPECT_NE(attributes.c_cflag & CSTOPB, 0u);
    EXPECT_NE(attributes.c_cflag & CRTSCTS, 0u);
    SHORT type = 0;
    io_->get_HardwareInterfaceType(&type);
    EXPECT_EQ(type, INTF_ASRL);
}

TEST_F(SerialSession, WritesBytesAndReadsToTheTerminationCharacter) {
    ASSERT_EQ(OpenMessage("ASRL" + slaveName_ + "::INSTR", "", 2000, &io_), S_OK) << TakeErrorText();
    LONG written = 0;
    const com::Bstr command("*IDN?\n");
    ASSERT_EQ(io_->WriteString(command.get(), &written), S_OK);
    EXPECT_EQ(ReadFromMaster(6), "*IDN?\n");

    ASSERT_EQ(::write(master_, "ZT,SER\r\nnext\r\n", 14), 14);
    io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    com::Bstr reply;
    ASSERT_EQ(io_->ReadString(100, reply.Receive()), S_OK) << TakeErrorText();
    EXPECT_EQ(reply.Utf8(), "ZT,SER\r\n");
    io_->put_TerminationCharacter('\r');
    ASSERT_EQ(io_->ReadString(100, reply.Receive()), S_OK);
    EXPECT_EQ(reply.Utf8(), "next\r");
}

TEST_F(SerialSession, TimeoutDropsTheLateInputBeforeTheNextWrite) {
    ASSERT_EQ(OpenMessage("ASRL" + slaveName_ + "::INSTR", "", 2000, &io_), S_OK);
    io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    io_->put_Timeout(100);
    com::Bstr reply;
    EXPECT_EQ(io_->ReadString(100, reply.Receive()), E_VISA_TMO);
    EXPECT_EQ(TakeErrorText(), "Timeout expired before operation completed.");
    ASSERT_EQ(::write(master_, "late\n", 5), 5);
    ASSERT_EQ(::tcdrain(master_), 0);
    // Let the line discipline move the bytes to the slave's input queue.
    pollfd entry{slave_, POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 2000), 1);
    LONG written = 0;
    const com::Bstr command("Q?\n");
    ASSERT_EQ(io_->WriteString(command.get(), &written), S_OK);
    ASSERT_EQ(::write(master_, "fresh\n", 6), 6);
    io_->put_Timeout(2000);
    ASSERT_EQ(io_->ReadString(100, reply.Receive()), S_OK);
    EXPECT_EQ(reply.Utf8(), "fresh\n");
}

TEST(SerialSettings, MapToTermios) {
    struct Case {
        const char* options;
        speed_t speed;
        tcflag_t size, parity, stop;
        tcflag_t inputFlow;
    };
    const Case cases[] = {
        {"", B9600, CS8, 0, 0, 0},
        {"BaudRate=115200,DataBits=7,Parity=Odd,StopBits=2", B115200, CS7, PARENB | PARODD, CSTOPB, 0},
        {"DataBits=5,Parity=Mark,FlowControl=XonXoff", B9600, CS5, PARENB | PARODD | CMSPAR, 0, IXON | IXOFF},
        {"DataBits=6,Parity=Space", B9600, CS6, PARENB | CMSPAR, 0, 0},
        {"Parity=Even", B9600, CS8, PARENB, 0, 0},
    };
    for (const Case& c : cases) {
        SerialSettings settings;
        ASSERT_TRUE(ParseSerialSettings(OpenOptions::Parse(c.options), &settings).ok()) << c.options;
        termios attributes{};
        ToTermios(settings, &attributes);
        EXPECT_EQ(cfgetospeed(&attributes), c.speed) << c.options;
        EXPECT_EQ(attributes.c_cflag & CSIZE, c.size) << c.options;
        EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD | CMSPAR), c.parity) << c.options;
        EXPECT_EQ(attributes.c_cflag & CSTOPB, c.stop) << c.options;
        EXPECT_EQ(attributes.c_iflag & (IXON | IXOFF), c.inputFlow) << c.options;
    }
}

TEST(SerialSettings, RejectsUnsupportedValues) {
    const char* const bad[] = {"BaudRate=12345", "DataBits=9", "Parity=Sometimes", "StopBits=1.5",
                               "FlowControl=DtrDsr"};
    for (const char* option : bad) {
        SerialSettings settings;
        const Status status = ParseSerialSettings(OpenOptions::Parse(option), &settings);
        EXPECT_EQ(status.code, E_VISA_INV_SETUP) << option;
        EXPECT_NE(status.text.find(option), std::string::npos) << status.text;
    }
    SerialSettings defaults;
    ASSERT_TRUE(ParseSerialSettings(OpenOptions::Parse("Unrelated=1;parity=odd"), &defaults).ok());
    EXPECT_EQ(defaults.baudRate, 9600);
    EXPECT_EQ(defaults.parity, Parity::Odd);
}

}  // namespace
}  // namespace visa::test
