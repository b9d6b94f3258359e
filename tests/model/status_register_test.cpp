// Every status register with every sub-register, read and written against the
// instrument emulator: the command each combination sends, or its refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

// What a register holds beside its event and enable parts.
enum class Parts { Common, EventOnly, Full };

struct Register {
    ZentravaStatusRegisterEnum number;
    const char* prefix;  // of the SCPI status subsystem; empty for the IEEE 488.2 registers
    Parts parts;
};

constexpr Register kRegisters[] = {
    {ZentravaStatusRegisterOperation, "STAT:OPER:", Parts::Full},
    {ZentravaStatusRegisterQuestionable, "STAT:QUES:", Parts::Full},
    {ZentravaStatusRegisterOperationBit12, "STAT:OPER:BIT12:", Parts::Full},
    {ZentravaStatusRegisterQuesCurrent, "STAT:QUES:CURR:", Parts::EventOnly},
    {ZentravaStatusRegisterQuesDCON, "STAT:QUES:DCON:", Parts::EventOnly},
    {ZentravaStatusRegisterQuesLimit, "STAT:QUES:LIM:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitAM, "STAT:QUES:LIM:AM1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitBB, "STAT:QUES:LIM:BB1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitFP, "STAT:QUES:LIM:FP1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitPN, "STAT:QUES:LIM:PN1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitSP, "STAT:QUES:LIM:SP1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitTR, "STAT:QUES:LIM:TR1:", Parts::Full},
    {ZentravaStatusRegisterQuesLimitUSER, "STAT:QUES:LIM:USER1:", Parts::Full},
    {ZentravaStatusRegisterQuesMisc, "STAT:QUES:MISC:", Parts::EventOnly},
    {ZentravaStatusRegisterQuesPhase, "STAT:QUES:PHAS:", Parts::EventOnly},
    {ZentravaStatusRegisterQuesPower, "STAT:QUES:POW:", Parts::EventOnly},
    {ZentravaStatusRegisterQuesReference, "STAT:QUES:REF:", Parts::EventOnly},
};

constexpr ZentravaStatusSubRegisterEnum kSubRegisters[] = {
    ZentravaStatusSubRegisterCondition, ZentravaStatusSubRegisterNegativeTransition,
    ZentravaStatusSubRegisterPositiveTransition, ZentravaStatusSubRegisterEvent, ZentravaStatusSubRegisterEnable};

// The query suffix of a sub-register of the status subsystem; empty when the
// register lacks that part.
std::string QuerySuffix(Parts parts, ZentravaStatusSubRegisterEnum sub) {
    switch (sub) {
        case ZentravaStatusSubRegisterEvent:
            return "EVEN?";
        case ZentravaStatusSubRegisterEnable:
            return "ENAB?";
        case ZentravaStatusSubRegisterCondition:
            return parts == Parts::Full ? "COND?" : "";
        case ZentravaStatusSubRegisterNegativeTransition:
            return parts == Parts::Full ? "NTR?" : "";
        default:
            return parts == Parts::Full ? "PTR?" : "";
    }
}

class StatusRegisters : public ::testing::Test {
protected:
    ModelSession session;
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(session.OpenEmulated()); }

    // Reads (or writes 0x12345 to) one sub-register; an empty `command`
    // expects the combination to be refused with nothing sent.
    void Expect(ZentravaStatusRegisterEnum reg, ZentravaStatusSubRegisterEnum sub, bool write,
                const std::string& command) {
        SCOPED_TRACE(::testing::Message()
                     << "register " << reg << ", sub-register " << sub << (write ? ", written" : ", read"));
        session.Sent();
        auto status = session.Root<IZentravaStatus>(IID_IZentravaStatus);
        LONG value = 0;
        const HRESULT hr = write ? status->put_Register(reg, sub, 0x12345) : status->get_Register(reg, sub, &value);
        EXPECT_EQ(hr, command.empty() ? E_IVI_INVALID_VALUE : S_OK) << ThreadErrorText();
        EXPECT_EQ(session.Sent(), command.empty() ? std::vector<std::string>{} : std::vector<std::string>{command});
    }
};

TEST_F(StatusRegisters, SubsystemRegistersSendTheirPrefixAndPart) {
    for (const Register& r : kRegisters) {
        for (ZentravaStatusSubRegisterEnum sub : kSubRegisters) {
            const std::string query = QuerySuffix(r.parts, sub);
            Expect(r.number, sub, false, query.empty() ? "" : r.prefix + query);
            // Condition and event parts are read-only; writes keep the low 16 bits.
            const bool writable =
                sub != ZentravaStatusSubRegisterCondition && sub != ZentravaStatusSubRegisterEvent && !query.empty();
            Expect(r.number, sub, true, writable ? r.prefix + query.substr(0, query.size() - 1) + " 9029" : "");
        }
    }
}

TEST_F(StatusRegisters, CommonRegistersUseTheCommonCommands) {
    struct Case {
        ZentravaStatusRegisterEnum reg;
        ZentravaStatusSubRegisterEnum sub;
        bool write;
        const char* command;
    };
    constexpr Case kCases[] = {
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterCondition, false, "*STB?"},
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterNegativeTransition, false, ""},
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterEvent, false, "*STB?"},
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterEnable, false, "*SRE?"},
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterEnable, true, "*SRE 69"},
        {ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterPositiveTransition, true, ""},
        {ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterCondition, false, ""},
        {ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterEvent, false, "*ESR?"},
        {ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterEnable, false, "*ESE?"},
        {ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterEnable, true, "*ESE 69"},
        {ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterNegativeTransition, true, ""},
    };
    for (const Case& c : kCases) Expect(c.reg, c.sub, c.write, c.command);
}

TEST_F(StatusRegisters, NumbersOutsideTheEnumerationsAreRefused) {
    constexpr LONG kOutside[] = {-1, 19, 1000};
    for (LONG number : kOutside) {
        Expect(static_cast<ZentravaStatusRegisterEnum>(number), ZentravaStatusSubRegisterEvent, false, "");
        Expect(static_cast<ZentravaStatusRegisterEnum>(number), ZentravaStatusSubRegisterEnable, true, "");
        Expect(ZentravaStatusRegisterOperation, static_cast<ZentravaStatusSubRegisterEnum>(number), false, "");
    }
    auto status = session.Root<IZentravaStatus>(IID_IZentravaStatus);
    LONG value = 0;
    status->get_Register(static_cast<ZentravaStatusRegisterEnum>(19), ZentravaStatusSubRegisterEvent, &value);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Invalid value (19) for method get_Register, parameter Register.");
    status->put_Register(ZentravaStatusRegisterQuesPower, ZentravaStatusSubRegisterPositiveTransition, 1);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Invalid value (ZentravaStatusSubRegisterPositiveTransition) for method put_Register, "
              "parameter SubRegister.");
}

}  // namespace
}  // namespace ztv::test
