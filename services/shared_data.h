// Where the driver library finds the files installed with it (the type
// library, the trace stylesheets).
#pragma once

#include <filesystem>

namespace ztv {

// share/zentrava under the prefix of the library file `library`. The library
// lies in <prefix>/lib (so does a build tree's), or one folder deeper in a
// multiarch folder such as <prefix>/lib/x86_64-linux-gnu, where Debian
// packages install it. The first of the two whose share/zentrava exists;
// <prefix>/lib's when neither does.
std::filesystem::path SharedDataFolderOf(const std::filesystem::path& library);

}  // namespace ztv
