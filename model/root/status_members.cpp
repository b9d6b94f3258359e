// Hand-written members of IZentravaStatus: the status registers, condition
// bits, service requests and the serial poll.
#include <iterator>

#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {
namespace {

constexpr LONG kStatusByte = 0, kStandardEvent = 1, kOperationBit12 = 4;
constexpr LONG kCondition = 0, kNegativeTransition = 1, kPositiveTransition = 2, kEvent = 3, kEnable = 4;

// Command prefix of each register, by ZentravaStatusRegisterEnum value.
constexpr const char* kRegisterPrefix[] = {"",
                                           "",
                                           "STAT:OPER:",
                                           "STAT:QUES:",
                                           "STAT:OPER:BIT12:",
                                           "STAT:QUES:CURR:",
                                           "STAT:QUES:DCON:",
                                           "STAT:QUES:LIM:",
                                           "STAT:QUES:LIM:AM1:",
                                           "STAT:QUES:LIM:BB1:",
                                           "STAT:QUES:LIM:FP1:",
                                           "STAT:QUES:LIM:PN1:",
                                           "STAT:QUES:LIM:SP1:",
                                           "STAT:QUES:LIM:TR1:",
                                           "STAT:QUES:LIM:USER1:",
                                           "STAT:QUES:MISC:",
                                           "STAT:QUES:PHAS:",
                                           "STAT:QUES:POW:",
                                           "STAT:QUES:REF:"};
constexpr LONG kRegisterCount = static_cast<LONG>(std::size(kRegisterPrefix));
constexpr LONG kSubRegisterCount = 5;

// Registers that have no transition filters and no condition register.
bool IsEventOnly(LONG reg) { return reg == 5 || reg == 6 || (reg >= 15 && reg <= 18); }

const char* SubRegisterName(LONG sub) {
    switch (sub) {
        case kCondition:
            return "ZentravaStatusSubRegisterCondition";
        case kNegativeTransition:
            return "ZentravaStatusSubRegisterNegativeTransition";
        case kPositiveTransition:
            return "ZentravaStatusSubRegisterPositiveTransition";
        case kEvent:
            return "ZentravaStatusSubRegisterEvent";
        default:
            return "ZentravaStatusSubRegisterEnable";
    }
}

// The query suffix of a register and sub-register, or nullptr when the
// combination cannot be read.
const char* QuerySuffix(LONG reg, LONG sub) {
    if (reg == kStatusByte) {
        if (sub == kCondition || sub == kEvent) return "*STB?";
        return sub == kEnable ? "*SRE?" : nullptr;
    }
    if (reg == kStandardEvent) return sub == kEvent ? "*ESR?" : sub == kEnable ? "*ESE?" : nullptr;
    switch (sub) {
        case kCondition:
            return IsEventOnly(reg) ? nullptr : "COND?";
        case kNegativeTransition:
            return IsEventOnly(reg) ? nullptr : "NTR?";
        case kPositiveTransition:
            return IsEventOnly(reg) ? nullptr : "PTR?";
        case kEvent:
            return "EVEN?";
        default:
            return "ENAB?";
    }
}

// The write suffix, or nullptr for a read-only sub-register.
const char* WriteSuffix(LONG reg, LONG sub) {
    if (sub == kEnable) return reg == kStatusByte ? "*SRE" : reg == kStandardEvent ? "*ESE" : "ENAB";
    if (sub == kCondition || sub == kEvent) return nullptr;
    if (reg == kStatusByte || reg == kStandardEvent || IsEventOnly(reg)) return nullptr;
    return sub == kNegativeTransition ? "NTR" : "PTR";
}

}  // namespace

HRESULT status_register(engine::MemberCall& call, ZentravaStatusRegisterEnum Register,
                        ZentravaStatusSubRegisterEnum SubRegister, LONG* val) {
    *val = -1;
    const LONG reg = Register, sub = SubRegister;
    if (reg < 0 || reg >= kRegisterCount) return call.Errors().ReportInvalidValueError("get_Register", "Register", reg);
    if (sub < 0 || sub >= kSubRegisterCount)
        return call.Errors().ReportInvalidValueError("get_Register", "SubRegister", sub);
    const char* suffix = QuerySuffix(reg, sub);
    if (!suffix)
        return call.Errors().ReportInvalidValueError("get_Register", "SubRegister",
                                                     std::string_view(SubRegisterName(sub)));
    if (call.Simulating()) {
        *val = static_cast<LONG>(call.Desc().simNumber);
        return S_OK;
    }
    return call.IO().InstrQuery(std::string(kRegisterPrefix[reg]) + suffix, val, kCurrentTimeout);
}

HRESULT status_register(engine::MemberCall& call, ZentravaStatusRegisterEnum Register,
                        ZentravaStatusSubRegisterEnum SubRegister, LONG val) {
    const LONG reg = Register, sub = SubRegister;
    if (reg < 0 || reg >= kRegisterCount) return call.Errors().ReportInvalidValueError("put_Register", "Register", reg);
    if (sub < 0 || sub >= kSubRegisterCount)
        return call.Errors().ReportInvalidValueError("put_Register", "SubRegister", sub);
    const char* suffix = WriteSuffix(reg, sub);
    if (!suffix)
        return call.Errors().ReportInvalidValueError("put_Register", "SubRegister",
                                                     std::string_view(SubRegisterName(sub)));
    if (call.Simulating()) return S_OK;
    const LONG masked = val & (reg == kStatusByte || reg == kStandardEvent ? 0xFF : 0xFFFF);
    return call.IO().InstrWrite(std::string(kRegisterPrefix[reg]) + suffix + " " + std::to_string(masked),
                                kCurrentTimeout);
}

HRESULT condition_bit(engine::MemberCall& call, ZentravaStatusRegisterEnum Register, LONG BitNumber) {
    if (call.Simulating()) return S_OK;
    if (Register != kOperationBit12) return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    const engine::CommandArg bit[] = {engine::CommandArg::Integer(BitNumber)};
    return call.IO().InstrWrite(call.Command(0, bit), kCurrentTimeout);
}

HRESULT service_request(engine::MemberCall& call, ZentravaSRQReasonEnum Reason) {
    const LONG reason = Reason;
    if (reason < 0 || reason > 0x3FFFF)
        return call.Errors().ReportInvalidValueError("ConfigureServiceRequest", "Reason", reason);
    LONG sre = 0, ese = 0, questionable = 0;
    if (reason & 0x1) sre |= 0x10;
    if (reason & 0x2) sre |= 0x04;
    // Standard event bits, in reason bit order from EsrOPC to EsrUserRequest.
    constexpr LONG kEventBits[] = {0x01, 0x04, 0x08, 0x10, 0x20, 0x40};
    for (int i = 0; i < 6; ++i) {
        if (reason & (0x4 << i)) {
            sre |= 0x20;
            ese |= kEventBits[i];
        }
    }
    // Questionable bits, in reason bit order from QuesVoltage to QuesInstrument.
    constexpr LONG kQuestionableBits[] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010,
                                          0x0020, 0x0040, 0x0080, 0x0100, 0x2000};
    for (int i = 0; i < 10; ++i) {
        if (reason & (0x100 << i)) {
            sre |= 0x08;
            questionable |= kQuestionableBits[i];
        }
    }
    if (call.Simulating()) return S_OK;
    const engine::CommandArg masks[] = {engine::CommandArg::Integer(sre), engine::CommandArg::Integer(ese),
                                        engine::CommandArg::Integer(questionable), engine::CommandArg::Integer(0)};
    return call.IO().InstrWrite(call.Command(0, masks), kCurrentTimeout);
}

HRESULT serial_poll(engine::MemberCall& call, LONG* val) {
    *val = 0;
    if (call.Simulating()) {
        *val = static_cast<LONG>(call.Desc().simNumber);
        return S_OK;
    }
    SHORT statusByte = 0;
    const HRESULT hr = call.IO().Provider().ReadSTB(&statusByte);
    if (SUCCEEDED(hr)) *val = statusByte;
    return hr;
}

}  // namespace ztv::custom
