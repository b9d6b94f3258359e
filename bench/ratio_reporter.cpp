#include "bench/ratio_reporter.h"

#include <cstdio>

namespace bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        // Medians when repetitions are asked for, else the single run.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (median || run.run_type == Run::RT_Iteration)
            medianNs_[run.run_name.function_name] = run.GetAdjustedRealTime() * 1e9 /
                                            benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::FILE* out = stdout;
    std::fprintf(out, "\nDriver against bare transport (median real time):\n");
    for (const auto& [name, goal] : goals_) {
        const auto driver = medianNs_.find(name + "/Driver");
        const auto bare = medianNs_.find(name + "/Bare");
        if (driver == medianNs_.end() || bare == medianNs_.end() || bare->second <= 0) {
            std::fprintf(out, "  %-12s not measured\n", name.c_str());
            allMet_ = false;
            continue;
        }
        const double ratio = driver->second / bare->second;
        const bool met = ratio <= goal;
        allMet_ = allMet_ && met;
        std::fprintf(out, "  %-12s %10.1f us / %10.1f us = %5.2fx  (goal <= %.2fx: %s)\n", name.c_str(),
                     driver->second / 1e3, bare->second / 1e3, ratio, goal, met ? "met" : "MISSED");
    }
    std::fflush(out);
}

}  // namespace bench
