// Late-bound automation objects: created by programmatic identifier and used through IDispatch,
// by member name, as a scripting client would.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>
#include <vector>

namespace fw {

class AutoObject;

// One automation value (VARIANT), cleared on destruction.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    explicit Variant(int number);
    explicit Variant(const std::wstring& text);
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    ~Variant() { VariantClear(&value_); }

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }

    // True for no object: empty, null, or an object reference that is null.
    bool IsNothing() const;
    // The object held. Raises ObjectRequired when the value holds none.
    AutoObject AsObject() const;
    // The value as text. Raises PlatformCallFailed when it cannot be converted.
    std::wstring AsString() const;

  private:
    VARIANT value_;
};

// A reference to an automation object; released on destruction.
class AutoObject {
  public:
    explicit AutoObject(IDispatch* object);  // takes a reference of its own
    AutoObject(const AutoObject& other);
    AutoObject& operator=(const AutoObject& other);
    ~AutoObject();

    // Calls the method (or reads the property) `name` with `arguments` in call order.
    // Raises PlatformCallFailed when the object has no such member or the call fails.
    Variant Call(const std::wstring& name, const std::vector<Variant>& arguments = {}) const;
    // Reads the property `name`.
    Variant Get(const std::wstring& name) const;

  private:
    Variant Invoke(const std::wstring& name, WORD flags, const std::vector<Variant>& args) const;

    IDispatch* object_;
};

// Creates a new object of the class registered as `progId` (e.g. "Shell.Application") on the
// calling thread, which joins a single-threaded apartment first if it has none. Raises
// CannotCreateObject when the class is unknown or cannot be created.
AutoObject CreateObject(const std::wstring& progId);

}  // namespace fw
