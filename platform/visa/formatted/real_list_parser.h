// Reads a list of reals while its reply is still arriving, so that parsing a
// long trace overlaps its transfer. Items end at a separator; the part of an
// item that a chunk leaves open is kept until the next chunk ends it. The
// result is what parsing the whole reply at once gives: blanks around the
// list and around each item are ignored, a blank reply is an empty list, and
// an empty, overlong or malformed item fails the list. A list longer than
// its limit stops being read at the limit, and never holds more storage than
// the limit and one chunk need, so a hostile reply cannot fill the memory.
#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/list_item_scanner.h"

namespace visa {

class RealListParser {
public:
    RealListParser() = default;
    explicit RealListParser(std::string_view separators) { Start(separators); }

    // Begins a new list of at most maxValues values, of which the first
    // keepValues are kept and the rest only checked and counted. The storage
    // of the last list is kept, so reading lists of the same length again
    // allocates nothing.
    void Start(std::string_view separators, std::size_t maxValues = std::numeric_limits<std::size_t>::max(),
               std::size_t keepValues = std::numeric_limits<std::size_t>::max());

    // Parses every item this text completes. After a bad item the rest is
    // only skipped, so the reply can still be read to its end.
    void Feed(std::string_view text);
    // Parses the last item; false when any item was bad.
    bool Finish();
    // True once the list went beyond its limit; nothing more is parsed then,
    // and the values read so far are dropped.
    bool overLimit() const { return overLimit_; }

    // The values kept, and how many the list holds.
    const std::vector<double>& values() const { return values_; }
    std::size_t count() const { return values_.size() + dropped_; }
    // The first bad item as the reply showed it (at most 40 characters).
    const std::string& badItem() const { return badItem_; }

private:
    std::size_t NextSeparator(std::string_view text) const;
    void Item(std::string_view item, bool last);
    void FailItem(std::string_view item);
    void ReserveFor(std::size_t textSize);
    bool CheckLimit();
    void DropBeyondKeep();

    std::array<bool, 256> isSeparator_{};
    codec::ListItemScanner scanner_;
    char onlySeparator_ = 0;  // the separator when there is exactly one
    bool singleSeparator_ = false;
    std::string pending_;  // an item whose separator has not arrived yet
    bool sawSeparator_ = false;
    bool first_ = true;
    bool failed_ = false;
    bool overLimit_ = false;
    std::size_t maxValues_ = std::numeric_limits<std::size_t>::max();
    std::size_t keepValues_ = std::numeric_limits<std::size_t>::max();
    std::size_t dropped_ = 0;  // values counted beyond those kept
    std::vector<double> values_;
    std::string badItem_;
};

}  // namespace visa
