// Common base of every object that crosses the automation boundary: controls, the platform's
// objects created by ProgID, anything a Variant holds as an object reference. Objects live in
// std::shared_ptr, as the old reference-counted objects did.
#pragma once

namespace automation {

class Object {
  public:
    virtual ~Object();

  protected:
    Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
};

}  // namespace automation
