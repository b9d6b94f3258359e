// Console output as usual, plus the driver-to-bare ratios of the pairs of
// benchmarks named "<case>/Driver" and "<case>/Bare", printed at the end.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Each case with its goal: the largest acceptable ratio.
    explicit RatioReporter(std::vector<std::pair<std::string, double>> goals) : goals_(std::move(goals)) {}

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    // False when a goal was missed or a pair did not run.
    bool AllGoalsMet() const { return allMet_; }

private:
    std::vector<std::pair<std::string, double>> goals_;
    std::map<std::string, double> medianNs_;  // per benchmark, by its name without aggregate suffix
    bool allMet_ = true;
};

}  // namespace bench
