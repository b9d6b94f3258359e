// Every resource the driver could open now, for C++ programs:
//
//     for (const auto& found : zentrava::list_resources())
//         std::printf("%s %s\n", found.resource.c_str(), found.identity.c_str());
//
// The options are those of Ztv_ListResources.
#pragma once

#include <string>
#include <vector>

#include "zentrava/Zentrava.h"

namespace zentrava {

struct ListedResource {
    std::string resource;
    std::string identity;  // the "*IDN?" reply; empty where none answered
};

inline std::vector<ListedResource> list_resources(const std::string& options = "") {
    std::string text(256, '\0');
    for (;;) {
        const ViStatus needed = Ztv_ListResources(options.c_str(), static_cast<ViInt32>(text.size()), text.data());
        if (needed <= 0) break;
        text.resize(static_cast<std::size_t>(needed));
    }
    text.resize(text.find('\0'));
    std::vector<ListedResource> resources;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const std::size_t tab = line.find('\t');
        resources.push_back({line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
    }
    return resources;
}

}  // namespace zentrava
