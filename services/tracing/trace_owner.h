// One driver object's trace: the XML document of TraceRecords, the file it
// is saved to, and when it was last saved. All calls come from members that
// hold the driver object's lock.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "services/trace_settings.h"
#include "services/tracing/tracer.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace ztv {

// The periodic save rule: save when the minutes field (0 to 59, whole hours
// ignored) of the time since the last save has reached the interval.
bool SaveIsDue(std::int64_t secondsSinceSave, LONG intervalMinutes);

class CTraceOwner : public CTracer {
public:
    using Clock = std::time_t (*)();

    CTraceOwner();
    ~CTraceOwner();
    CTraceOwner(const CTraceOwner&) = delete;
    CTraceOwner& operator=(const CTraceOwner&) = delete;

    // Takes over what DriverSetup said, apart from switching tracing on.
    void Configure(const TraceSettings& settings);
    // On: creates the document. Off: releases it and forgets the file; while
    // no file has been started the tracer refuses with E_UNEXPECTED and stays on.
    HRESULT SetEnabled(bool on);

    // Opens the trace file named by the requested file name, or
    // <baseName>_<date>_<time>.xml: an existing file is loaded and appended to.
    // E_UNEXPECTED while already recording; nothing to do once stopped.
    HRESULT StartTrace(std::string_view baseName);
    // Writes the whole document to the file; a file larger than the size limit
    // stops tracing for good.
    HRESULT Save();
    // Called after each traced call.
    HRESULT SaveIfDue();

    const std::filesystem::path& FilePath() const { return path_; }
    std::time_t Now() const { return clock_(); }
    // Lets tests move time.
    void SetClock(Clock clock) { clock_ = clock; }

    // The TraceRecords element records are appended to (empty when there is
    // no document), and a number that changes whenever the document is replaced.
    pugi::xml_node Root() const;
    std::uint64_t Generation() const { return generation_; }

private:
    HRESULT BuildDocument(const std::filesystem::path& path);
    void ReplaceDocument(std::unique_ptr<pugi::xml_document> document);

    std::unique_ptr<pugi::xml_document> document_;
    std::string fileName_;   // as requested by TraceName
    std::string transform_;  // TraceTransform
    std::filesystem::path path_;
    std::time_t lastSave_ = 0;
    Clock clock_;
    std::uint64_t generation_ = 0;
};

}  // namespace ztv
