#include "framework/win/automation.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <string>

#include "framework/errors.h"

namespace fw {

namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// The interface identifiers as constants of this file: the system's import library of them
// (uuid) would bring a few thousand of their neighbours into the program.
constexpr IID kNoInterface{};  // IID_NULL
const IID kDispatch = __uuidof(IDispatch);

void JoinApartment() {
    // Joining again is harmless (S_FALSE, or RPC_E_CHANGED_MODE for a thread already in the
    // multi-threaded apartment, where the object works as well). The apartment lives as long as
    // the thread: it is never left.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

}  // namespace

Variant::Variant(int number) {
    VariantInit(&value_);
    value_.vt = VT_I4;
    value_.lVal = number;
}

Variant::Variant(const std::wstring& text) {
    VariantInit(&value_);
    value_.vt = VT_BSTR;
    value_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value_.bstrVal) Raise(ErrorCode::OutOfMemory);
}

Variant::Variant(const Variant& other) {
    VariantInit(&value_);
    if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&other.value_)))) {
        Raise(ErrorCode::OutOfMemory);
    }
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        VariantClear(&value_);
        if (FAILED(VariantCopy(&value_, const_cast<VARIANT*>(&other.value_)))) {
            Raise(ErrorCode::OutOfMemory);
        }
    }
    return *this;
}

bool Variant::IsNothing() const {
    switch (value_.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_DISPATCH:
            return value_.pdispVal == nullptr;
        case VT_UNKNOWN:
            return value_.punkVal == nullptr;
        default:
            return false;
    }
}

AutoObject Variant::AsObject() const {
    IDispatch* object = nullptr;
    if (value_.vt == VT_DISPATCH) {
        object = value_.pdispVal;
    } else if (value_.vt == VT_UNKNOWN && value_.punkVal) {
        IDispatch* queried = nullptr;
        if (SUCCEEDED(
                value_.punkVal->QueryInterface(kDispatch, reinterpret_cast<void**>(&queried)))) {
            AutoObject result(queried);
            queried->Release();
            return result;
        }
    }
    if (!object) Raise(ErrorCode::ObjectRequired);
    return AutoObject(object);
}

std::wstring Variant::AsString() const {
    Variant copy;
    if (FAILED(VariantChangeType(copy.Get(), const_cast<VARIANT*>(&value_), 0, VT_BSTR))) {
        Raise(ErrorCode::PlatformCallFailed, "value is not text");
    }
    const BSTR text = copy.Get()->bstrVal;
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

AutoObject::AutoObject(IDispatch* object) : object_(object) {
    if (!object_) Raise(ErrorCode::ObjectRequired);
    object_->AddRef();
}

AutoObject::AutoObject(const AutoObject& other) : object_(other.object_) {
    object_->AddRef();
}

AutoObject& AutoObject::operator=(const AutoObject& other) {
    other.object_->AddRef();
    object_->Release();
    object_ = other.object_;
    return *this;
}

AutoObject::~AutoObject() {
    object_->Release();
}

Variant AutoObject::Call(const std::wstring& name, const std::vector<Variant>& arguments) const {
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments);
}

Variant AutoObject::Get(const std::wstring& name) const {
    return Invoke(name, DISPATCH_PROPERTYGET, {});
}

Variant AutoObject::Invoke(const std::wstring& name, WORD flags,
                           const std::vector<Variant>& args) const {
    std::wstring member = name;
    LPOLESTR names[] = {member.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object_->GetIDsOfNames(kNoInterface, names, 1, LOCALE_USER_DEFAULT, &id))) {
        Raise(ErrorCode::PlatformCallFailed, ("no member " + Narrow(name)).c_str());
    }
    // IDispatch takes the arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    std::for_each(args.rbegin(), args.rend(),
                  [&](const Variant& v) { reversed.push_back(*v.Get()); });
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = object_->Invoke(id, kNoInterface, LOCALE_USER_DEFAULT, flags, &params,
                                       result.Get(), &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) Raise(ErrorCode::PlatformCallFailed, ("call of " + Narrow(name)).c_str());
    return result;
}

AutoObject CreateObject(const std::wstring& progId) {
    JoinApartment();
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) {
        Raise(ErrorCode::CannotCreateObject, Narrow(progId).c_str());
    }
    IDispatch* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, kDispatch,
                                reinterpret_cast<void**>(&object))) ||
        !object) {
        Raise(ErrorCode::CannotCreateObject, Narrow(progId).c_str());
    }
    AutoObject result(object);
    object->Release();
    return result;
}

}  // namespace fw
