// The driver's queue of coercion records, oldest first, bounded so that a
// client that never reads it cannot make it grow without limit.
#pragma once

#include <deque>
#include <optional>
#include <string>

namespace ztv {

class CCoercionLog {
public:
    static constexpr std::size_t kCapacity = 1000;

    void Add(std::string record) {
        if (records_.size() == kCapacity) records_.pop_front();
        records_.push_back(std::move(record));
    }
    std::optional<std::string> TakeOldest() {
        if (records_.empty()) return std::nullopt;
        std::string record = std::move(records_.front());
        records_.pop_front();
        return record;
    }
    std::size_t Size() const { return records_.size(); }

private:
    std::deque<std::string> records_;
};

}  // namespace ztv
