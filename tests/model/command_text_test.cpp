// Command texts: repeated-capability numbers and values in their conversions.
#include "core/engine/command_text.h"

#include <gtest/gtest.h>

namespace ztv::engine {
namespace {

TEST(CommandText, NumbersGoToTracAndMarkValuesToTheRestInOrder) {
    const CommandNumbers numbers{2, 3};
    struct Case {
        const char* format;
        std::vector<CommandArg> args;
        const char* expected;
    } cases[] = {
        {"CALC:FP1:TRAC%d:MARK%d:X %.15g", {CommandArg::Real(1.5)}, "CALC:FP1:TRAC2:MARK3:X 1.5"},
        {"CALC:PN1:TRAC1:MARK%d:STAT %s", {CommandArg::Text("1")}, "CALC:PN1:TRAC1:MARK3:STAT 1"},
        {"CALC:USER1:TRAC%d:LIM:UPP:SEGM:COUN %d", {CommandArg::Integer(4)}, "CALC:USER1:TRAC2:LIM:UPP:SEGM:COUN 4"},
        {"SENS:ATT:LEV %.15g", {CommandArg::Real(0.1)}, "SENS:ATT:LEV 0.1"},
        {"SENS:ATT:LEV %.15g", {CommandArg::Real(1e-20)}, "SENS:ATT:LEV 1e-20"},
        {"DISP:MESS:DATA \"%s\",%d", {CommandArg::Text("a\"b"), CommandArg::Integer(-1)}, "DISP:MESS:DATA \"a\"b\",-1"},
        {"STAT:PRES; *CLS; *SRE %d; *ESE %d",
         {CommandArg::Integer(48), CommandArg::Integer(1)},
         "STAT:PRES; *CLS; *SRE 48; *ESE 1"},
        {"100%% done %d", {CommandArg::Integer(5)}, "100% done 5"},
        {"missing %d", {}, "missing "},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatCommandText(c.format, numbers, c.args), c.expected) << c.format;
}

TEST(CommandText, LongTextsAreNotCut) {
    const std::string text(5000, 'x');
    const CommandArg args[] = {CommandArg::Text(text)};
    EXPECT_EQ(FormatCommandText("DISP:ECHO:DATA \"%s\"", {}, args), "DISP:ECHO:DATA \"" + text + "\"");
}

}  // namespace
}  // namespace ztv::engine
