// Shared by the QzXML tests: a throw-away machine and the error an expression raises.
#pragma once

#include <functional>
#include <string>

#include "platform/automation/Errors.h"

namespace xmltest {

// The automation error number raised by `body`, or 0 when it raised none.
inline std::int32_t ErrorOf(const std::function<void()>& body, std::string* description = nullptr) {
    try {
        body();
    } catch (const automation::Error& e) {
        if (description != nullptr) {
            *description = e.Description();
        }
        return e.Number();
    }
    return 0;
}

inline std::int32_t XmlError(std::int32_t code) {
    return automation::vbObjectError + code;
}

}  // namespace xmltest
