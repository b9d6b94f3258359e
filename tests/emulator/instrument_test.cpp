#include "emulator/instrument/instrument.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace emulator {
namespace {

std::string Ask(Instrument& instrument, const std::string& message) {
    return instrument.Execute(message).value_or("<none>");
}

TEST(InstrumentTest, CommonQueriesAnswerAsAQ7310B) {
    InstrumentOptions options;
    options.serial = "SN42";
    options.firmware = "2.1";
    Instrument instrument(options);
    EXPECT_EQ(Ask(instrument, "*IDN?"), "Orvane Technologies,Q7310B,SN42,2.1");
    EXPECT_EQ(Ask(instrument, "*idn?\n"), "Orvane Technologies,Q7310B,SN42,2.1");
    EXPECT_EQ(Ask(instrument, "*TST?"), "0");
    EXPECT_EQ(Ask(instrument, "*OPT?"), "QVX-BBM");
    EXPECT_EQ(Ask(instrument, "*OPC?"), "1");
    EXPECT_EQ(Ask(instrument, "*ESR?"), "128");  // power on, once
    EXPECT_EQ(Ask(instrument, "*ESR?"), "0");
    EXPECT_EQ(Ask(instrument, "*ESE 60;*SRE 255;*ESE?;*SRE?"), "60;191");  // bit 6 of *SRE cannot be set
    EXPECT_FALSE(instrument.Execute("*RST;*CLS;*WAI"));
}

TEST(InstrumentTest, BadCommandsQueueTheirErrorAndSetTheirEventBit) {
    struct Case {
        const char* message;
        int code;
        int esrBit;
    };
    const Case cases[] = {
        {"FOO:BAR 1", -113, kCommandError},
        {"*XYZ", -113, kCommandError},
        {"*IDN", -113, kCommandError},
        {"*RST?", -113, kCommandError},
        {"*IDN? 3", -108, kCommandError},
        {"*ESE", -109, kCommandError},
        {"*ESE abc", -104, kCommandError},
        {"SENS::ATT 1", -102, kCommandError},
        {"*ESE 300", -222, kExecutionError},
        {"SENS:ATT:LEV 99", -222, kExecutionError},
        {"FORM:DATA XML", -224, kExecutionError},
        {"EMUL:ERR -310,\"Oven cold\"", -310, kDeviceError},
        {"EMUL:ERR -410", -410, kQueryError},
    };
    for (const Case& c : cases) {
        Instrument instrument;
        instrument.Execute("*CLS");
        EXPECT_FALSE(instrument.Execute(c.message)) << c.message;
        std::vector<std::pair<int, std::string>> errors = instrument.PendingErrors();
        ASSERT_EQ(errors.size(), 1u) << c.message;
        EXPECT_EQ(errors[0].first, c.code) << c.message;
        EXPECT_EQ(Ask(instrument, "*ESR?"), std::to_string(c.esrBit)) << c.message;
        EXPECT_EQ(Ask(instrument, "*STB?"), "4") << c.message;  // error queue not empty
    }
}

TEST(InstrumentTest, ErrorQueueReadsInOrderAndReportsOverflow) {
    Instrument instrument;
    EXPECT_EQ(Ask(instrument, "SYST:ERR?"), "0,\"No error\"");
    instrument.Execute("FOO 1");
    instrument.Execute("*ESE 999");
    instrument.Execute("EMUL:ERR -300,\"Oven cold\"");
    EXPECT_EQ(Ask(instrument, "SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(Ask(instrument, "SYSTem:ERRor:NEXT?"), "-222,\"Data out of range\"");
    EXPECT_EQ(Ask(instrument, "syst:err:next?"), "-300,\"Oven cold\"");
    EXPECT_EQ(Ask(instrument, "SYST:ERR?"), "0,\"No error\"");

    for (int i = 0; i < 40; ++i) instrument.Execute("FOO 1");
    std::vector<std::pair<int, std::string>> errors = instrument.PendingErrors();
    ASSERT_EQ(errors.size(), 30u);
    EXPECT_EQ(errors.front().first, -113);
    EXPECT_EQ(errors.back(), std::make_pair(-350, std::string("Queue overflow")));
    instrument.Execute("*CLS");
    EXPECT_TRUE(instrument.PendingErrors().empty());
    EXPECT_EQ(Ask(instrument, "*ESR?"), "0");
}

TEST(InstrumentTest, ACommandErrorDropsTheRestOfTheMessage) {
    Instrument instrument;
    EXPECT_EQ(Ask(instrument, "*OPT?;FOO:BAR;*IDN?"), "QVX-BBM");
    EXPECT_EQ(instrument.PendingErrors().size(), 1u);
}

TEST(InstrumentTest, SettingsReadBackAsWrittenUnderAnyHeaderForm) {
    struct Case {
        const char* set;
        const char* query;
        const char* answer;
    };
    const Case cases[] = {
        {"SENS:ATT:LEV 10.5", "SENS:ATT:LEV?", "10.5"},
        {"SENS:ATT:LEV 20", "sense:attenuation:level?", "20"},
        {"SENSe:UDC:LO 1.5E9", "SENS:UDC:LO?", "1.5E9"},
        {"CALC:PN1:TRAC1:MARK3:X 1000", "CALC:PN:TRAC:MARK3:X?", "1000"},
        {"TRIG:MODE SP1", "TRIG:MODE?", "SP1"},
        {"CALC:PN1:TRAC1:MARK1:SEAR:TRAC:TYPE OFF", "CALC:PN1:TRAC1:MARK1:SEAR:TRAC:TYPE?", "OFF"},
        {"DISP:MESS:DATA \"Hi\",-1", "DISP:MESS:DATA?", "\"Hi\",-1"},
        {"SYST:DATE 2025,1,2", "SYST:DATE?", "2025,1,2"},
    };
    Instrument instrument;
    for (const Case& c : cases) {
        EXPECT_FALSE(instrument.Execute(c.set)) << c.set;
        EXPECT_EQ(Ask(instrument, c.query), c.answer) << c.set;
    }
    EXPECT_TRUE(instrument.PendingErrors().empty());
    instrument.Execute("*RST");
    EXPECT_EQ(Ask(instrument, "SENS:ATT:LEV?"), "0");
    EXPECT_EQ(Ask(instrument, "TRIG:MODE?"), "PN1");
}

TEST(InstrumentTest, UnsetSettingsAnswerPlausibleDefaults) {
    struct Case {
        const char* query;
        const char* answer;
    };
    const Case cases[] = {
        {"DISP:ENAB?", "1"},
        {"DISP:WIND:ACT?", "PN1"},
        {"SYST:SEC:LEV?", "NONE"},
        {"CALC:FP1:TRAC2:MATH:FUNC?", "NORM"},
        {"CALC:PN1:TRAC1:MARK2:SEAR:PEAK:POL?", "POS"},
        {"SENS:PN1:SWE:POIN?", "1001"},
        {"CALC:BB1:TRAC1:FORM?", "DBV"},
        {"CALC:SP1:TRAC1:FORM?", "DBM"},
        {"SENS:PN1:CARR:FBAN?", "BAND1"},
        {"TRIG:FP1:MODE?", "ANAL"},
        {"SENS:SP1:FREQ:CENT?", "1000000000"},
        {"STAT:OPER:ENAB?", "0"},
        {"SOUR:VOLT:CONT:LIM:HIGH?", "0"},
    };
    Instrument instrument;
    for (const Case& c : cases) EXPECT_EQ(Ask(instrument, c.query), c.answer) << c.query;
}

TEST(InstrumentTest, QueriesOfOneMessageAnswerInOneResponse) {
    Instrument instrument;
    EXPECT_EQ(Ask(instrument, "SENS:ATT:LEV 5;:SENS:ATT:LEV?;LEV?;*ESE?"), "5;5;0");
}

TEST(InstrumentTest, StateLearnedWithLrnRestoresWithSystSet) {
    Instrument instrument;
    instrument.Execute("SENS:ATT:LEV 12.5;:TRIG:MODE SP1");
    std::string learned = Ask(instrument, "*LRN?");
    std::optional<std::string> outer = scpi::BlockPayload(learned);
    ASSERT_TRUE(outer);
    ASSERT_EQ(outer->rfind("SYST:SET #", 0), 0u);
    instrument.Execute("*RST;:SENS:ATT:LEV 1");
    instrument.Execute(*outer);  // what a client sends back: "SYST:SET #..."
    EXPECT_EQ(Ask(instrument, "SENS:ATT:LEV?;:TRIG:MODE?"), "12.5;SP1");
    EXPECT_TRUE(instrument.PendingErrors().empty());
}

TEST(InstrumentTest, OperationCompleteFollowsTheMeasurement) {
    InstrumentOptions options;
    options.measurementDelayMs = 20;
    Instrument instrument(options);
    instrument.Execute("*CLS");
    EXPECT_EQ(Ask(instrument, "INIT:PN1:IMM;*OPC?"), "1");
    instrument.Execute("INIT:PN1:IMM;*OPC;*WAI");
    EXPECT_EQ(Ask(instrument, "*ESR?"), "1");
}

TEST(InstrumentTest, RealsAreSentInNr3FormUnlessTheShortFormIsChosen) {
    struct Case {
        bool shortReals;
        const char* reply;
    };
    for (const Case& c :
         {Case{false, "1.000000000E+00,6.324555320E+03,4.000000000E+07"}, Case{true, "1,6324.55532,40000000"}}) {
        InstrumentOptions options;
        options.shortReals = c.shortReals;
        Instrument instrument(options);
        instrument.Execute("EMUL:TRAC:POIN 3");
        EXPECT_EQ(Ask(instrument, "CALC:PN1:DATA:XDAT?"), c.reply) << c.shortReals;
    }
}

TEST(InstrumentTest, RealFormatSendsBigEndianOrSwappedBlocks) {
    Instrument instrument;
    instrument.Execute("EMUL:TRAC:POIN 11");
    std::string ascii = Ask(instrument, "CALC:PN1:DATA:XDAT?");
    EXPECT_EQ(ascii.substr(0, 16), "1.000000000E+00,");
    instrument.Execute("FORM:DATA REAL,64");
    std::optional<std::string> big = scpi::BlockPayload(Ask(instrument, "CALC:PN1:DATA:XDAT?"));
    ASSERT_TRUE(big);
    ASSERT_EQ(big->size(), 88u);
    unsigned char first[8];
    for (int i = 0; i < 8; ++i) first[i] = static_cast<unsigned char>((*big)[7 - i]);
    double value;
    std::memcpy(&value, first, 8);
    EXPECT_EQ(value, 1.0);
    instrument.Execute("FORM:DATA REAL,32;:FORM:BORD SWAP");
    std::optional<std::string> little = scpi::BlockPayload(Ask(instrument, "CALC:PN1:DATA:XDAT?"));
    ASSERT_TRUE(little);
    ASSERT_EQ(little->size(), 44u);
    float last;
    std::memcpy(&last, little->data() + 40, 4);
    EXPECT_EQ(last, 40e6f);
}

TEST(InstrumentTest, EmulatorCommandsSetFaults) {
    Instrument instrument;
    instrument.Execute("EMUL:FAUL:IDN \"Q7310A\";DEL 250;SWAL 2");
    EXPECT_EQ(Ask(instrument, "*IDN?"), "Orvane Technologies,Q7310A,0123456789,1.0.9");
    EXPECT_EQ(instrument.faults().ReplyDelayMs(), 250);
    EXPECT_EQ(instrument.faults().PendingSwallows(), 2);
    EXPECT_EQ(Ask(instrument, "EMULATOR:FAULT?"), "\"DEL 250,SWAL 2,IDN Q7310A\"");
    instrument.Execute("EMUL:FAUL:ESR 32,PERS");
    EXPECT_EQ(Ask(instrument, "*CLS;*ESR?;*ESR?"), "32;32");
    instrument.Execute("EMUL:FAUL:CLE");
    EXPECT_EQ(Ask(instrument, "EMUL:FAUL?"), "\"NONE\"");
    EXPECT_EQ(Ask(instrument, "*ESR?"), "0");
    instrument.Execute("EMUL:FAUL:SWAL");
    EXPECT_EQ(instrument.PendingErrors().back().first, -109);
}

TEST(InstrumentTest, CommandsAnswerAndActAsDocumented) {
    struct Case {
        std::vector<std::string> setup;  // messages sent first, one by one
        const char* query;
        const char* reply;
        int error;  // the first error queued afterwards, 0 for none
    };
    const Case cases[] = {
        {{}, "*PSC?", "1", 0},
        {{"*PSC 0", "*RST"}, "*PSC?", "0", 0},  // power-on clear survives a reset
        {{"*CLS", "*RCL 3", "*SAV 4", "*TRG", "*WAI 5"}, "*ESR?", "0", 0},
        {{"*RCL 256"}, "*ESR?", "144", -222},
        {{"*TRG 1"}, "*ESR?", "160", -108},
        {{}, "*OPC? 1", "<none>", -108},
        {{"FOO 1", "FOO 2"}, "SYST:ERR:COUN?", "2", -113},
        {{"FOO 1", "*ESE 999"}, "SYST:ERR:ALL?", "-113,\"Undefined header\",-222,\"Data out of range\"", 0},
        {{}, "SYST:ERR:ALL?", "0,\"No error\"", 0},
        {{}, "SYST:VERS?", "1999.0", 0},
        {{"STAT:OPER:ENAB 5", "SENS:ATT:LEV 3", "STAT:PRES"}, "STAT:OPER:ENAB?;:SENS:ATT:LEV?", "0;3", 0},
        {{"SENS:ATT:LEV 3", "SYST:PRES"}, "SENS:ATT:LEV?", "0", 0},
        {{"INIT:CONT ON"}, "INIT:CONT?", "ON", 0},
        {{"SYST:SET 12"}, "SYST:ERR:COUN?", "1", -104},
        {{"FORM REAL"}, "FORM?", "REAL", 0},
        {{"FORM ASCII"}, "FORM?", "ASCII", 0},
        {{"CALC:PN1:TRAC1:DATA:FMEM -100,-110"}, "CALC:PN1:TRAC1:DATA:FMEM?", "-100,-110", 0},
        {{"CALC:PN1:TRAC1:LIM:UPP:SEGM:DATA 1,-200,40000000,-200"}, "CALC:PN1:TRAC1:LIM:FAIL?", "1", 0},
        {{"CALC:PN1:TRAC1:LIM:UPP:SEGM:DATA 1,0,40000000,0"}, "CALC:PN1:TRAC1:LIM:FAIL?", "0", 0},
        {{}, "CALC:PN1:TRAC1:FUNC:AVAR:DATA? 0.001", "<none>", -109},
        // A running measurement keeps "*OPC" from completing until it is aborted.
        {{"EMUL:MEAS:DEL 60000", "INIT:PN1:IMM", "*CLS", "*OPC"}, "*ESR?", "0", 0},
        {{"EMUL:MEAS:DEL 60000", "INIT:PN1:IMM", "*CLS", "*OPC", "ABOR"}, "*ESR?", "1", 0},
        {{"EMUL:MEAS:DEL 250"}, "EMUL:MEAS:DEL?", "250", 0},
        {{"EMUL:TRAC:POIN 7"}, "EMUL:TRAC:POIN?", "7", 0},
        {{"EMUL:TRAC:POIN 1"}, "EMUL:TRAC:POIN?", "1001", -222},
        {{"EMUL:FAUL:DEL 40"}, "EMUL:FAUL:DEL?", "40", 0},
        {{"*CLS", "*SRE 32", "*ESE 1", "*OPC"}, "*STB?", "96", 0},
        {{"EMUL:FAUL:SRQ 1", "*CLS", "*SRE 32", "*ESE 1", "*OPC"}, "*STB?", "32", 0},
        {{"EMUL:FAUL:DROP SOON"}, "EMUL:FAUL?", "\"NONE\"", -224},
        {{"EMUL:FOO 1"}, "EMUL:FAUL?", "\"NONE\"", -113},
        {{"EMUL:FOO"}, "EMUL:FAUL?", "\"NONE\"", -109},
        {{}, "EMUL:FOO?", "<none>", -113},
    };
    for (const Case& c : cases) {
        Instrument instrument;
        for (const std::string& message : c.setup) instrument.Execute(message);
        EXPECT_EQ(Ask(instrument, c.query), c.reply) << c.query;
        std::vector<std::pair<int, std::string>> errors = instrument.PendingErrors();
        EXPECT_EQ(errors.empty() ? 0 : errors[0].first, c.error) << c.query;
    }
}

TEST(InstrumentTest, AnalysesOfTheMemoryTraceAnswerLikeThoseOfTheData) {
    Instrument instrument;
    instrument.Execute("EMUL:TRAC:POIN 101");
    for (const char* analysis : {"FUNC:STAT", "FUNC:INT", "FUNC:LREG"}) {
        const std::string trace = std::string("CALC:PN1:TRAC1:") + analysis;
        const std::string data = Ask(instrument, trace + ":DATA?");
        EXPECT_NE(data.find(','), std::string::npos) << analysis;  // a list, not a stored setting
        EXPECT_EQ(Ask(instrument, trace + ":MEM?"), data) << analysis;
    }
}

}  // namespace
}  // namespace emulator
