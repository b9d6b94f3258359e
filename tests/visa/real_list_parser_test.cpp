// The list parser must give the same result however the reply is cut into
// chunks, and the same as reading the whole reply at once.
#include "platform/visa/formatted/real_list_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace visa {
namespace {

struct Outcome {
    bool ok;
    std::vector<double> values;
    std::string badItem;
};

// One parser for every list, as a session keeps it: a list must not see
// anything of the one read before, however that one ended.
Outcome ParseInChunks(std::string_view reply, std::string_view separators, std::vector<std::size_t> cuts) {
    static RealListParser parser;
    parser.Start(separators);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        parser.Feed(reply.substr(from, cut - from));
        from = cut;
    }
    parser.Feed(reply.substr(from));
    const bool ok = parser.Finish();
    return {ok, parser.values(), parser.badItem()};
}

TEST(RealListParser, AnyChunkingGivesTheWholeReplyResult) {
    struct Case {
        const char* reply;
        const char* separators;
        bool ok;
        std::vector<double> values;
        const char* badItem;
    } cases[] = {
        {"-60.5,-90,1.25E+02\n", ",", true, {-60.5, -90, 125}, ""},
        {"  1 , 2;3\n", ",;", true, {1, 2, 3}, ""},
        {"+4.5e-3", ",", true, {4.5e-3}, ""},
        {" \n", ",", true, {}, ""},
        {"", ",", true, {}, ""},
        {"1,,2\n", ",", false, {1}, ""},
        {"1,2,\n", ",", false, {1, 2}, ""},
        {"  abc,1\n", ",", false, {}, "abc"},
        {"1, 2x ,3\n", ",", false, {1}, " 2x "},
        {"1,NAN\n", ",", true, {1, std::nan("")}, ""},
        {"1e999,2\n", ",", true, {HUGE_VAL, 2}, ""},
    };
    for (const Case& c : cases) {
        const std::string_view reply(c.reply);
        for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
            for (std::size_t second = cut; second <= reply.size(); second += 3) {
                const Outcome outcome = ParseInChunks(reply, c.separators, {cut, second});
                const std::string where =
                    std::string(c.reply) + " cut at " + std::to_string(cut) + "," + std::to_string(second);
                ASSERT_EQ(outcome.ok, c.ok) << where;
                ASSERT_EQ(outcome.values.size(), c.values.size()) << where;
                for (std::size_t i = 0; i < c.values.size(); ++i) {
                    if (std::isnan(c.values[i]))
                        EXPECT_TRUE(std::isnan(outcome.values[i])) << where;
                    else
                        EXPECT_EQ(outcome.values[i], c.values[i]) << where;
                }
                EXPECT_EQ(outcome.badItem, c.badItem) << where;
            }
        }
    }
}

// Long lists in the instrument forms, where most items are read many at a
// time: wherever a chunk ends (inside an item, on a separator, within the
// last characters the fast reader leaves alone), the values are the same,
// and a bad item anywhere still fails the list.
TEST(RealListParser, LongListsGiveTheSameValuesWhereverTheyAreCut) {
    std::string nr3, shortForm;
    for (int i = 0; i < 40; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9E,", -60.0 - i * 0.0173);
        nr3 += text;
        std::snprintf(text, sizeof text, "%.9g;", -60.0 - i * 0.0125);
        shortForm += text;
    }
    nr3.back() = '\n';
    shortForm.back() = '\n';
    std::string broken = nr3;
    broken[17 * 20 + 5] = 'x';  // inside the 21st item
    const struct {
        const std::string* reply;
        const char* separators;
        bool ok;
    } cases[] = {{&nr3, ",", true}, {&shortForm, ",;", true}, {&broken, ",", false}};
    for (const auto& c : cases) {
        const Outcome whole = ParseInChunks(*c.reply, c.separators, {});
        ASSERT_EQ(whole.ok, c.ok);
        if (c.ok) {
            ASSERT_EQ(whole.values.size(), 40u);
        }
        for (std::size_t cut = 0; cut <= c.reply->size(); ++cut) {
            const Outcome outcome = ParseInChunks(*c.reply, c.separators, {cut});
            ASSERT_EQ(outcome.ok, c.ok) << "cut at " << cut;
            ASSERT_EQ(outcome.values, whole.values) << "cut at " << cut;
            EXPECT_EQ(outcome.badItem, whole.badItem) << "cut at " << cut;
        }
    }
    const Outcome read = ParseInChunks(nr3, ",", {});
    for (std::size_t i = 0; i < read.values.size(); ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9E", -60.0 - static_cast<double>(i) * 0.0173);
        EXPECT_EQ(read.values[i], std::strtod(text, nullptr)) << text;
    }
}

// A read broken off mid-item (a time-out) or by a bad item leaves nothing
// behind for the next list.
TEST(RealListParser, StartsEachListAfresh) {
    RealListParser parser(";");
    parser.Feed("7;8");  // broken off with "8" open
    parser.Start(",");
    parser.Feed("1,2");
    EXPECT_TRUE(parser.Finish());
    EXPECT_EQ(parser.values(), (std::vector<double>{1, 2}));
    parser.Start(",");
    parser.Feed("1;2");  // ";" separated the list before, not this one
    EXPECT_FALSE(parser.Finish());
    EXPECT_EQ(parser.badItem(), "1;2");
    parser.Start(",");
    parser.Feed("3,4");
    EXPECT_TRUE(parser.Finish());
    EXPECT_EQ(parser.values(), (std::vector<double>{3, 4}));
    EXPECT_EQ(parser.badItem(), "");
}

TEST(RealListParser, ReportsOnlyTheStartOfALongBadItem) {
    const std::string item(100, 'x');
    const Outcome outcome = ParseInChunks("1," + item + ",2", ",", {50});
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.badItem, item.substr(0, 40));
}

// An item without end (digits streaming in, no separator) is refused once it
// is longer than any number, instead of being kept in memory.
TEST(RealListParser, RefusesAnItemWithoutEnd) {
    RealListParser parser(",");
    parser.Feed("1,2,");
    const std::string digits(1000, '7');
    for (int i = 0; i < 100; ++i) parser.Feed(digits);
    EXPECT_FALSE(parser.Finish());
    EXPECT_EQ(parser.badItem(), digits.substr(0, 40));
    EXPECT_EQ(parser.values(), (std::vector<double>{1, 2}));
}

// Every number must come out bit for bit as the C library reads it, whether
// the fast exact path or the general parser takes it.
TEST(RealListParser, NumbersReadExactlyAsTheCLibraryReadsThem) {
    std::mt19937_64 random(7310);
    std::uniform_real_distribution<double> magnitude(-30, 30);
    std::uniform_int_distribution<int> precision(1, 19);
    std::vector<std::string> items = {"0",
                                      "-0",
                                      "0.0",
                                      ".5",
                                      "5.",
                                      "+4.5",
                                      "1e22",
                                      "1e23",
                                      "9007199254740993",
                                      "4.9E-324",
                                      "1E+06",
                                      "-1.5e-22",
                                      "0.1",
                                      "123456789012345678901234",
                                      "1.7976931348623157e308"};
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const double value = std::pow(10.0, magnitude(random)) * (i % 2 ? -1 : 1);
        const char* format = i % 3 == 0 ? "%.*g" : i % 3 == 1 ? "%.*e" : "%.*f";
        std::snprintf(text, sizeof text, format, precision(random), value);
        items.emplace_back(text);
    }
    std::string reply;
    for (const std::string& item : items) reply += item + ",";
    reply.back() = '\n';

    // Chunks of an odd size cut numbers everywhere.
    RealListParser parser(",");
    for (std::size_t at = 0; at < reply.size(); at += 997) parser.Feed(std::string_view(reply).substr(at, 997));
    ASSERT_TRUE(parser.Finish()) << parser.badItem();
    ASSERT_EQ(parser.values().size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const double expected = std::strtod(items[i].c_str(), nullptr);
        const double got = parser.values()[i];
        EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << items[i] << " gave " << got;
    }
}

// A list is read up to its limit and no further, and its storage never grows
// beyond the limit and one chunk's worth, whatever the chunks: a reply
// without end costs no more memory than the longest list accepted.
TEST(RealListParser, StopsAtItsLimitWithBoundedStorage) {
    constexpr std::size_t kLimit = 1000;
    for (std::size_t chunk : {1u, 7u, 64u, 4096u}) {
        for (std::size_t items : {kLimit, kLimit + 1, 3 * kLimit}) {
            std::string reply;
            for (std::size_t i = 0; i < items; ++i) reply += i == 0 ? "5" : ",5";
            RealListParser parser;
            parser.Start(",", kLimit);
            for (std::size_t from = 0; from < reply.size(); from += chunk) {
                parser.Feed(std::string_view(reply).substr(from, chunk));
                ASSERT_LE(parser.values().capacity(), kLimit + chunk / 2 + 2) << chunk << " " << items;
            }
            const bool ok = parser.Finish();
            SCOPED_TRACE(testing::Message() << "chunk " << chunk << ", items " << items);
            EXPECT_EQ(parser.overLimit(), items > kLimit);
            EXPECT_EQ(ok, true);
            EXPECT_EQ(parser.values().size(), items > kLimit ? 0u : items);
        }
    }
}

// A caller with room for `keep` values gets the first ones exactly, the
// count of the whole list, and the verdict on every item, kept or not; the
// storage holds the kept values and one chunk's worth, however long the list.
TEST(RealListParser, KeepsWhatFitsAndCountsTheRest) {
    struct Case {
        const char* name;
        std::size_t items;
        std::size_t keep;
        std::size_t limit;
        const char* tail;  // appended after the items
        bool ok;
        bool overLimit;
    } cases[] = {
        {"shorter than the room", 5, 10, 100, "", true, false},
        {"exactly the room", 10, 10, 100, "", true, false},
        {"longer than the room", 2000, 10, 5000, "", true, false},
        {"no room, only the count", 2000, 0, 5000, "", true, false},
        {"a bad item beyond the room", 2000, 10, 5000, ",x1", false, false},
        {"the limit counts what was not kept", 2000, 10, 1500, "", true, true},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : {1u, 7u, 4096u}) {
            SCOPED_TRACE(testing::Message() << c.name << ", chunk " << chunk);
            std::string reply;
            for (std::size_t i = 0; i < c.items; ++i) reply += (i ? "," : "") + std::to_string(i) + ".5";
            reply += c.tail;
            RealListParser parser;
            parser.Start(",", c.limit, c.keep);
            for (std::size_t from = 0; from < reply.size(); from += chunk) {
                parser.Feed(std::string_view(reply).substr(from, chunk));
                ASSERT_LE(parser.values().capacity(), std::max<std::size_t>(c.keep, 1) + chunk / 2 + 2);
            }
            EXPECT_EQ(parser.Finish(), c.ok);
            EXPECT_EQ(parser.overLimit(), c.overLimit);
            if (!c.ok || c.overLimit) continue;
            EXPECT_EQ(parser.count(), c.items + (*c.tail ? 1 : 0));
            ASSERT_EQ(parser.values().size(), std::min(c.items, c.keep));
            for (std::size_t i = 0; i < parser.values().size(); ++i) EXPECT_EQ(parser.values()[i], i + 0.5);
        }
    }
}

}  // namespace
}  // namespace visa
