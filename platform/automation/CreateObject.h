// CreateObject(progId): objects by class name, as the runtime created registered components.
//
// A library registers its classes with a static ProgIDRegistration object in one of its source
// files; the registration runs when the library is loaded, so a program that creates objects by
// name links the libraries that provide them. ProgIDs compare without regard to case.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/Errors.h"
#include "platform/automation/Object.h"

namespace automation {

// A factory returns the new object, or nullptr when the class cannot be created on this host
// (CreateObject then raises 429 as for an unknown class).
using ObjectFactory = std::function<std::shared_ptr<Object>()>;

// Registers (or replaces) the factory of a ProgID.
void RegisterProgID(std::string progId, ObjectFactory factory);
void UnregisterProgID(std::string_view progId);
bool IsProgIDRegistered(std::string_view progId);

// Raises run-time error 429 "ActiveX component can't create object" for an unknown ProgID.
std::shared_ptr<Object> CreateObject(std::string_view progId);

// CreateObject into a typed reference; raises 13 (Type mismatch) when the object is another
// class.
template <class T>
std::shared_ptr<T> CreateObjectAs(std::string_view progId) {
    auto typed = std::dynamic_pointer_cast<T>(CreateObject(progId));
    if (!typed) {
        Raise(TypeMismatch);
    }
    return typed;
}

class ProgIDRegistration {
  public:
    ProgIDRegistration(std::string progId, ObjectFactory factory);
};

}  // namespace automation
