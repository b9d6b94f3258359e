// Each node's stack of current SCPI texts: a member's entry point pushes the
// text it formatted, its implementation sends the top, nested members stack
// theirs above it.
#pragma once

#include <deque>
#include <string>

namespace ztv {

class CInstrumentCommandManager {
public:
    void PushCommand(std::string text) { stack_.push_back(std::move(text)); }
    std::string PopCommand() {
        if (stack_.empty()) return {};
        std::string top = std::move(stack_.back());
        stack_.pop_back();
        return top;
    }
    const std::string& CurrentCommand() const {
        static const std::string empty;
        return stack_.empty() ? empty : stack_.back();
    }

private:
    std::deque<std::string> stack_;
};

}  // namespace ztv
