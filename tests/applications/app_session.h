// A C session on an emulated instrument of a chosen model and option text,
// and the program messages it sent.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/test_support.h"
#include "zentrava/Zentrava.h"

namespace ztv::test {

constexpr ViStatus kUnexpectedResponse = static_cast<ViStatus>(0xBFFA0059u);
constexpr ViStatus kModelNotSupported = static_cast<ViStatus>(0xBFFA4216u);

using Messages = std::vector<std::string>;

class AppSession {
public:
    // ASSERTs that the emulator starts and the session opens.
    void Open(const std::string& model = "Q7310B", const std::string& options = "QVX-BBM") {
        emulator::Options settings;
        settings.vxi11Port = -1;
        settings.hislipPort = -1;
        settings.model = model;
        settings.options = options;
        emulator_ = std::make_unique<emulator::Emulator>(settings);
        std::string error;
        ASSERT_TRUE(emulator_->Start(&error)) << error;
        std::string resource = emulator_->SocketResource();
        ASSERT_EQ(Ztv_InitWithOptions(resource.data(), VI_TRUE, VI_FALSE, "", &vi_), 0);
        emulator_->ClearReceived();
    }
    ~AppSession() {
        if (vi_ != VI_NULL) Ztv_close(vi_);
        if (emulator_) emulator_->Stop();
    }

    ViSession vi() const { return vi_; }
    emulator::Emulator& emu() { return *emulator_; }

    // Messages received since the last call, line feeds removed. A query
    // through the session first makes sure that everything sent has arrived.
    Messages Sent() {
        char done[16] = "";
        ViInt32 count = 0;
        EXPECT_EQ(Ztv_SystemWrite(vi_, kSync), 0);
        EXPECT_EQ(Ztv_SystemRead(vi_, sizeof done, done, &count), 0);
        Messages sent;
        for (const emulator::ReceivedMessage& m : emulator_->Received()) {
            std::string bytes = m.bytes;
            if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
            sent.push_back(bytes);
        }
        if (!sent.empty() && sent.back() + "\n" == kSync) sent.pop_back();
        emulator_->ClearReceived();
        return sent;
    }

private:
    static constexpr const char* kSync = "*OPC?\n";

    IsolatedEnvironment env_;
    std::unique_ptr<emulator::Emulator> emulator_;
    ViSession vi_ = VI_NULL;
};

// A call, its status and the exact messages it sends.
struct Case {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    ViStatus status;
    Messages sent;
};

inline void ExpectSent(AppSession& session, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session.Sent();
        EXPECT_EQ(c.call(session.vi()), c.status);
        EXPECT_EQ(session.Sent(), c.sent);
    }
}

}  // namespace ztv::test
