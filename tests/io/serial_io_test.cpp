// The driver over a serial line: a pseudo-terminal pair whose far end is
// served by the emulator's SCPI engine, with replies scripted where a test
// needs an answer the instrument would not give.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "emulator/instrument/instrument.h"
#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;

class PtyInstrument {
public:
    PtyInstrument() {
        char name[256] = {};
        EXPECT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        slaveName_ = name;
        thread_ = std::thread([this] { Serve(); });
    }
    ~PtyInstrument() {
        stop_ = true;
        thread_.join();
        ::close(master_);
        ::close(slave_);
    }

    std::string resource() const { return "ASRL" + slaveName_ + "::INSTR"; }
    emulator::Instrument& instrument() { return instrument_; }

    // The next time `message` (without terminator) arrives, answer `reply`
    // instead of the instrument, or stay silent when there is none.
    void Script(const std::string& message, std::optional<std::string> reply) {
        std::lock_guard lock(mutex_);
        script_[message] = std::move(reply);
    }
    std::vector<std::string> Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void ClearReceived() {
        std::lock_guard lock(mutex_);
        received_.clear();
    }

private:
    void Serve() {
        std::string pending;
        while (!stop_) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0 || !(entry.revents & POLLIN)) continue;
            char chunk[512];
            const ssize_t got = ::read(master_, chunk, sizeof chunk);
            if (got <= 0) continue;
            pending.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                Answer(pending.substr(0, end + 1));
                pending.erase(0, end + 1);
            }
        }
    }
    void Answer(const std::string& message) {
        std::optional<std::string> reply;
        {
            std::lock_guard lock(mutex_);
            received_.push_back(message);
            auto scripted = script_.find(message.substr(0, message.size() - 1));
            if (scripted != script_.end()) {
                reply = scripted->second;
                script_.erase(scripted);
                if (!reply) return;
            }
        }
        if (!reply) reply = instrument_.Execute(message);
        if (!reply) return;
        const std::string bytes = *reply + "\n";
        EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up
    std::string slaveName_;
    emulator::Instrument instrument_;
    std::mutex mutex_;
    std::map<std::string, std::optional<std::string>> script_;
    std::vector<std::string> received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class SerialIO : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    PtyInstrument line;
    Ref<IIviDriver> driver = NewDriver();

    Zentrava& object() { return *static_cast<Zentrava*>(driver.get()); }
    Ref<IIviDriverUtility> utility() { return Query<IIviDriverUtility>(driver.get(), IID_IIviDriverUtility); }
    void Open() {
        ASSERT_EQ(InitializeDriver(driver.get(), line.resource(), false, false, ""), S_OK) << ThreadErrorText();
        ASSERT_EQ(object().Provider().SetIOTimeout(500), S_OK);
        line.ClearReceived();
    }
};

TEST_F(SerialIO, InitializeIdentifiesResetsAndPollsOverTheLine) {
    ASSERT_EQ(InitializeDriver(driver.get(), line.resource(), true, true, "QueryInstrStatus=true"), S_OK)
        << ThreadErrorText();
    EXPECT_THAT(line.Received(), ElementsAre("*IDN?\n", "*ESR?\n", "*RST;*OPC?\n", "*ESR?\n"));
    Ref<IIviDriverIdentity> identity = Query<IIviDriverIdentity>(driver.get(), IID_IIviDriverIdentity);
    Bstr model;
    ASSERT_EQ(identity->get_InstrumentModel(model.out()), S_OK);
    EXPECT_EQ(model.str(), "Q7310B");

    // Serial sessions read up to the line feed.
    Ref<visa::IMessage> message(object().Provider().Message());
    ASSERT_TRUE(message.get());
    BYTE terminator = 0;
    VARIANT_BOOL enabled = VARIANT_FALSE, sendEnd = VARIANT_FALSE;
    ASSERT_EQ(message->get_TerminationCharacter(&terminator), S_OK);
    ASSERT_EQ(message->get_TerminationCharacterEnabled(&enabled), S_OK);
    ASSERT_EQ(message->get_SendEndEnabled(&sendEnd), S_OK);
    EXPECT_EQ(terminator, '\n');
    EXPECT_EQ(enabled, VARIANT_TRUE);
    EXPECT_EQ(sendEnd, VARIANT_TRUE);
}

TEST_F(SerialIO, SelfTestFailureIsAResultNotAnError) {
    Open();
    line.Script("*TST?", "1");
    LONG result = 0;
    Bstr message;
    ASSERT_EQ(utility()->SelfTest(&result, message.out()), S_OK) << ThreadErrorText();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(message.str(), "Selftest failed");
    EXPECT_THAT(line.Received(), ElementsAre("*TST?\n"));
}

TEST_F(SerialIO, ErrorQueryRepliesAsInstrumentsWriteThem) {
    Open();
    struct Case {
        const char* reply;
        HRESULT result;
        LONG code;
        const char* message;
    } cases[] = {
        {"+0,\"No error\"", S_OK, 0, "No error"},
        {"-113,\"Undefined header\"", S_OK, -113, "Undefined header"},
        {"-350,\"Queue overflow\";extra", S_OK, -350, "Queue overflow"},
        {"0,\"\"", E_IVI_UNEXPECTED_RESPONSE, 0, ""},
        {"No error", E_IVI_UNEXPECTED_RESPONSE, 0, ""},
    };
    for (const Case& c : cases) {
        line.Script("SYST:ERR?", c.reply);
        LONG code = 99;
        Bstr message;
        EXPECT_EQ(utility()->ErrorQuery(&code, message.out()), c.result) << c.reply;
        EXPECT_EQ(code, c.code) << c.reply;
        EXPECT_EQ(message.str(), c.message) << c.reply;
    }
}

TEST_F(SerialIO, SilentInstrumentTimesOutAndTheLineRecovers) {
    Open();
    line.Script("SENS:ATT:LEV?", std::nullopt);
    double level = 0;
    EXPECT_EQ(object().IO().InstrQuery("SENS:ATT:LEV?", &level, kCurrentTimeout), E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: IO timeout error: Timeout expired before operation completed.");
    bool timedOut = false;
    ASSERT_EQ(object().Provider().IsTimeout(&timedOut), S_OK);
    EXPECT_TRUE(timedOut);

    line.instrument().SetSetting("SENS:ATT:LEV", "6.5");
    EXPECT_EQ(object().IO().InstrQuery("SENS:ATT:LEV?", &level, kCurrentTimeout), S_OK) << ThreadErrorText();
    EXPECT_EQ(level, 6.5);
    ASSERT_EQ(object().Provider().IsTimeout(&timedOut), S_OK);
    EXPECT_FALSE(timedOut);
    EXPECT_THAT(line.Received(), ElementsAre("SENS:ATT:LEV?\n", "SENS:ATT:LEV?\n"));
}

}  // namespace
}  // namespace ztv::test
