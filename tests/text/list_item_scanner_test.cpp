// The list item scanner takes the items instruments send, each exactly as
// the C library reads it, and leaves every other item to the general reader
// without reading past the text it was given.
#include "platform/text/list_item_scanner.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The scanner needs the vector instructions; elsewhere it takes nothing and
// these tests have nothing to check.
bool ScannerWorks() {
    codec::ListItemScanner scanner(",");
    const std::string text = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16";
    std::vector<double> values;
    return scanner.ScanItems(text.data(), text.data() + text.size(), &values) != text.data();
}

double CRead(const std::string& item, bool* whole) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    const double value = strtod_l(item.c_str(), &end, c);
    *whole = !item.empty() && *end == '\0';
    return value;
}

// The text in a buffer of exactly its size, so that a read beyond it is
// caught by the address sanitizer.
class ExactText {
public:
    explicit ExactText(const std::string& text) : size_(text.size()), bytes_(new char[text.size()]) {
        text.copy(bytes_.get(), size_);
    }
    const char* begin() const { return bytes_.get(); }
    const char* end() const { return bytes_.get() + size_; }

private:
    std::size_t size_;
    std::unique_ptr<char[]> bytes_;
};

// Scans a list of `items` joined by `separators` in turn, then 30 characters
// of filler; returns the values taken and how many items were passed.
struct Scanned {
    std::vector<double> values;
    std::size_t itemsPassed = 0;
};
Scanned Scan(const std::vector<std::string>& items, const std::string& separators) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) text += items[i] + separators[i % separators.size()];
    text += std::string(30, '0');
    const ExactText exact(text);
    codec::ListItemScanner scanner(separators);
    Scanned scanned;
    const char* stop = scanner.ScanItems(exact.begin(), exact.end(), &scanned.values);
    for (const char* p = exact.begin(); p != stop; ++p)
        if (separators.find(*p) != std::string::npos) ++scanned.itemsPassed;
    return scanned;
}

void ExpectSameAsCLibrary(const std::vector<std::string>& items, const std::vector<double>& values) {
    ASSERT_LE(values.size(), items.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        bool whole = false;
        const double expected = CRead(items[i], &whole);
        EXPECT_TRUE(whole) << items[i];
        EXPECT_EQ(std::bit_cast<std::uint64_t>(values[i]), std::bit_cast<std::uint64_t>(expected))
            << items[i] << " gave " << values[i];
    }
}

// Lists as instruments and tools print them, over the sizes measurements
// have, so that items of one shape follow each other and shapes change.
TEST(ListItemScanner, TakesListsInTheFormsInstrumentsSend) {
    if (!ScannerWorks()) GTEST_SKIP() << "no vector instructions for the scanner here";
    const struct {
        const char* format;
        const char* separators;
    } cases[] = {{"%.9E", ","}, {"%.9g", ","},  {"%.3f", ";"}, {"%+.4e", ",;"},
                 {"%.0f", ","}, {"%#.0f", ","}, {"%.2e", ","}, {"%.6g", ";,"}};
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    for (const auto& c : cases) {
        std::vector<std::string> items;
        for (int i = 0; i < 3000; ++i) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;
            const int power = static_cast<int>(state % 13) - 6;  // 1e-6 to 1e6
            char text[64];
            std::snprintf(text, sizeof text, c.format, (state & 1 ? -unit : unit) * std::pow(10.0, power));
            items.emplace_back(text);
        }
        const Scanned scanned = Scan(items, c.separators);
        EXPECT_EQ(scanned.itemsPassed, items.size()) << c.format;
        EXPECT_EQ(scanned.values.size(), items.size()) << c.format;
        ExpectSameAsCLibrary(items, scanned.values);
    }
}

// Each item leads a list of plain items: either the scanner takes it, with
// the C library's value, or it stops there for the general reader.
TEST(ListItemScanner, LeavesWhatItCannotReadExactlyToTheGeneralReader) {
    if (!ScannerWorks()) GTEST_SKIP() << "no vector instructions for the scanner here";
    const struct {
        const char* item;
        bool taken;
    } cases[] = {
        {"-6.000109999E+01", true},
        {"9007199254740992", true},
        {"1e22", true},
        {"4.35e-20", true},
        {".5", true},
        {"5.", true},
        {"-.5E+1", true},
        {"+7", true},
        {"0", true},
        {"-0", true},
        {"1e005", true},
        {"00000000000000.1", true},
        {"9007199254740993", false},
        {"1234567890123456e7", false},
        {"1e23", false},
        {"1.5e-22", false},
        {"1e0005", false},
        {"12345678901234567", false},
        {" 1.5", false},
        {"1.5 ", false},
        {"", false},
        {".", false},
        {"-", false},
        {"e5", false},
        {"1e", false},
        {"1e+", false},
        {"+-1", false},
        {"1..2", false},
        {"1.2.3", false},
        {"0x10", false},
        {"inf", false},
        {"nan", false},
        {"1:2", false},
        {"1\n2", false},
        {"1e5.5", false},
        {"1-2", false},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> items = {c.item, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        const Scanned scanned = Scan(items, ",");
        if (c.taken) {
            EXPECT_GE(scanned.itemsPassed, 1u) << '"' << c.item << '"';
            ExpectSameAsCLibrary(items, scanned.values);
        } else {
            EXPECT_EQ(scanned.itemsPassed, 0u) << '"' << c.item << '"';
            EXPECT_TRUE(scanned.values.empty()) << '"' << c.item << '"';
        }
    }
}

// An item that differs from the one before in one character only (the
// characters next to the digits among them) is not read with its shape.
TEST(ListItemScanner, ChecksEveryItemAgainstItsShape) {
    if (!ScannerWorks()) GTEST_SKIP() << "no vector instructions for the scanner here";
    const struct {
        const char* good;
        const char* bad;
    } cases[] = {{"1.5", "1x5"},
                 {"-6.000109999E+01", "-6.000109999E+0:"},
                 {"-6.000109999E+01", "-6.00010999/E+01"},
                 {"12.5", "12 5"},
                 {"12.5", "1.2."},
                 {"100", "10-"},
                 {"-60.25", "-60.2\t"},
                 {"7e-05", "7e-0e"}};
    for (const auto& c : cases) {
        const std::vector<std::string> items = {c.good, c.bad, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        const Scanned scanned = Scan(items, ",");
        EXPECT_EQ(scanned.itemsPassed, 1u) << c.bad;
        EXPECT_EQ(scanned.values.size(), 1u) << c.bad;
        ExpectSameAsCLibrary(items, scanned.values);
    }
}

// More shapes take turns than the scanner keeps: every item still reads
// right, whichever shape it is checked against first.
TEST(ListItemScanner, ShapesTakingTurns) {
    if (!ScannerWorks()) GTEST_SKIP() << "no vector instructions for the scanner here";
    const std::vector<std::string> shapes = {"-1.5", "-12.25", "3", "-0.125", "100.5", "7e-05", "-9.75E+02"};
    for (std::size_t turn = 1; turn <= shapes.size(); ++turn) {
        std::vector<std::string> items;
        for (std::size_t i = 0; i < 500; ++i) {
            std::string item = shapes[(i / turn) % shapes.size()];
            item[item.size() - 1] = static_cast<char>('1' + i % 9);  // other digits, the same shape
            items.push_back(item);
        }
        const Scanned scanned = Scan(items, ",");
        EXPECT_EQ(scanned.values.size(), items.size()) << "turns of " << turn;
        ExpectSameAsCLibrary(items, scanned.values);
    }
}

}  // namespace
