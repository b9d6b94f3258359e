// snapshot: every setting of the instrument as JSON, and back again.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"

namespace ztv_tool {

namespace {

int Take(Session& s, const std::string& out) {
    std::string json;
    if (!TakeSnapshot(s, &json)) return kExitFailed;
    if (out.empty()) {
        std::fputs(json.c_str(), stdout);
        return kExitOk;
    }
    std::ofstream file(out, std::ios::binary);
    if (!(file << json) || !file.flush()) {
        std::fprintf(stderr, "ztv: cannot write %s\n", out.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

bool TakeSnapshot(Session& s, std::string* json, const std::string& prefix) {
    std::vector<ViChar> text(1 << 20);
    ViStatus status = Ztv_Snapshot(s.vi(), prefix.c_str(), static_cast<ViInt32>(text.size()), text.data());
    if (status > 0 && static_cast<std::size_t>(status) > text.size()) {
        text.resize(static_cast<std::size_t>(status) * 2);  // settings read anew may have grown
        status = Ztv_Snapshot(s.vi(), prefix.c_str(), static_cast<ViInt32>(text.size()), text.data());
    }
    if (!s.Check(status, "taking a snapshot")) return false;
    *json = text.data();
    return true;
}

std::optional<std::vector<std::string>> ResultContext(Session& s, const std::string& prefix) {
    std::string text;
    if (!TakeSnapshot(s, &text, prefix)) return std::nullopt;
    const nlohmann::ordered_json snapshot = nlohmann::ordered_json::parse(text);
    auto plain = [](const nlohmann::ordered_json& value) {
        return value.is_string() ? value.get<std::string>() : value.dump();
    };
    std::string identity;
    for (const auto& [field, value] : snapshot["identity"].items()) {
        identity += (identity.empty() ? "" : ", ") + field + " " + plain(value);
    }
    std::vector<std::string> lines{"identity: " + identity, "resource: " + plain(snapshot["resource"]),
                                   "time: " + plain(snapshot["time"])};
    for (const auto& [key, value] : snapshot["settings"].items()) lines.push_back(key + ": " + plain(value));
    return lines;
}

int RestoreSnapshot(Session& s, const std::string& json) {
    ViInt32 refused = 0;
    std::vector<ViChar> report(1 << 20);
    if (!s.Check(
            Ztv_RestoreSnapshot(s.vi(), json.c_str(), static_cast<ViInt32>(report.size()), report.data(), &refused),
            "restoring the snapshot")) {
        return kExitFailed;
    }
    std::fputs(report.data(), stderr);
    if (refused == 0) return kExitOk;
    std::fprintf(stderr, "ztv: %d setting%s refused\n", static_cast<int>(refused), refused == 1 ? "" : "s");
    return kExitFailed;
}

Runner AddSnapshot(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("snapshot", "save every setting as JSON, or restore one saved");
    auto out = std::make_shared<std::string>(), restore = std::make_shared<std::string>();
    CLI::Option* o = command->add_option("-o,--output", *out, "write the snapshot to FILE, not to standard output");
    command->add_option("--restore", *restore, "write the settings of FILE back to the instrument")
        ->check(CLI::ExistingFile)
        ->excludes(o);
    return [=, &globals] {
        if (restore->empty()) return WithSession(globals, [&](Session& s) { return Take(s, *out); });
        std::ifstream file(*restore, std::ios::binary);
        std::stringstream json;
        json << file.rdbuf();
        return WithSession(globals, [&](Session& s) { return RestoreSnapshot(s, json.str()); });
    };
}

}  // namespace ztv_tool
