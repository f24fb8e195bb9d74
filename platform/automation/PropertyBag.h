// The property bag in which a host keeps a control's persisted properties between sessions.
//
// Names compare without regard to case. WriteProperty with a default stores nothing when the
// value equals the default (the runtime's "="), and forgets an earlier stored value, so that a
// later ReadProperty returns the default again; ReadProperty returns the default for a name
// that holds nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/Variant.h"

namespace automation {

class PropertyBag {
  public:
    Variant ReadProperty(std::string_view name, const Variant& defaultValue = {}) const;
    void WriteProperty(std::string_view name, const Variant& value,
                       const std::optional<Variant>& defaultValue = std::nullopt);

    bool Contains(std::string_view name) const;
    // Stored properties in the order they were first written.
    const std::vector<std::pair<std::string, Variant>>& Properties() const noexcept {
        return properties_;
    }

  private:
    std::vector<std::pair<std::string, Variant>> properties_;
};

}  // namespace automation
