#include "emulator/instrument/header_pattern.h"

#include <gtest/gtest.h>

#include "emulator/instrument/scpi_parser.h"

namespace emulator {
namespace {

TEST(HeaderPatternTest, MatchesWholeHeadersByNodeRules) {
    struct Case {
        const char* pattern;
        const char* header;  // parsed as a query, so normalized like the instrument's units
        bool matches;
    };
    const Case cases[] = {
        {"SYST:ERR", "SYST:ERR?", true},
        {"SYST:ERR", "SYSTem:ERRor?", true},
        {"SYST:ERR", "SYST:ERR:NEXT?", false},
        {"SYST:ERR", "SYST?", false},
        {"SYST:ERR SYST:ERR:NEXT", "SYST:ERR:NEXT?", true},
        {"FORM FORM:DATA", "FORM:BORD?", false},
        {"CALC:APP:TRAC", "CALC:FP2:TRAC?", true},
        {"CALC:APP:TRAC", "CALC:USER:TRAC?", true},
        {"CALC:APP:TRAC", "CALC:LIM:TRAC?", false},
        {"CALC:APP:**:MARK*:Y", "CALC:PN:TRAC2:MARK3:Y?", true},
        {"CALC:APP:**:MARK*:Y", "CALC:PN:MARK:Y?", true},
        {"CALC:APP:**:MARK*:Y", "CALC:PN:TRAC2:MAX:Y?", false},
        {"CALC:APP:**:DATA:*", "CALC:PN:DATA:FDAT?", true},
        {"CALC:APP:**:DATA:*", "CALC:PN:TRAC:DATA?", false},
        {"INIT:**", "INIT?", true},
        {"INIT:**", "INIT:PN:IMM?", true},
        {"INIT:**", "ABOR?", false},
        {"**:SWE:POIN", "SENS:PN:SWE:POIN?", true},
        {"**:SWE:POIN", "SENS:PN:SWE?", false},
    };
    for (const Case& c : cases) {
        std::vector<scpi::Unit> units = scpi::ParseMessage(c.header);
        ASSERT_EQ(units.size(), 1u) << c.header;
        EXPECT_EQ(HeaderPattern(c.pattern).Matches(units[0].nodes), c.matches) << c.pattern << " / " << c.header;
    }
}

}  // namespace
}  // namespace emulator
