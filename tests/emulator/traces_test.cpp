#include "emulator/instrument/traces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "emulator/instrument/instrument.h"
#include "emulator/instrument/screen_image.h"

namespace emulator {
namespace {

std::vector<double> ParseList(const std::string& text) {
    std::vector<double> values;
    const char* p = text.c_str();
    while (*p) {
        char* end = nullptr;
        values.push_back(std::strtod(p, &end));
        if (end == p) return {};
        p = *end == ',' ? end + 1 : end;
    }
    return values;
}

std::vector<double> QueryList(Instrument& instrument, const std::string& query) {
    return ParseList(instrument.Execute(query).value_or(""));
}

TEST(TracesTest, PhaseNoiseTraceLooksLikeAOneGigahertzOscillator) {
    Instrument instrument;
    instrument.Execute("FORM:DATA ASC");
    std::vector<double> x = QueryList(instrument, "CALC:PN1:DATA:XDAT?");
    std::vector<double> y = QueryList(instrument, "CALC:PN1:TRAC1:DATA:FDAT?");
    ASSERT_EQ(x.size(), 1001u);
    ASSERT_EQ(y.size(), 1001u);
    EXPECT_DOUBLE_EQ(x.front(), 1.0);
    EXPECT_DOUBLE_EQ(x.back(), 40e6);
    for (std::size_t i = 1; i < x.size(); ++i) ASSERT_GT(x[i], x[i - 1]) << i;
    for (double v : y) {
        ASSERT_LT(v, -55.0);
        ASSERT_GT(v, -170.0);
    }
    EXPECT_NEAR(y.front(), -60.0, 3.0);
    EXPECT_NEAR(y.back(), -165.0, 3.0);
    // Close to the carrier the noise falls 30 dB per decade.
    Trace trace{x, y};
    EXPECT_NEAR(Interpolate(trace, 10.0) - Interpolate(trace, 100.0), 30.0, 5.0);

    // The 50 Hz mains spur stands well above both neighbours.
    std::size_t spur = 0;
    while (x[spur] < 50.0) ++spur;
    if (std::abs(x[spur - 1] - 50.0) < std::abs(x[spur] - 50.0)) --spur;
    EXPECT_GT(y[spur] - y[spur - 1], 10.0);
    EXPECT_GT(y[spur] - y[spur + 1], 10.0);

    std::vector<double> spurs = QueryList(instrument, "CALC:PN1:TRAC1:DATA:SDAT?");
    ASSERT_EQ(spurs.size() % 2, 0u);
    ASSERT_GE(spurs.size(), 2u);
    EXPECT_EQ(spurs[0], 50.0);
    EXPECT_EQ(QueryList(instrument, "CALC:PN1:DATA:CARR?"), (std::vector<double>{1e9, 5.0}));
}

TEST(TracesTest, EveryApplicationAnswersListsMatchingItsXAxis) {
    const char* const kQueries[][2] = {
        {"CALC:AM1:DATA:XDAT?", "CALC:AM1:TRAC1:DATA:FDAT?"},
        {"CALC:BB1:DATA:XDAT?", "CALC:BB1:TRAC1:DATA:UDAT?"},
        {"CALC:FP1:TRAC2:DATA:XDAT?", "CALC:FP1:TRAC2:DATA:FDAT?"},
        {"CALC:SP1:DATA:XDAT?", "CALC:SP1:TRAC1:DATA:FMEM?"},
        {"CALC:TR1:WIDE:DATA:XDAT?", "CALC:TR1:TRAC3:DATA:FDAT?"},
        {"CALC:USER1:TRAC5:DATA:XDAT?", "CALC:USER1:TRAC5:DATA:FDAT?"},
        {"CALC:PN1:DATA:XDAT?", "CALC:PN1:DATA:RDAT?"},
        {"CALC:PN1:DATA:XDAT?", "CALC:PN1:TRAC1:LIM:UPP:LDAT?"},
    };
    Instrument instrument;
    instrument.Execute("EMUL:TRAC:POIN 201");
    for (const auto& q : kQueries) {
        std::vector<double> x = QueryList(instrument, q[0]);
        std::vector<double> y = QueryList(instrument, q[1]);
        EXPECT_EQ(x.size(), 201u) << q[0];
        EXPECT_EQ(y.size(), 201u) << q[1];
        for (std::size_t i = 1; i < x.size(); ++i) ASSERT_GT(x[i], x[i - 1]) << q[0];
        for (double v : y) ASSERT_TRUE(std::isfinite(v)) << q[1];
    }
    EXPECT_TRUE(instrument.PendingErrors().empty());
}

TEST(TracesTest, ListLengthFollowsTheConfiguredPointCount) {
    for (int points : {2, 1001, 100001}) {
        InstrumentOptions options;
        options.tracePoints = points;
        Instrument instrument(options);
        EXPECT_EQ(QueryList(instrument, "CALC:PN1:TRAC1:DATA:FDAT?").size(), static_cast<std::size_t>(points));
    }
}

TEST(TracesTest, TracesSpanTheSweepSettingsWritten) {
    struct Case {
        const char* settings;
        const char* xQuery;
        double first, last;
        std::size_t points;
    };
    const Case cases[] = {
        {"SENS:PN1:FREQ:STAR 100;STOP 1e5;:SENS:PN1:SWE:POIN 11", "CALC:PN1:DATA:XDAT?", 100, 1e5, 11},
        {"SENS:AM:FREQ:STAR 10;STOP 1e6", "CALC:AM1:DATA:XDAT?", 10, 1e6, 1001},
        {"SENS:SP1:FREQ:STAR 999e6;STOP 1001e6;:SENS:SP1:SWE:POIN 21", "CALC:SP1:DATA:XDAT?", 999e6, 1001e6, 21},
        {"SOUR:FP1:VOLT:CONT:STAR 1;STOP 3;:SOUR:FP1:SWE:POIN 5", "CALC:FP1:DATA:XDAT?", 1, 3, 5},
        // A logarithmic axis cannot start at 0: the instrument keeps its own range.
        {"SENS:PN1:FREQ:STAR 0;STOP 1e5", "CALC:PN1:DATA:XDAT?", 1, 40e6, 1001},
    };
    for (const Case& c : cases) {
        Instrument instrument;
        instrument.Execute(c.settings);
        const std::vector<double> x = QueryList(instrument, c.xQuery);
        ASSERT_EQ(x.size(), c.points) << c.settings;
        EXPECT_NEAR(x.front(), c.first, c.first * 1e-9) << c.settings;
        EXPECT_NEAR(x.back(), c.last, c.last * 1e-9) << c.settings;
    }
}

TEST(TracesTest, AWrittenTraceReadsBackInsteadOfTheMeasurement) {
    Instrument instrument;
    instrument.Execute("FORM:DATA ASC;:CALC:PN1:TRAC1:DATA:FMEM -100,-110,-120");
    EXPECT_EQ(instrument.Execute("CALC:PN1:TRAC1:DATA:FMEM?"), std::optional<std::string>("-100,-110,-120"));
}

TEST(TracesTest, AnalysisResultsAreConsistentWithTheTrace) {
    Instrument instrument;
    std::vector<double> integral = QueryList(instrument, "CALC:PN1:TRAC1:FUNC:INT:DATA?");
    ASSERT_EQ(integral.size(), 6u);
    EXPECT_LT(integral[0], -60.0);      // integrated noise, dBc
    EXPECT_EQ(integral[1], 9999000.0);  // 1 kHz to 10 MHz
    EXPECT_NEAR(integral[3], integral[2] * 180.0 / M_PI, 1e-6 * integral[3]);
    EXPECT_NEAR(integral[4], integral[2] / (2 * M_PI * 1e9), 1e-6 * integral[4]);
    EXPECT_EQ(QueryList(instrument, "CALC:PN1:TRAC1:FUNC:STAT:DATA?").size(), 3u);
    std::vector<double> allan = QueryList(instrument, "CALC:PN1:TRAC1:FUNC:AVAR:DATA? 0.001,100000");
    ASSERT_EQ(allan.size(), 2u);
    EXPECT_GT(allan[0], 0.0);
    std::vector<double> line = QueryList(instrument, "CALC:FP1:TRAC1:FUNC:LREG:DATA?");
    ASSERT_EQ(line.size(), 2u);
    EXPECT_NEAR(line[0], 2e6, 1e4);  // tuning slope, Hz/V

    instrument.Execute("CALC:PN1:TRAC1:MARK2:X 10");
    std::vector<double> marker = QueryList(instrument, "CALC:PN1:TRAC1:MARK2:Y?");
    ASSERT_EQ(marker.size(), 1u);
    EXPECT_NEAR(marker[0], PhaseNoiseModel(10.0), 2.0);
}

TEST(TracesTest, ScreenDumpIsAValidImageInADefiniteBlock) {
    Instrument instrument;
    std::optional<std::string> bmp = scpi::BlockPayload(instrument.Execute("HCOP:SDUM:DATA? BMP").value_or(""));
    ASSERT_TRUE(bmp);
    ASSERT_GT(bmp->size(), 54u);
    EXPECT_EQ(bmp->substr(0, 2), "BM");
    std::uint32_t fileSize = 0;
    for (int i = 3; i >= 0; --i) fileSize = fileSize << 8 | static_cast<unsigned char>((*bmp)[2 + i]);
    EXPECT_EQ(fileSize, bmp->size());
    std::optional<std::string> gif = scpi::BlockPayload(instrument.Execute("HCOP:SDUM:DATA? GIF").value_or(""));
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->substr(0, 6), "GIF89a");
    EXPECT_EQ(gif->back(), ';');
}

}  // namespace
}  // namespace emulator
