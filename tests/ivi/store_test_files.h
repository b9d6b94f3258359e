// Store files for the configuration store tests, written into a private
// folder under $ZENTRAVA_TEST_TMP (or the system temp folder).
#pragma once

#include <string>
#include <string_view>

namespace ivi_test {

// Writes text to a new file in this process's test folder; returns its path.
std::string WriteStoreFile(std::string_view fileName, std::string_view text);

// A path in the test folder where no file exists.
std::string MissingStorePath();

}  // namespace ivi_test
