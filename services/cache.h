// The per-node value cache: one typed slot per property key, used by
// simulated properties to answer the last value written.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>

#include "zentrava/com.h"

namespace ztv {

class CCacheManager {
public:
    bool Get(std::string_view key, VARIANT_BOOL* out) const { return GetAs(key, out); }
    bool Get(std::string_view key, LONG* out) const { return GetAs(key, out); }
    bool Get(std::string_view key, double* out) const { return GetAs(key, out); }
    bool Get(std::string_view key, BSTR* out) const;  // a fresh copy the caller owns

    void Set(std::string_view key, VARIANT_BOOL value) { Store(key, value); }
    void Set(std::string_view key, LONG value) { Store(key, value); }
    void Set(std::string_view key, double value) { Store(key, value); }
    void Set(std::string_view key, const OLECHAR* value);

    bool IsValid(std::string_view key) const;
    void InvalidateAll();  // this node only; the node walks its children

private:
    using Value = std::variant<std::monostate, VARIANT_BOOL, LONG, double, std::u16string>;

    template <class T>
    bool GetAs(std::string_view key, T* out) const {
        auto it = slots_.find(key);
        if (it == slots_.end()) return false;
        const T* value = std::get_if<T>(&it->second);
        if (!value) return false;
        *out = *value;
        return true;
    }
    template <class T>
    void Store(std::string_view key, T value) {
        auto it = slots_.find(key);
        if (it == slots_.end()) it = slots_.emplace(std::string(key), Value{}).first;
        it->second = value;
    }

    // An invalid slot holds monostate; slots live as long as the node.
    std::map<std::string, Value, std::less<>> slots_;
};

}  // namespace ztv
