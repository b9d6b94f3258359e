#include "platform/visa/formatted/real_list_parser.h"

#include <algorithm>

#include "platform/text/number_codec.h"

namespace visa {
namespace {

// No number an instrument sends is this long: an item that grows beyond it
// is garbage, and keeping it would let a reply without end fill the memory.
constexpr std::size_t kMaxItemLength = 4096;

}  // namespace

void RealListParser::Start(std::string_view separators, std::size_t maxValues, std::size_t keepValues) {
    maxValues_ = maxValues;
    keepValues_ = keepValues;
    dropped_ = 0;
    overLimit_ = false;
    isSeparator_.fill(false);
    for (char c : separators) isSeparator_[static_cast<unsigned char>(c)] = true;
    singleSeparator_ = separators.size() == 1;
    onlySeparator_ = singleSeparator_ ? separators.front() : 0;
    scanner_ = codec::ListItemScanner(separators);
    pending_.clear();
    sawSeparator_ = false;
    first_ = true;
    failed_ = false;
    values_.clear();
    badItem_.clear();
}

std::size_t RealListParser::NextSeparator(std::string_view text) const {
    if (singleSeparator_) return text.find(onlySeparator_);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (isSeparator_[static_cast<unsigned char>(text[i])]) return i;
    return std::string_view::npos;
}

void RealListParser::Item(std::string_view item, bool last) {
    if (failed_) return;
    // Blanks before the list and after it are not part of its first and last item.
    if (first_) item = codec::TrimLeadingBlanks(item);
    if (last) item = codec::TrimTrailingBlanks(item);
    first_ = false;
    double value = 0;
    if (codec::ParseReal(item, &value)) {
        values_.push_back(value);
        return;
    }
    FailItem(item);
}

void RealListParser::FailItem(std::string_view item) {
    failed_ = true;
    badItem_.assign(item.substr(0, 40));
    pending_.clear();
}

// Every item takes at least one character and a separator, so a text of n
// characters completes at most n / 2 + 2 items (with the pending one). Room
// for them is made before parsing, growing as a vector does but never beyond
// the limit and that one text: the values are never copied into storage
// larger than the limit allows.
void RealListParser::ReserveFor(std::size_t textSize) {
    const std::size_t most = textSize / 2 + 2;
    const std::size_t needed = values_.size() + most;
    if (needed <= values_.capacity()) return;
    const std::size_t kept = std::min(maxValues_, keepValues_);
    const std::size_t ceiling = kept > std::numeric_limits<std::size_t>::max() - most ? kept : kept + most;
    values_.reserve(std::min(std::max(needed, values_.capacity() * 2), ceiling));
}

// Values beyond those kept leave the storage after each text, so it never
// holds more than the kept ones and one text's worth.
void RealListParser::DropBeyondKeep() {
    if (values_.size() <= keepValues_) return;
    dropped_ += values_.size() - keepValues_;
    values_.resize(keepValues_);
}

bool RealListParser::CheckLimit() {
    DropBeyondKeep();
    if (count() <= maxValues_) return false;
    // The list is refused: its storage is given back rather than kept.
    overLimit_ = true;
    std::vector<double>().swap(values_);
    pending_.clear();
    return true;
}

void RealListParser::Feed(std::string_view text) {
    if (failed_ || overLimit_) return;  // the rest of the reply is only being drained
    ReserveFor(text.size());
    if (!pending_.empty()) {
        const std::size_t end = NextSeparator(text);
        if (end == std::string_view::npos) {
            pending_.append(text);
            if (pending_.size() > kMaxItemLength) FailItem(pending_);
            return;
        }
        sawSeparator_ = true;
        pending_.append(text.substr(0, end));
        Item(pending_, false);
        pending_.clear();
        text.remove_prefix(end + 1);
    }
    const char* p = text.data();
    const char* const end = p + text.size();
    double value = 0;
    while (p != end && !failed_) {
        // Items of the common forms all at once; any other item, and the
        // last characters of the text, the general way.
        if (const char* const scanned = scanner_.ScanItems(p, end, &values_); scanned != p) {
            first_ = false;
            sawSeparator_ = true;
            p = scanned;
        }
        const char* after = codec::ScanReal(p, end, &value);
        if (after != nullptr) {
            while (after != end && codec::IsBlank(*after)) ++after;
            if (after == end) break;  // the item may go on in the next chunk
            if (isSeparator_[static_cast<unsigned char>(*after)]) {
                values_.push_back(value);
                first_ = false;
                sawSeparator_ = true;
                p = after + 1;
                continue;
            }
        }
        const std::size_t length = NextSeparator(std::string_view(p, static_cast<std::size_t>(end - p)));
        if (length == std::string_view::npos) break;
        sawSeparator_ = true;
        Item(std::string_view(p, length), false);
        p += length + 1;
    }
    if (CheckLimit() || failed_) return;
    pending_.assign(p, end);
    if (pending_.size() > kMaxItemLength) FailItem(pending_);
}

bool RealListParser::Finish() {
    if (overLimit_) return !failed_;
    if (!sawSeparator_ && codec::TrimBlanks(pending_).empty()) return !failed_;  // a blank reply: no items
    Item(pending_, true);
    pending_.clear();
    CheckLimit();
    return !failed_;
}

}  // namespace visa
