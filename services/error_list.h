// Every result code of the driver and the IVI inherent codes, written once:
// its name, its value, the number its message is reported under and the
// message text (without the "Zentrava: " prefix). The codes, the message
// numbers and the message table are all derived from this list.
#pragma once

// X(name, value, message number, text): one line each, as tools read it too.
// clang-format off
#define ZTV_ERROR_LIST(X) \
    X(E_ZENTRAVA_PERSONALITY_NOT_ACTIVE, 0x80044211, 1, "Personality is not active.") \
    X(E_ZENTRAVA_PERSONALITY_NOT_INSTALLED, 0x80044212, 2, "Personality is not installed.") \
    X(E_ZENTRAVA_IO_GENERAL, 0x80044214, 4, "IO error: %1.") \
    X(E_ZENTRAVA_IO_TIMEOUT, 0x80044215, 5, "IO timeout error: %1.") \
    X(E_ZENTRAVA_MODEL_NOT_SUPPORTED, 0x80044216, 6, "Instrument model does not support this feature: %1.") \
    X(E_ZENTRAVA_WRAPPED_DRIVER_ERROR, 0x80044218, 7, "Error in call to wrapped driver: ViStatus = %1.") \
    X(E_ZENTRAVA_MAX_TIME_EXCEEDED, 0x80044217, 8, "Maximum time for operation to complete exceeded.") \
    X(E_ZENTRAVA_RETURN_ERROR, 0x80044001, 9, "Fails to return, since no data is in buffer to return the result.") \
    X(S_IVI_SUCCESS, 0x00000000, 10, "Success.") \
    X(S_IVI_NSUP_ID_QUERY, 0x00047065, 11, "ID Query is not supported by this instrument.") \
    X(S_IVI_NSUP_RESET, 0x00047066, 12, "Reset is not supported by this instrument.") \
    X(S_IVI_NSUP_SELF_TEST, 0x00047067, 13, "Self test is not supported by this instrument.") \
    X(S_IVI_NSUP_ERROR_QUERY, 0x00047068, 14, "Error query is not supported by this instrument.") \
    X(S_IVI_NSUP_REV_QUERY, 0x00047069, 15, "Firmware revision query is not supported by this instrument.") \
    X(E_IVI_CANNOT_RECOVER, 0x80047000, 16, "Failure cannot recover.") \
    X(E_IVI_INSTRUMENT_STATUS, 0x80047001, 17, "Instrument error detected.  Use ErrorQuery() to determine the error(s).") \
    X(E_IVI_CANNOT_OPEN_FILE, 0x80047002, 18, "Cannot open file.") \
    X(E_IVI_READING_FILE, 0x80047003, 19, "Error reading file.") \
    X(E_IVI_WRITING_FILE, 0x80047004, 20, "Error writing file.") \
    X(E_IVI_INVALID_PATHNAME, 0x8004700B, 21, "The pathname is invalid.") \
    X(E_IVI_INVALID_VALUE, 0x80047010, 22, "Invalid value (%1) for method %2, parameter %3.") \
    X(E_IVI_METHOD_NOT_SUPPORTED, 0x80047011, 23, "Does not support this class-compliant feature: method %1") \
    X(E_IVI_PROPERTY_NOT_SUPPORTED, 0x80047012, 24, "Does not support this class-compliant feature: property %1.") \
    X(E_IVI_VALUE_NOT_SUPPORTED, 0x80047013, 25, "Does not support this class-compliant feature:  (enumeration) value %1 passed as the value for parameter %2 in method %3.") \
    X(E_IVI_NOT_INITIALIZED, 0x8004701D, 26, "A connection to the instrument has not been established.") \
    X(E_IVI_UNKNOWN_CHANNEL_NAME, 0x80047020, 27, "Unknown channel name.") \
    X(E_IVI_TOO_MANY_OPEN_FILES, 0x80047023, 28, "Too many files are open.") \
    X(E_IVI_CHANNEL_NAME_REQUIRED, 0x80047044, 29, "A channel name is required.") \
    X(E_IVI_MISSING_OPTION_NAME, 0x80047049, 30, "The option string is missing an option name.") \
    X(E_IVI_MISSING_OPTION_VALUE, 0x8004704A, 31, "The option string is missing an option value.") \
    X(E_IVI_BAD_OPTION_NAME, 0x8004704B, 32, "The %1 name in the option string is unknown.") \
    X(E_IVI_BAD_OPTION_VALUE, 0x8004704C, 33, "The %1 value in the option string is unknown.") \
    X(E_IVI_OUT_OF_MEMORY, 0x80047056, 34, "Could not allocate necessary memory.") \
    X(E_IVI_OPERATION_PENDING, 0x80047057, 35, "Operation in progress.") \
    X(E_IVI_NULL_POINTER, 0x80047058, 36, "Null pointer passed for method %1, parameter %2.") \
    X(E_IVI_UNEXPECTED_RESPONSE, 0x80047059, 37, "Unexpected response from instrument.") \
    X(E_IVI_FILE_NOT_FOUND, 0x8004705B, 38, "File not found.") \
    X(E_IVI_INVALID_FILE_FORMAT, 0x8004705C, 39, "Invalid file format.") \
    X(E_IVI_STATUS_NOT_AVAILABLE, 0x8004705D, 40, "The instrument status is not available.") \
    X(E_IVI_ID_QUERY_FAILED, 0x8004705E, 41, "Instrument ID query failed.") \
    X(E_IVI_RESET_FAILED, 0x8004705F, 42, "Instrument reset failed.") \
    X(E_IVI_RESOURCE_UNKNOWN, 0x80047060, 43, "Unknown resource.") \
    X(E_IVI_ALREADY_INITIALIZED, 0x80047061, 44, "The driver is already initialized.") \
    X(E_IVI_CANNOT_CHANGE_SIMULATION_STATE, 0x80047062, 45, "The simulation state cannot be changed.") \
    X(E_IVI_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR, 0x80047063, 46, "The number of levels in the selector is not valid for the %1 repeated capability.") \
    X(E_IVI_INVALID_RANGE_IN_SELECTOR, 0x80047064, 47, "The range %1 is not valid for the repeated capability %2.") \
    X(E_IVI_UNKNOWN_NAME_IN_SELECTOR, 0x80047065, 48, "Unknown name in selector.") \
    X(E_IVI_BADLY_FORMED_SELECTOR, 0x80047066, 49, "The repeated capability selector is badly-formed.") \
    X(E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER, 0x80047067, 50, "Unknown physical repeated capability selector.")
// clang-format on
