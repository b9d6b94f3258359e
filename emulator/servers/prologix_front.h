#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"

namespace emulator {

// Every byte the host sent to the adapter fronts of one emulator, escapes
// and "++" commands included, for tests that check the exchange exactly.
class PrologixTranscript {
public:
    void Append(const char* data, std::size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.append(data, size);
    }
    std::string Bytes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::string bytes_;
};

struct PrologixFrontOptions {
    std::string version;   // the "++ver" answer
    int gpibAddress = 17;  // the instrument's primary address; no other listens
};

// A Prologix GPIB controller with the instrument on its bus, serving one
// host byte stream (a TCP connection or a pseudo-terminal): "++" command
// lines, data lines with ESC escapes sent to the addressed instrument, and
// "++read" forwarding the instrument's reply. A read is given up when the
// host sends anything meanwhile, as the adapter does.
class PrologixFront {
public:
    PrologixFront(Instrument& instrument, Recorder& recorder, PrologixTranscript& transcript,
                  PrologixFrontOptions options)
        : instrument_(instrument), recorder_(recorder), transcript_(transcript), options_(std::move(options)) {}

    // Serves `fd` until the host goes away, the instrument halts, `stop`
    // holds, or a fault drops the connection (then false).
    bool Serve(int fd, int connection, const std::function<bool()>& stop);

private:
    Instrument& instrument_;
    Recorder& recorder_;
    PrologixTranscript& transcript_;
    const PrologixFrontOptions options_;
};

}  // namespace emulator
