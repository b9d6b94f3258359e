// list, get and set: the driver's attributes by name.
#include <cstdio>
#include <memory>
#include <string>

#include "apps/text/number_text.h"
#include "apps/ztv/commands.h"
#include "apps/ztv/names.h"

namespace ztv_tool {

namespace {

bool Matches(const std::string& text, const std::string& upperPattern) {
    return upperPattern.empty() || Upper(text).find(upperPattern) != std::string::npos;
}

// Prints the names containing the pattern; exit status 1 when none does.
int List(const std::string& pattern, bool functions, bool enums) {
    const std::string upper = Upper(pattern);
    int shown = 0;
    if (functions) {
        for (const FunctionInfo& f : Functions()) {
            if (Matches(f.name, upper) && ++shown) std::printf("%s\n", f.prototype);
        }
    } else if (enums) {
        for (const EnumInfo& e : Enums()) {
            for (const EnumValueInfo& v : e.values) {
                if ((Matches(e.name, upper) || Matches(v.name, upper)) && ++shown)
                    std::printf("%-40s %-60s %ld\n", e.name, v.name, v.value);
            }
        }
    } else {
        for (const AttributeInfo& a : Attributes()) {
            if (!Matches(a.name, upper)) continue;
            if (shown++ == 0) std::printf("%-64s %-7s %-6s %s\n", "NAME", "TYPE", "ACCESS", "SCPI");
            const std::string type = a.enumIndex >= 0 ? Enums()[static_cast<std::size_t>(a.enumIndex)].name : a.type;
            std::printf("%-64s %-7s %-6s %s\n", a.name, type.c_str(), a.writable ? "RW" : "R", *a.scpi ? a.scpi : "-");
        }
    }
    if (shown > 0) return kExitOk;
    const char* kind = functions ? "function" : enums ? "enumeration" : "attribute";
    std::fprintf(stderr, "ztv: no %s matches %s\n", kind, pattern.c_str());
    return kExitFailed;
}

struct Target {
    std::string name;
    std::string selector;
    std::string app;
};

void AddTargetOptions(CLI::App* command, Target* target) {
    command->add_option("NAME", target->name, "attribute name without ZTV_ATTR_, any case")->required();
    command->add_option("-s,--selector", target->selector, "repeated capability, e.g. Measurement1:Marker1");
    command->add_option("--app", target->app, "application whose attribute NAME ends: " + AppNames());
}

// The attribute a target names; prints why not and gives nullptr otherwise.
const AttributeInfo* Resolve(const Target& target, int* exit) {
    const AppName* app = nullptr;
    if (!target.app.empty() && !(app = FindApp(target.app))) {
        *exit = UsageError("--app " + target.app + ": not an application (" + AppNames() + ")");
        return nullptr;
    }
    std::string error;
    const AttributeInfo* attribute = FindAttribute(target.name, app, &error);
    if (!attribute) *exit = UsageError(error);
    return attribute;
}

int Get(Session& session, const AttributeInfo& a, const std::string& selector) {
    const ViSession vi = session.vi();
    const std::string what = std::string("reading ") + a.name;
    const std::string type = a.type;
    if (type == "Real64") {
        ViReal64 v = 0;
        if (!session.Check(Ztv_GetAttributeViReal64(vi, selector.c_str(), static_cast<ViAttr>(a.id), &v), what))
            return kExitFailed;
        std::printf("%s\n", apptext::General(v, 15).c_str());
    } else if (type == "Boolean") {
        ViBoolean v = VI_FALSE;
        if (!session.Check(Ztv_GetAttributeViBoolean(vi, selector.c_str(), static_cast<ViAttr>(a.id), &v), what))
            return kExitFailed;
        std::printf("%s\n", v ? "true" : "false");
    } else if (type == "String") {
        char text[4096] = "";
        if (!session.Check(Ztv_GetAttributeViString(vi, selector.c_str(), static_cast<ViAttr>(a.id), sizeof text, text),
                           what)) {
            return kExitFailed;
        }
        std::printf("%s\n", text);
    } else {
        ViInt32 v = 0;
        if (!session.Check(Ztv_GetAttributeViInt32(vi, selector.c_str(), static_cast<ViAttr>(a.id), &v), what))
            return kExitFailed;
        std::printf("%s\n", type == "Enum" ? FormatEnum(a, v).c_str() : std::to_string(v).c_str());
    }
    return kExitOk;
}

int Set(Session& session, const AttributeInfo& a, const std::string& selector, const Value& value) {
    const ViSession vi = session.vi();
    const ViAttr id = static_cast<ViAttr>(a.id);
    const std::string type = a.type;
    ViStatus status;
    if (type == "Real64")
        status = Ztv_SetAttributeViReal64(vi, selector.c_str(), id, value.real);
    else if (type == "Boolean")
        status = Ztv_SetAttributeViBoolean(vi, selector.c_str(), id, value.integer ? VI_TRUE : VI_FALSE);
    else if (type == "String")
        status = Ztv_SetAttributeViString(vi, selector.c_str(), id, value.text.c_str());
    else
        status = Ztv_SetAttributeViInt32(vi, selector.c_str(), id, static_cast<ViInt32>(value.integer));
    return session.Check(status, std::string("setting ") + a.name) ? kExitOk : kExitFailed;
}

}  // namespace

Runner AddList(CLI::App& parent) {
    CLI::App* command = parent.add_subcommand("list", "list the driver's attributes, functions or enumerations");
    auto pattern = std::make_shared<std::string>();
    auto functions = std::make_shared<bool>(false), enums = std::make_shared<bool>(false);
    command->add_option("PATTERN", *pattern, "show only names containing this text, any case");
    CLI::Option* f = command->add_flag("--functions", *functions, "list the functions with their parameters");
    command->add_flag("--enums", *enums, "list the enumerations and their values")->excludes(f);
    return [=] { return List(*pattern, *functions, *enums); };
}

Runner AddGet(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("get", "read an attribute");
    auto target = std::make_shared<Target>();
    AddTargetOptions(command, target.get());
    return [=, &globals] {
        int exit = kExitOk;
        const AttributeInfo* a = Resolve(*target, &exit);
        if (!a) return exit;
        return WithSession(globals, [&](Session& s) { return Get(s, *a, target->selector); });
    };
}

Runner AddSet(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("set", "write an attribute");
    auto target = std::make_shared<Target>();
    auto value = std::make_shared<std::string>();
    AddTargetOptions(command, target.get());
    command->add_option("VALUE", *value, "number, true/false/on/off/1/0, or a value name without ZTV_VAL_")->required();
    return [=, &globals] {
        int exit = kExitOk;
        const AttributeInfo* a = Resolve(*target, &exit);
        if (!a) return exit;
        if (!a->writable) return UsageError(std::string("NAME ") + a->name + ": read-only");
        std::string error;
        const std::optional<Value> parsed = ParseValue(*a, *value, &error);
        if (!parsed) return UsageError(error);
        return WithSession(globals, [&](Session& s) { return Set(s, *a, target->selector, *parsed); });
    };
}

}  // namespace ztv_tool
