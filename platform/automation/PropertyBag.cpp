#include "platform/automation/PropertyBag.h"

#include <algorithm>

#include "platform/automation/Text.h"

namespace automation {

Variant PropertyBag::ReadProperty(std::string_view name, const Variant& defaultValue) const {
    for (const auto& [stored, value] : properties_) {
        if (EqualsIgnoreCase(stored, name)) {
            return value;
        }
    }
    return defaultValue;
}

void PropertyBag::WriteProperty(std::string_view name, const Variant& value,
                                const std::optional<Variant>& defaultValue) {
    const auto found = std::find_if(properties_.begin(), properties_.end(),
                                    [&](const auto& p) { return EqualsIgnoreCase(p.first, name); });
    if (defaultValue && EqualValues(value, *defaultValue)) {
        if (found != properties_.end()) {
            properties_.erase(found);
        }
        return;
    }
    if (found != properties_.end()) {
        found->second = value;
    } else {
        properties_.emplace_back(std::string(name), value);
    }
}

bool PropertyBag::Contains(std::string_view name) const {
    return std::any_of(properties_.begin(), properties_.end(),
                       [&](const auto& p) { return EqualsIgnoreCase(p.first, name); });
}

}  // namespace automation
