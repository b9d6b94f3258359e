#include "emulator/instrument/error_texts.h"

#include "emulator/instrument/instrument.h"

namespace emulator {

std::string ErrorText(int code) {
    switch (code) {
        case 0:
            return "No error";
        case -100:
            return "Command error";
        case -101:
            return "Invalid character";
        case -102:
            return "Syntax error";
        case -104:
            return "Data type error";
        case -108:
            return "Parameter not allowed";
        case -109:
            return "Missing parameter";
        case -112:
            return "Program mnemonic too long";
        case -113:
            return "Undefined header";
        case -160:
            return "Block data error";
        case -200:
            return "Execution error";
        case -222:
            return "Data out of range";
        case -224:
            return "Illegal parameter value";
        case -300:
            return "Device-specific error";
        case -350:
            return "Queue overflow";
        case -400:
            return "Query error";
        case -410:
            return "Query INTERRUPTED";
        case -420:
            return "Query UNTERMINATED";
        case -430:
            return "Query DEADLOCKED";
    }
    if (code <= -100 && code > -200) return "Command error";
    if (code <= -200 && code > -300) return "Execution error";
    if (code <= -400 && code > -500) return "Query error";
    return "Device-specific error";
}

int EventBitOf(int code) {
    if (code <= -100 && code > -200) return kCommandError;
    if (code <= -200 && code > -300) return kExecutionError;
    if (code <= -400 && code > -500) return kQueryError;
    return code == 0 ? 0 : kDeviceError;
}

}  // namespace emulator
