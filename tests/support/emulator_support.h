// Emulators for tests: options that open one LAN interface only, and a start
// whose failure says why.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "emulator/emulator.h"

namespace emulator::test {

// Options that serve `channel` (Socket, Vxi11 or Hislip) and no other LAN interface.
inline Options ServingOnly(Channel channel) {
    Options options;
    if (channel != Channel::Socket) options.socketPort = -1;
    if (channel != Channel::Vxi11) options.vxi11Port = -1;
    if (channel != Channel::Hislip) options.hislipPort = -1;
    return options;
}

inline ::testing::AssertionResult Started(Emulator& emulator) {
    std::string error;
    if (emulator.Start(&error)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the emulator did not start: " << error;
}

}  // namespace emulator::test
