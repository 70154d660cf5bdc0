// A late-bound automation object of the platform (an IIS or WinNT directory
// object, the FileSystemObject, an ASP intrinsic) seen through its IDispatch.
//
// Member names are resolved with GetIDsOfNames, so they match ignoring case
// as the object itself decides; the name "" is the default member
// (DISPID_VALUE). "Children" of an object that has no such
// member lists what For Each over the object yields (its _NewEnum), which is
// how the core enumerates directory containers.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "automation/dispatch.h"
#include "platform/win32/com_ptr.h"

namespace tarnwick::platform::win32 {

class DispatchObject : public automation::Dispatch {
public:
    explicit DispatchObject(ComPtr<IDispatch> object) : object_(std::move(object)) {}

    automation::Variant invoke(std::string_view name, automation::InvokeKind kind,
                               std::span<automation::Variant> args) override;

    IDispatch* dispatch() const { return object_.get(); }

private:
    automation::Variant enumerate();

    ComPtr<IDispatch> object_;
};

// The adapter for `object`; Empty-free: a null pointer gives a null ObjectRef.
automation::ObjectRef adapt(IDispatch* object);

}  // namespace tarnwick::platform::win32
