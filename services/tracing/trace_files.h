// Where a trace goes and which stylesheet it names.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace ztv {

// The trace file for a requested name: ".xml" is added unless the name
// already ends in it (any letter case), and a relative name is taken from
// the current directory. Without a requested name: <base>_<local time as
// %Y-%m-%d_%H-%M-%S>.xml in the current directory.
std::filesystem::path TraceFilePath(std::string_view requested, std::string_view baseName, std::time_t now);

// The folder that shipped components live in: $ZENTRAVA_COMPONENTS_DIR, else
// share/zentrava/components beside the driver library's folder (the build
// tree's own, or the install prefix's).
std::filesystem::path ComponentsFolder();

// The company folder under the components folder, and the one used when the
// company has none.
inline constexpr std::string_view kFrameworkComponentsFolder = "DriverFramework";

// The stylesheet a trace refers to, or empty when that file does not exist.
// A transform with a folder part is the stylesheet's path; a bare name (with
// ".xslt" added unless it has that extension), or "trace.xslt" when none is
// given, is looked up in <components>/<company>, or in
// <components>/DriverFramework when the company folder does not exist.
std::filesystem::path FindStylesheet(std::string_view transform, const std::filesystem::path& components,
                                     std::string_view company);

}  // namespace ztv
