// IEEE 488.2 arbitrary blocks: "#<n><length><bytes>" (definite, n the number
// of length digits) and "#0<bytes><NL^END>" (indefinite).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocol {

constexpr char kBlockStart = '#';

enum class BlockHeaderStatus {
    kDefinite,       // "#<n><length>": `length` bytes follow
    kIndefinite,     // "#0": the data runs to the end of the message
    kIncomplete,     // a true prefix of a header: more bytes are needed
    kNoStart,        // the text does not start with '#'
    kBadDigitCount,  // '#' not followed by a digit
    kBadLength,      // a length digit that is not a digit
};

struct BlockHeader {
    BlockHeaderStatus status = BlockHeaderStatus::kIncomplete;
    std::size_t size = 0;    // bytes of the header itself (both kinds)
    std::size_t length = 0;  // bytes of a definite block's data
};

// Reads the header at the front of `text`. With `whole`, no bytes follow
// `text`: a header cut short is malformed at the byte that is missing.
BlockHeader ParseBlockHeader(std::string_view text, bool whole = false);

// The data of an indefinite block, given the rest of the message after "#0":
// the line feed sent with END closes the block and is not data.
std::string_view IndefiniteBlockData(std::string_view rest);

// "#<n><length>" for a definite block of `length` bytes.
std::string DefiniteBlockHeader(std::size_t length);

// The bytes a header at the front of `text` covers by its digit count alone,
// its length digits unread ("#" and a non-digit count as a header of two);
// 0 when `text` does not start with '#'. For skipping headers nested in data
// whose lengths cannot be trusted.
std::size_t BlockHeaderSpan(std::string_view text);

// Swaps every element between big- and little-endian order in place.
void SwapElementBytes(std::uint8_t* data, std::size_t length, std::size_t elementSize);

}  // namespace protocol
