// Compares the type library embedded in Tarnwick.dll with the member table
// of component/members.cpp: identities, flags, and each entry's slot, DISPID,
// kind, name, parameter names and passing, and result type.
//   typelib_check.exe C:\path\Tarnwick.dll
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "component/members.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"

namespace {
namespace win32 = tarnwick::platform::win32;
namespace component = tarnwick::component;
int g_failures = 0;

void check(bool holds, const std::string& what) {
    if (!holds) {
        ++g_failures;
        std::printf("FAIL: %s\n", what.c_str());
    }
}

std::string guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return win32::toUtf8(text);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    CoInitialize(nullptr);
    {
        win32::ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(argv[1], REGKIND_NONE, library.put()))) {
            std::printf("FAIL: no type library in the DLL\n");
            return 1;
        }
        TLIBATTR* libAttr = nullptr;
        library->GetLibAttr(&libAttr);
        check(guidText(libAttr->guid) == component::kLibId, "LIBID");
        check(libAttr->wMajorVerNum == component::kTypeLibraryMajor &&
                  libAttr->wMinorVerNum == component::kTypeLibraryMinor,
              "library version");
        check(libAttr->lcid == 0, "library locale neutral");
        library->ReleaseTLibAttr(libAttr);
        win32::Bstr name;
        library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr);
        check(win32::toUtf8(name.view()) == component::kTypeLibraryName, "library name");

        CLSID clsid;
        CLSIDFromString(win32::toWide(component::kClsidControl).c_str(), &clsid);
        win32::ComPtr<ITypeInfo> coclass;
        check(SUCCEEDED(library->GetTypeInfoOfGuid(clsid, coclass.put())), "coclass Control");
        if (coclass) {
            TYPEATTR* attr = nullptr;
            coclass->GetTypeAttr(&attr);
            check((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, "Control is creatable");
            coclass->ReleaseTypeAttr(attr);
        }

        IID iid;
        IIDFromString(win32::toWide(component::kIidControl).c_str(), &iid);
        win32::ComPtr<ITypeInfo> dispatchInfo, info;
        HREFTYPE vtable = 0;
        check(SUCCEEDED(library->GetTypeInfoOfGuid(iid, dispatchInfo.put())), "interface _Control");
        if (dispatchInfo) {
            TYPEATTR* attr = nullptr;
            dispatchInfo->GetTypeAttr(&attr);
            WORD flags = attr->wTypeFlags;
            dispatchInfo->ReleaseTypeAttr(attr);
            dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
            dispatchInfo->GetRefTypeInfo(vtable, info.put());
            // The automation flag sits on the vtable half of a dual interface.
            if (info) {
                info->GetTypeAttr(&attr);
                flags |= attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION;
                info->ReleaseTypeAttr(attr);
            }
            check((flags & TYPEFLAG_FDUAL) && (flags & TYPEFLAG_FHIDDEN) &&
                      (flags & TYPEFLAG_FNONEXTENSIBLE) && (flags & TYPEFLAG_FOLEAUTOMATION),
                  "_Control is dual, hidden, non-extensible, OLE automation");
        }
        if (info) {
            TYPEATTR* attr = nullptr;
            info->GetTypeAttr(&attr);
            auto members = component::controlMembers();
            check(attr->cFuncs == members.size(), "27 entries");
            UINT count = attr->cFuncs;
            info->ReleaseTypeAttr(attr);
            for (UINT i = 0; i < count && i < members.size(); ++i) {
                const auto& member = members[i];
                std::string where =
                    "entry " + std::to_string(member.slot) + " " + std::string(member.name);
                FUNCDESC* f = nullptr;
                info->GetFuncDesc(i, &f);
                check(f->oVft / static_cast<SHORT>(sizeof(void*)) == member.slot + 6,
                      where + ": slot");
                check(f->memid == member.dispid, where + ": DISPID");
                INVOKEKIND kind =
                    member.kind == component::MemberKind::PropertyGet   ? INVOKE_PROPERTYGET
                    : member.kind == component::MemberKind::PropertyPut ? INVOKE_PROPERTYPUT
                                                                        : INVOKE_FUNC;
                check(f->invkind == kind, where + ": kind");
                BSTR names[16] = {};
                UINT got = 0;
                info->GetNames(f->memid, names, 16, &got);
                check(got >= 1 && win32::toUtf8(names[0]) == member.name, where + ": name");
                size_t params = member.parameters.size();
                bool hasResult = member.result != component::ResultType::None;
                check(static_cast<size_t>(f->cParams) == params + (hasResult ? 1 : 0),
                      where + ": parameter count");
                for (size_t p = 0; p < params && p < static_cast<size_t>(f->cParams); ++p) {
                    const auto& parameter = member.parameters[p];
                    const ELEMDESC& e = f->lprgelemdescParam[p];
                    if (member.kind != component::MemberKind::PropertyPut && p + 1 < got) {
                        check(win32::toUtf8(names[p + 1]) == parameter.name,
                              where + ": parameter name " + std::string(parameter.name));
                    }
                    USHORT passing = e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT);
                    check(passing == (parameter.byReference ? PARAMFLAG_FIN | PARAMFLAG_FOUT
                                                            : PARAMFLAG_FIN),
                          where + ": passing of " + std::string(parameter.name));
                    VARTYPE type = e.tdesc.vt;
                    if (parameter.type == component::ValueType::Boolean) {
                        check(type == VT_BOOL, where + ": Boolean parameter");
                    } else if (parameter.type == component::ValueType::ScriptingContext) {
                        check(type == VT_PTR, where + ": context by reference");
                    } else {
                        check(type == (parameter.byReference ? VT_PTR : VT_VARIANT),
                              where + ": VARIANT parameter");
                    }
                }
                if (hasResult && f->cParams > 0) {
                    const ELEMDESC& e = f->lprgelemdescParam[f->cParams - 1];
                    check((e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0, where + ": retval");
                    VARTYPE pointee =
                        e.tdesc.vt == VT_PTR ? e.tdesc.lptdesc->vt : VARTYPE{VT_EMPTY};
                    VARTYPE expected = member.result == component::ResultType::Boolean
                                           ? VARTYPE{VT_BOOL}
                                           : VARTYPE{VT_VARIANT};
                    check(pointee == expected, where + ": result type");
                }
                for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
                info->ReleaseFuncDesc(f);
            }
        }
    }
    CoUninitialize();
    std::printf(g_failures ? "type library differs from the member table\n"
                           : "type library matches the member table\n");
    return g_failures ? 1 : 0;
}
