#include "tests/model/model_session.h"

#include <gtest/gtest.h>

#include "core/engine/shared_selectors.h"

namespace ztv::test {

ModelSession::ModelSession() : driver_(NewDriver()) { engine::ClearSharedSelectors(); }

ModelSession::~ModelSession() {
    if (driver_.get()) driver_->Close();
    if (emulator_) emulator_->Stop();
}

HRESULT ModelSession::OpenSimulated(std::string_view model) {
    return InitializeDriver(driver_.get(), "GPIB0::1::INSTR", false, false,
                            "Simulate=true,DriverSetup=Model=" + std::string(model));
}

void ModelSession::OpenEmulated(emulator::Options options) {
    options.vxi11Port = -1;
    options.hislipPort = -1;
    emulator_ = std::make_unique<emulator::Emulator>(options);
    std::string error;
    ASSERT_TRUE(emulator_->Start(&error)) << error;
    ASSERT_EQ(InitializeDriver(driver_.get(), emulator_->SocketResource(), false, false, ""), S_OK)
        << ThreadErrorText();
    emulator_->ClearReceived();
}

std::vector<std::string> ModelSession::Sent() {
    // The emulator records on its own threads: a query answered means every
    // message before it has been recorded. The query itself is left out.
    constexpr std::string_view kSync = "*OPC?";
    auto* zentrava = static_cast<Zentrava*>(driver_.get());
    LONG done = 0;
    if (zentrava->IsInitialized() && zentrava->Provider().IsOpen()) {
        EXPECT_EQ(zentrava->IO().InstrQuery(kSync, &done, kCurrentTimeout), S_OK);
    }
    std::vector<std::string> texts;
    for (const emulator::ReceivedMessage& message : emulator_->Received()) {
        std::string text = message.bytes;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        texts.push_back(text);
    }
    if (!texts.empty() && texts.back() == kSync) texts.pop_back();
    emulator_->ClearReceived();
    return texts;
}

std::vector<double> Doubles(SAFEARRAY* array) {
    std::vector<double> values;
    if (!array) return values;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        double value = 0;
        SafeArrayGetElement(array, &i, &value);
        values.push_back(value);
    }
    return values;
}

SAFEARRAY* MakeDoubles(const std::vector<double>& values) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, static_cast<ULONG>(values.size()));
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        double value = values[static_cast<std::size_t>(i)];
        SafeArrayPutElement(array, &i, &value);
    }
    return array;
}

}  // namespace ztv::test
