// An object of the system offered to COM callers through IDispatch: a
// script, or another component, calls its members by name. Names get DISPIDs
// as they are asked for (ignoring case); a property put, a property get and
// a method call reach the object's invoke with the matching kind; For Each
// (DISPID_NEWENUM) walks its "Children". Arguments passed by reference are
// written back after the call. An AutomationError becomes DISP_E_EXCEPTION
// with its number as HRESULT (0x800A0000 | n for a small number).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "automation/dispatch.h"

namespace tarnwick::platform::win32 {

class CoreObject final : public IDispatch {
public:
    // Returns the new object with one reference, owned by the caller.
    static IDispatch* create(automation::ObjectRef object, std::wstring source);
    // The system's object behind `dispatch` when it is a CoreObject made by this
    // module, else nullptr.
    static automation::ObjectRef unwrap(IDispatch* dispatch);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    CoreObject(automation::ObjectRef object, std::wstring source)
        : object_(std::move(object)), source_(std::move(source)) {}
    ~CoreObject() = default;
    HRESULT call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result);

    LONG references_ = 1;
    automation::ObjectRef object_;
    std::wstring source_;
    std::vector<std::string> names_;  // DISPID n is names_[n - 1]
};

}  // namespace tarnwick::platform::win32
