#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulator::scpi {

// Walks program-message bytes one at a time and knows whether a byte is
// syntax (separator, terminator) or lies inside a string or block parameter.
class Scanner {
public:
    enum class Kind { Syntax, Quoted, Block };
    Kind Feed(unsigned char byte);
    // An indefinite block may end with the message itself, so it does not count.
    bool InsideParameterData() const { return state_ != State::Normal && state_ != State::Indefinite; }

private:
    enum class State { Normal, Double, Single, BlockCount, BlockLength, BlockData, Indefinite };
    State state_ = State::Normal;
    int lengthDigits_ = 0;
    std::size_t remaining_ = 0;
};

// One program message unit, its header already resolved against the path of
// the compound command before it.
struct Unit {
    bool common = false;  // "*IDN?" and friends
    bool query = false;
    std::vector<std::string> nodes;  // normalized: short form, suffix 1 dropped
    std::string header;              // as written
    std::string params;              // raw parameter text, outer blanks trimmed
    int error = 0;                   // a syntax error found in this unit
};

std::vector<Unit> ParseMessage(std::string_view message);

// The text in capitals; mnemonics and character parameters compare so.
std::string Upper(std::string_view text);
// "ATTenuation" -> "ATT", "TRAC1" -> "TRAC", "MARK3" -> "MARK3".
std::string NormalizeMnemonic(std::string_view mnemonic);
std::string JoinNodes(const std::vector<std::string>& nodes, std::size_t count);
inline std::string JoinNodes(const std::vector<std::string>& nodes) { return JoinNodes(nodes, nodes.size()); }

// Parameters split at top-level commas, each trimmed.
std::vector<std::string> SplitParameters(std::string_view params);
// "#<n><length><payload>" around `payload`.
std::string DefiniteBlock(std::string_view payload);
// The payload of a definite-length block parameter, if `param` is one.
std::optional<std::string> BlockPayload(std::string_view param);
// A decimal numeric parameter, if `param` is one (ON/OFF count as 1/0).
std::optional<double> Number(std::string_view param);

}  // namespace emulator::scpi
