#include "component/com/control_com.h"

#include <new>

#include "automation/error.h"
#include "component/members.h"
#include "component/com/server.h"
#include "platform/win32/asp_context.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"
#include "platform/win32/services.h"

namespace tarnwick::com {

namespace win32 = platform::win32;
using automation::AutomationError;
using automation::Variant;
using win32::ComPtr;

namespace {

const wchar_t kSource[] = L"Tarnwick.Control";

// Records the error for the caller's IErrorInfo and returns its HRESULT.
HRESULT reportError(const AutomationError& error) {
    HRESULT hr = automation::hresultOf(error.number());
    ComPtr<ICreateErrorInfo> creator;
    if (SUCCEEDED(CreateErrorInfo(creator.put()))) {
        creator->SetGUID(IID__Control);
        creator->SetSource(const_cast<LPOLESTR>(kSource));
        auto description = win32::toWide(error.description());
        creator->SetDescription(description.data());
        auto info = creator.query<IErrorInfo>(IID_IErrorInfo);
        if (info) SetErrorInfo(0, info.get());
    }
    return hr;
}

// Runs one member: its automation errors become HRESULTs with error info.
template <class Body>
HRESULT member(Body&& body) {
    try {
        body();
        return S_OK;
    } catch (const AutomationError& error) {
        return reportError(error);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        return reportError(AutomationError(automation::errors::kUnexpected, error.what()));
    }
}

Variant in(const VARIANT& value) { return win32::fromVariant(value); }

// A method's argument as the method receives it: an object as the value of its
// default member (a form field's text, a record field's value).
Variant argument(const VARIANT& value) { return component::argumentValue(in(value)); }

HRESULT setResult(VARIANT* result, const Variant& value) {
    if (!result) return E_POINTER;
    win32::toVariant(value, result);
    return S_OK;
}

HRESULT setResult(VARIANT_BOOL* result, bool value) {
    if (!result) return E_POINTER;
    *result = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// A member with a result: the out-pointer is checked and cleared before the
// call, so a failing call leaves Empty (or False) in it.
template <class Result, class Body>
HRESULT withResult(Result* result, Body&& body) {
    if (!result) return E_POINTER;
    if constexpr (std::is_same_v<Result, VARIANT>) {
        VariantInit(result);
    } else {
        *result = VARIANT_FALSE;
    }
    HRESULT hr = S_OK;
    HRESULT status = member([&] { hr = setResult(result, body()); });
    return FAILED(status) ? status : hr;
}

}  // namespace

ControlCom::ControlCom() : control_(win32::makeServices()) { objectCreated(); }
ControlCom::~ControlCom() { objectDestroyed(); }

HRESULT ControlCom::create(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ControlCom* object = nullptr;
    try {
        object = new ControlCom();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

STDMETHODIMP ControlCom::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Control) {
        *out = static_cast<_Control*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else if (iid == IID_IProvideClassInfo) {
        *out = static_cast<IProvideClassInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ControlCom::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) ControlCom::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP ControlCom::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP ControlCom::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return controlInterfaceInfo(info);
}

STDMETHODIMP ControlCom::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ComPtr<ITypeInfo> info;
    HRESULT hr = controlInterfaceInfo(info.put());
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.get(), names, count, ids);
}

STDMETHODIMP ControlCom::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    HRESULT hr = controlInterfaceInfo(info.put());
    if (FAILED(hr)) return hr;
    SetErrorInfo(0, nullptr);
    // Keeps the object alive through a member that ends the page.
    ComPtr<IUnknown> self = ComPtr<IUnknown>::share(static_cast<_Control*>(this));
    return DispInvoke(static_cast<_Control*>(this), info.get(), id, flags, params, result,
                      exception, argumentError);
}

STDMETHODIMP ControlCom::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__Control ? S_OK : S_FALSE;
}

STDMETHODIMP ControlCom::GetClassInfo(ITypeInfo** info) { return controlClassInfo(info); }

STDMETHODIMP ControlCom::get_IsChkUser(VARIANT_BOOL* result) {
    return withResult(result, [&] { return control_.IsChkUser(); });
}

STDMETHODIMP ControlCom::put_IsChkUser(VARIANT_BOOL value) {
    return member([&] { control_.putIsChkUser(value != VARIANT_FALSE); });
}

template <class Set>
HRESULT ControlCom::assign(AssignedValue& kept, const VARIANT& value, Set&& set) {
    return member([&] {
        Variant converted = in(value);
        win32::VariantValue copy;
        HRESULT hr = VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value));
        if (FAILED(hr)) automation::raise(win32::errorNumberOf(hr));
        set(converted);
        VariantClear(kept.given.get());
        copy.moveTo(kept.given.get());
        kept.converted = std::move(converted);
    });
}

HRESULT ControlCom::readBack(const AssignedValue& kept, const Variant& current, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    if (kept.converted && *kept.converted == current) {
        return VariantCopy(result, const_cast<VARIANT*>(kept.given.get()));
    }
    return member([&] { win32::toVariant(current, result); });
}

STDMETHODIMP ControlCom::get_System(VARIANT* result) {
    return readBack(system_, control_.System(), result);
}

STDMETHODIMP ControlCom::put_System(VARIANT value) {
    return assign(system_, value, [&](const Variant& v) { control_.putSystem(v); });
}

STDMETHODIMP ControlCom::get_ShowIP(VARIANT* result) {
    return readBack(showIp_, control_.ShowIP(), result);
}

STDMETHODIMP ControlCom::put_ShowIP(VARIANT value) {
    return assign(showIp_, value, [&](const Variant& v) { control_.putShowIP(v); });
}

STDMETHODIMP ControlCom::OnStartPage(IScriptingContext** PassedScriptingContext) {
    return member([&] {
        IUnknown* context = PassedScriptingContext ? *PassedScriptingContext : nullptr;
        control_.OnStartPage(context ? win32::scriptingContextOf(context) : nullptr);
    });
}

STDMETHODIMP ControlCom::OnEndPage() {
    return member([&] { control_.OnEndPage(); });
}

STDMETHODIMP ControlCom::ChkUser(VARIANT* result) {
    return withResult(result, [&] { return control_.ChkUser(); });
}

STDMETHODIMP ControlCom::ShowErr(VARIANT Str, VARIANT* result) {
    return withResult(result, [&] { return control_.ShowErr(argument(Str)); });
}

STDMETHODIMP ControlCom::CreateSite(VARIANT HostUser, VARIANT HostPath, VARIANT HostDomain,
                                    VARIANT HostIIS, VARIANT HostBand, VARIANT HostPool,
                                    VARIANT HostDoc, VARIANT* result) {
    return withResult(result, [&] {
        return control_.CreateSite(argument(HostUser), argument(HostPath), argument(HostDomain),
                                   argument(HostIIS), argument(HostBand), argument(HostPool),
                                   argument(HostDoc));
    });
}

STDMETHODIMP ControlCom::ModifySite(VARIANT SiteSN, VARIANT NewDomain, VARIANT NewBand,
                                    VARIANT NewIIS, VARIANT NewDoc, VARIANT UserName,
                                    VARIANT_BOOL* result) {
    return withResult(result, [&] {
        return control_.ModifySite(argument(SiteSN), argument(NewDomain), argument(NewBand),
                                   argument(NewIIS), argument(NewDoc), argument(UserName));
    });
}

STDMETHODIMP ControlCom::DefaultDoc(VARIANT* SiteNum, VARIANT* Doc, VARIANT_BOOL* result) {
    if (!SiteNum || !Doc) return E_POINTER;
    return withResult(result, [&] {
        // Passed by reference, and never changed: the caller's variables keep
        // their values and their types, an object stays the caller's object.
        Variant siteNum = argument(*SiteNum);
        Variant doc = argument(*Doc);
        return control_.DefaultDoc(siteNum, doc);
    });
}

STDMETHODIMP ControlCom::DeleteSite(VARIANT SiteNum, VARIANT SitePath, VARIANT_BOOL* result) {
    return withResult(result,
                      [&] { return control_.DeleteSite(argument(SiteNum), argument(SitePath)); });
}

STDMETHODIMP ControlCom::SiteStatus(VARIANT SiteNum, VARIANT DoWhat, VARIANT_BOOL* result) {
    return withResult(result,
                      [&] { return control_.SiteStatus(argument(SiteNum), argument(DoWhat)); });
}

STDMETHODIMP ControlCom::Computer(VARIANT* result) {
    return withResult(result, [&] { return control_.Computer(); });
}

STDMETHODIMP ControlCom::ChkFolder(VARIANT sFolder, VARIANT_BOOL* result) {
    return withResult(result, [&] { return control_.ChkFolder(argument(sFolder)); });
}

STDMETHODIMP ControlCom::AddUserToGroup(VARIANT strUsername, VARIANT strGroupname,
                                        VARIANT_BOOL* result) {
    return withResult(result, [&] {
        return control_.AddUserToGroup(argument(strUsername), argument(strGroupname));
    });
}

STDMETHODIMP ControlCom::CreateNtUser(VARIANT UserName, VARIANT PassWord, VARIANT FullName,
                                      VARIANT Info, VARIANT* result) {
    return withResult(result, [&] {
        return control_.CreateNtUser(argument(UserName), argument(PassWord), argument(FullName),
                                     argument(Info));
    });
}

STDMETHODIMP ControlCom::DeleteNtUser(VARIANT UserName, VARIANT* result) {
    return withResult(result, [&] { return control_.DeleteNtUser(argument(UserName)); });
}

STDMETHODIMP ControlCom::RndStr(VARIANT StrLen, VARIANT* result) {
    return withResult(result, [&] { return control_.RndStr(argument(StrLen)); });
}

STDMETHODIMP ControlCom::GetNtPass(VARIANT* result) {
    return withResult(result, [&] { return control_.GetNtPass(); });
}

STDMETHODIMP ControlCom::CreatePool(VARIANT AppName, VARIANT* result) {
    return withResult(result, [&] { return control_.CreatePool(argument(AppName)); });
}

STDMETHODIMP ControlCom::login(VARIANT ologinuser, VARIANT ologinpass, VARIANT oadmin_user,
                               VARIANT* result) {
    return withResult(result, [&] {
        return control_.login(argument(ologinuser), argument(ologinpass), argument(oadmin_user));
    });
}

STDMETHODIMP ControlCom::logout(VARIANT* result) {
    return withResult(result, [&] { return control_.logout(); });
}

STDMETHODIMP ControlCom::IsAdmin(VARIANT* result) {
    return withResult(result, [&] { return control_.IsAdmin(); });
}

STDMETHODIMP ControlCom::GetCache(VARIANT* result) {
    return withResult(result, [&] { return control_.GetCache(); });
}

}  // namespace tarnwick::com
