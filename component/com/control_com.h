// Class Control as a COM object: the dual interface _Control, whose IDispatch
// half goes through the type library (DispInvoke) to the vtable methods, each
// of which converts its VARIANTs and calls the same Control as the native
// build. An automation error raised by a member returns its HRESULT
// (0x800A0000 | n for a small number n) with error information describing it.
#pragma once

#include <windows.h>
#include <optional>
#include <oaidl.h>
#include <ocidl.h>

#include "Tarnwick.h"
#include "component/control.h"
#include "platform/win32/com_ptr.h"

namespace tarnwick::com {

class ControlCom final : public _Control, public ISupportErrorInfo, public IProvideClassInfo {
public:
    // Makes a new object and asks it for `iid`.
    static HRESULT create(REFIID iid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // ISupportErrorInfo, IProvideClassInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

    // _Control
    STDMETHODIMP get_IsChkUser(VARIANT_BOOL* result) override;
    STDMETHODIMP put_IsChkUser(VARIANT_BOOL value) override;
    STDMETHODIMP get_System(VARIANT* result) override;
    STDMETHODIMP put_System(VARIANT value) override;
    STDMETHODIMP get_ShowIP(VARIANT* result) override;
    STDMETHODIMP put_ShowIP(VARIANT value) override;
    STDMETHODIMP OnStartPage(IScriptingContext** PassedScriptingContext) override;
    STDMETHODIMP OnEndPage() override;
    STDMETHODIMP ChkUser(VARIANT* result) override;
    STDMETHODIMP ShowErr(VARIANT Str, VARIANT* result) override;
    STDMETHODIMP CreateSite(VARIANT HostUser, VARIANT HostPath, VARIANT HostDomain, VARIANT HostIIS,
                            VARIANT HostBand, VARIANT HostPool, VARIANT HostDoc,
                            VARIANT* result) override;
    STDMETHODIMP ModifySite(VARIANT SiteSN, VARIANT NewDomain, VARIANT NewBand, VARIANT NewIIS,
                            VARIANT NewDoc, VARIANT UserName, VARIANT_BOOL* result) override;
    STDMETHODIMP DefaultDoc(VARIANT* SiteNum, VARIANT* Doc, VARIANT_BOOL* result) override;
    STDMETHODIMP DeleteSite(VARIANT SiteNum, VARIANT SitePath, VARIANT_BOOL* result) override;
    STDMETHODIMP SiteStatus(VARIANT SiteNum, VARIANT DoWhat, VARIANT_BOOL* result) override;
    STDMETHODIMP Computer(VARIANT* result) override;
    STDMETHODIMP ChkFolder(VARIANT sFolder, VARIANT_BOOL* result) override;
    STDMETHODIMP AddUserToGroup(VARIANT strUsername, VARIANT strGroupname,
                                VARIANT_BOOL* result) override;
    STDMETHODIMP CreateNtUser(VARIANT UserName, VARIANT PassWord, VARIANT FullName, VARIANT Info,
                              VARIANT* result) override;
    STDMETHODIMP DeleteNtUser(VARIANT UserName, VARIANT* result) override;
    STDMETHODIMP RndStr(VARIANT StrLen, VARIANT* result) override;
    STDMETHODIMP GetNtPass(VARIANT* result) override;
    STDMETHODIMP CreatePool(VARIANT AppName, VARIANT* result) override;
    STDMETHODIMP login(VARIANT ologinuser, VARIANT ologinpass, VARIANT oadmin_user,
                       VARIANT* result) override;
    STDMETHODIMP logout(VARIANT* result) override;
    STDMETHODIMP IsAdmin(VARIANT* result) override;
    STDMETHODIMP GetCache(VARIANT* result) override;

private:
    ControlCom();
    ~ControlCom();

    // What the page last assigned to System or ShowIP, kept as the VARIANT it
    // gave: the core works with the converted value, and the page reads back
    // exactly what it assigned (a Date stays a Date, an object the same object).
    struct AssignedValue {
        platform::win32::VariantValue given;
        std::optional<automation::Variant> converted;
    };
    template <class Set>
    HRESULT assign(AssignedValue& kept, const VARIANT& value, Set&& set);
    static HRESULT readBack(const AssignedValue& kept, const automation::Variant& current,
                            VARIANT* result);

    LONG references_ = 1;
    component::Control control_;
    AssignedValue system_;
    AssignedValue showIp_;
};

}  // namespace tarnwick::com
