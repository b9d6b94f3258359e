// The trace settings and the state of the trace file. Members ask
// IsRecording() before anything else, so that a driver without tracing pays
// one flag test per call.
#pragma once

#include <atomic>

#include "zentrava/com.h"

namespace ztv {

enum class TraceFileState : LONG {
    Recording = 0,   // records go into the current file
    NotStarted = 1,  // no trace file started
    Stopped = 2,     // the file grew past the size limit; nothing more is recorded
};

class CTracer {
public:
    TraceFileState GetFileState() const { return fileState_; }
    void SetFileState(TraceFileState state) {
        fileState_ = state;
        Refresh();
    }
    bool IsRecording() const { return recording_.load(std::memory_order_relaxed); }

    bool GetEnabled() const { return enabled_; }
    LONG GetSizeMax() const { return sizeMax_; }
    void SetSizeMax(LONG bytes) { sizeMax_ = bytes; }
    bool GetTraceArrays() const { return arrays_; }
    void SetTraceArrays(bool on) { arrays_ = on; }
    LONG GetArraySizeMax() const { return arraySizeMax_; }
    void SetArraySizeMax(LONG elements) { arraySizeMax_ = elements; }
    LONG GetSaveInterval() const { return saveInterval_; }
    void SetSaveInterval(LONG minutes) { saveInterval_ = minutes; }

protected:
    void SetEnabledFlag(bool on) {
        enabled_ = on;
        Refresh();
    }

private:
    void Refresh() { recording_.store(enabled_ && fileState_ == TraceFileState::Recording, std::memory_order_relaxed); }

    TraceFileState fileState_ = TraceFileState::NotStarted;
    bool enabled_ = false;
    LONG sizeMax_ = 1000000;
    bool arrays_ = false;
    LONG arraySizeMax_ = 10;
    LONG saveInterval_ = 1;
    // enabled_ and fileState_ folded into the one flag members test.
    std::atomic<bool> recording_{false};
};

}  // namespace ztv
