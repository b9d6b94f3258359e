#include "services/cache.h"

namespace ztv {

bool CCacheManager::Get(std::string_view key, BSTR* out) const {
    std::u16string value;
    if (!GetAs(key, &value)) return false;
    *out = SysAllocStringLen(value.data(), static_cast<unsigned>(value.size()));
    return true;
}

void CCacheManager::Set(std::string_view key, const OLECHAR* value) { Store(key, std::u16string(BstrView(value))); }

bool CCacheManager::IsValid(std::string_view key) const {
    auto it = slots_.find(key);
    return it != slots_.end() && !std::holds_alternative<std::monostate>(it->second);
}

void CCacheManager::InvalidateAll() {
    for (auto& [key, value] : slots_) value = std::monostate{};
}

}  // namespace ztv
