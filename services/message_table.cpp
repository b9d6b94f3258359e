#include "services/message_table.h"

#include <algorithm>
#include <array>

#include "services/error_codes.h"

namespace ztv {
namespace {

constexpr std::array kMessages{
    MessageEntry{1, E_ZENTRAVA_PERSONALITY_NOT_ACTIVE, "Personality is not active."},
    MessageEntry{2, E_ZENTRAVA_PERSONALITY_NOT_INSTALLED, "Personality is not installed."},
    MessageEntry{4, E_ZENTRAVA_IO_GENERAL, "IO error: %1."},
    MessageEntry{5, E_ZENTRAVA_IO_TIMEOUT, "IO timeout error: %1."},
    MessageEntry{6, E_ZENTRAVA_MODEL_NOT_SUPPORTED, "Instrument model does not support this feature: %1."},
    MessageEntry{7, E_ZENTRAVA_WRAPPED_DRIVER_ERROR, "Error in call to wrapped driver: ViStatus = %1."},
    MessageEntry{8, E_ZENTRAVA_MAX_TIME_EXCEEDED, "Maximum time for operation to complete exceeded."},
    MessageEntry{9, E_ZENTRAVA_RETURN_ERROR, "Fails to return, since no data is in buffer to return the result."},
    MessageEntry{10, S_IVI_SUCCESS, "Success."},
    MessageEntry{11, S_IVI_NSUP_ID_QUERY, "ID Query is not supported by this instrument."},
    MessageEntry{12, S_IVI_NSUP_RESET, "Reset is not supported by this instrument."},
    MessageEntry{13, S_IVI_NSUP_SELF_TEST, "Self test is not supported by this instrument."},
    MessageEntry{14, S_IVI_NSUP_ERROR_QUERY, "Error query is not supported by this instrument."},
    MessageEntry{15, S_IVI_NSUP_REV_QUERY, "Firmware revision query is not supported by this instrument."},
    MessageEntry{16, E_IVI_CANNOT_RECOVER, "Failure cannot recover."},
    MessageEntry{17, E_IVI_INSTRUMENT_STATUS,
                 "Instrument error detected.  Use ErrorQuery() to determine the error(s)."},
    MessageEntry{18, E_IVI_CANNOT_OPEN_FILE, "Cannot open file."},
    MessageEntry{19, E_IVI_READING_FILE, "Error reading file."},
    MessageEntry{20, E_IVI_WRITING_FILE, "Error writing file."},
    MessageEntry{21, E_IVI_INVALID_PATHNAME, "The pathname is invalid."},
    MessageEntry{22, E_IVI_INVALID_VALUE, "Invalid value (%1) for method %2, parameter %3."},
    MessageEntry{23, E_IVI_METHOD_NOT_SUPPORTED, "Does not support this class-compliant feature: method %1"},
    MessageEntry{24, E_IVI_PROPERTY_NOT_SUPPORTED, "Does not support this class-compliant feature: property %1."},
    MessageEntry{25, E_IVI_VALUE_NOT_SUPPORTED,
                 "Does not support this class-compliant feature:  (enumeration) value %1 passed as the value for "
                 "parameter %2 in method %3."},
    MessageEntry{26, E_IVI_NOT_INITIALIZED, "A connection to the instrument has not been established."},
    MessageEntry{27, E_IVI_UNKNOWN_CHANNEL_NAME, "Unknown channel name."},
    MessageEntry{28, E_IVI_TOO_MANY_OPEN_FILES, "Too many files are open."},
    MessageEntry{29, E_IVI_CHANNEL_NAME_REQUIRED, "A channel name is required."},
    MessageEntry{30, E_IVI_MISSING_OPTION_NAME, "The option string is missing an option name."},
    MessageEntry{31, E_IVI_MISSING_OPTION_VALUE, "The option string is missing an option value."},
    MessageEntry{32, E_IVI_BAD_OPTION_NAME, "The %1 name in the option string is unknown."},
    MessageEntry{33, E_IVI_BAD_OPTION_VALUE, "The %1 value in the option string is unknown."},
    MessageEntry{34, E_IVI_OUT_OF_MEMORY, "Could not allocate necessary memory."},
    MessageEntry{35, E_IVI_OPERATION_PENDING, "Operation in progress."},
    MessageEntry{36, E_IVI_NULL_POINTER, "Null pointer passed for method %1, parameter %2."},
    MessageEntry{37, E_IVI_UNEXPECTED_RESPONSE, "Unexpected response from instrument."},
    MessageEntry{38, E_IVI_FILE_NOT_FOUND, "File not found."},
    MessageEntry{39, E_IVI_INVALID_FILE_FORMAT, "Invalid file format."},
    MessageEntry{40, E_IVI_STATUS_NOT_AVAILABLE, "The instrument status is not available."},
    MessageEntry{41, E_IVI_ID_QUERY_FAILED, "Instrument ID query failed."},
    MessageEntry{42, E_IVI_RESET_FAILED, "Instrument reset failed."},
    MessageEntry{43, E_IVI_RESOURCE_UNKNOWN, "Unknown resource."},
    MessageEntry{44, E_IVI_ALREADY_INITIALIZED, "The driver is already initialized."},
    MessageEntry{45, E_IVI_CANNOT_CHANGE_SIMULATION_STATE, "The simulation state cannot be changed."},
    MessageEntry{46, E_IVI_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
                 "The number of levels in the selector is not valid for the %1 repeated capability."},
    MessageEntry{47, E_IVI_INVALID_RANGE_IN_SELECTOR, "The range %1 is not valid for the repeated capability %2."},
    MessageEntry{48, E_IVI_UNKNOWN_NAME_IN_SELECTOR, "Unknown name in selector."},
    MessageEntry{49, E_IVI_BADLY_FORMED_SELECTOR, "The repeated capability selector is badly-formed."},
    MessageEntry{50, E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER, "Unknown physical repeated capability selector."},
};

}  // namespace

std::span<const MessageEntry> MessageTable() { return kMessages; }

const MessageEntry* FindMessage(ULONG id) {
    auto it = std::find_if(kMessages.begin(), kMessages.end(), [id](const MessageEntry& m) { return m.id == id; });
    return it == kMessages.end() ? nullptr : &*it;
}

std::optional<CErrorMap::Entry> CErrorMap::Lookup(ULONG messageId) {
    const MessageEntry* entry = FindMessage(messageId);
    if (!entry) return std::nullopt;
    return Entry{entry->code, 0};
}

std::optional<std::string> FormatMessageText(ULONG id, std::span<const std::string_view> inserts) {
    const MessageEntry* entry = FindMessage(id);
    if (!entry) return std::nullopt;
    std::string out = "Zentrava: ";
    const std::string_view text = entry->text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '3') {
            const std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < inserts.size()) out += inserts[n];
            ++i;
            // An inserted sentence brings its own full stop.
            if (out.ends_with('.') && i + 1 < text.size() && text[i + 1] == '.') ++i;
        } else {
            out += text[i];
        }
    }
    out += "\r\n";
    return out;
}

}  // namespace ztv
