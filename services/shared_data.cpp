#include "services/shared_data.h"

namespace ztv {

std::filesystem::path SharedDataFolderOf(const std::filesystem::path& library) {
    const std::filesystem::path folder = library.parent_path();
    const std::filesystem::path beside = folder.parent_path() / "share" / "zentrava";
    const std::filesystem::path multiarch = folder.parent_path().parent_path() / "share" / "zentrava";
    std::error_code ec;
    if (!std::filesystem::is_directory(beside, ec) && std::filesystem::is_directory(multiarch, ec)) return multiarch;
    return beside;
}

}  // namespace ztv
