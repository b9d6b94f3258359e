// A registry kept in one file, standing in for the Windows registry: keys are
// backslash-separated paths (case-insensitive, case kept), each with named
// string values; the empty value name is the key's default value.
// Location: $ZENTRAVA_REGISTRY, else $XDG_CONFIG_HOME/zentrava/registry.xml,
// else $HOME/.config/zentrava/registry.xml. Every call reads and writes the
// file under an advisory lock, so several processes can share it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zentrava/com.h"

namespace reg {

enum class Hive { ClassesRoot, LocalMachine, CurrentUser };

std::string FilePath();

HRESULT CreateKey(Hive hive, std::string_view key);  // creates missing parents too
HRESULT SetString(Hive hive, std::string_view key, std::string_view valueName, std::string_view data);
std::optional<std::string> GetString(Hive hive, std::string_view key, std::string_view valueName);
bool KeyExists(Hive hive, std::string_view key);
std::vector<std::string> SubKeys(Hive hive, std::string_view key);
HRESULT DeleteValue(Hive hive, std::string_view key, std::string_view valueName);
// Deletes the key and everything below it; a missing key is S_FALSE.
HRESULT DeleteTree(Hive hive, std::string_view key);

}  // namespace reg
