// A page host of our own that plays ASP on the system's VBScript engine:
//
//   page_host.exe [--map ProgID=OtherProgID]... [--site-root C:\path]
//                 [--accounts-double C:\path\TarnwickDoubles.dll] page.asp...
//
// Each page is turned into VBScript (text into Response.Write, <%= e %> into
// Response.Write (e)) and run with the named items Request, Response, Server,
// Session and Application, and Test for the checks. Server.CreateObject
// creates the registered class and, when it has OnStartPage, calls it with
// the page's ScriptingContext; OnEndPage follows at the end of the page, as
// IIS does. The pages share one session and one application.
//
// With --accounts-double, Tarnwick.dll's LookupAccountNameA (its import from
// advapi32.dll) is pointed at the double's DoubleLookupAccountNameA once the
// DLL is loaded, so that folder permissions name the accounts the WinNT
// double created; the rest of the process keeps the system's function.
//
// Response.End ends the response: later writes are dropped. Test.ShortPath
// gives a path's short form (GetShortPathNameW). Test.Fail
// records a failed check; Test.Body and Test.Ended give the response so far;
// Test.NewResponse starts a fresh one. The exit code is 1 when a check failed
// or a script error occurred.
#include <windows.h>
#include <activscp.h>
#include <ole2.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/win32/com_values.h"
#include "platform/win32/core_object.h"
#include "platform/win32/create_object.h"
#include "platform/win32/dispatch_object.h"
#include "tests/wine/import_patch.h"

namespace {

namespace win32 = tarnwick::platform::win32;
namespace automation = tarnwick::automation;
using automation::InvokeKind;
using automation::ObjectRef;
using automation::Variant;
using win32::ComPtr;

int g_failures = 0;

void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

const Variant& arg(std::span<Variant> args, size_t i) {
    if (i >= args.size()) automation::raise(automation::errors::kWrongArgumentCount);
    return args[i];
}

struct Response {
    std::string body;
    bool ended = false;
    std::string redirect;
};

class ResponseObject final : public automation::Dispatch {
public:
    Response state;
    Variant invoke(std::string_view name, InvokeKind, std::span<Variant> args) override {
        if (automation::equalsIgnoreCase(name, "Write")) {
            if (!state.ended) state.body += automation::concatText(arg(args, 0));
            return {};
        }
        if (automation::equalsIgnoreCase(name, "End")) {
            state.ended = true;
            return {};
        }
        if (automation::equalsIgnoreCase(name, "Redirect")) {
            state.redirect = automation::toText(arg(args, 0));
            state.ended = true;
            return {};
        }
        automation::raise(automation::errors::kMemberNotFound);
    }
};

class ValuesObject final : public automation::Dispatch {
public:
    explicit ValuesObject(std::map<std::string, Variant> values = {})
        : values_(std::move(values)) {}
    Variant invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) override {
        if (automation::equalsIgnoreCase(name, "Value") ||
            automation::equalsIgnoreCase(name, "Item")) {
            auto key = automation::toLowerAscii(automation::toText(arg(args, 0)));
            if (kind == InvokeKind::PropertyPut) {
                values_[key] = arg(args, 1);
                return {};
            }
            auto found = values_.find(key);
            return found == values_.end() ? Variant() : found->second;
        }
        if (automation::equalsIgnoreCase(name, "SessionID")) return Variant("817997721");
        automation::raise(automation::errors::kMemberNotFound);
    }

private:
    std::map<std::string, Variant> values_;
};

class RequestObject final : public automation::Dispatch {
public:
    Variant invoke(std::string_view name, InvokeKind, std::span<Variant>) override {
        if (automation::equalsIgnoreCase(name, "ServerVariables")) return Variant(variables_);
        automation::raise(automation::errors::kMemberNotFound);
    }

private:
    ObjectRef variables_ = std::make_shared<ValuesObject>(std::map<std::string, Variant>{
        {"local_addr", Variant("192.168.1.10")}, {"server_name", Variant("localhost")}});
};

class ServerObject;

class ContextObject final : public automation::Dispatch {
public:
    std::map<std::string, ObjectRef> objects;  // by lower-case name
    Variant invoke(std::string_view name, InvokeKind, std::span<Variant>) override {
        auto found = objects.find(automation::toLowerAscii(name));
        if (found == objects.end()) automation::raise(automation::errors::kMemberNotFound);
        return Variant(found->second);
    }
};

class ServerObject final : public automation::Dispatch {
public:
    std::map<std::string, std::string> progIdMap;  // by lower-case ProgID
    std::string siteRoot = "C:\\Inetpub\\wwwroot";
    std::weak_ptr<ContextObject> context;
    std::vector<ObjectRef> pageObjects;  // got OnStartPage
    void* lookupAccountName = nullptr;   // replaces Tarnwick.dll's LookupAccountNameA

    Variant invoke(std::string_view name, InvokeKind, std::span<Variant> args) override {
        if (automation::equalsIgnoreCase(name, "CreateObject")) {
            return Variant(create(automation::toText(arg(args, 0))));
        }
        if (automation::equalsIgnoreCase(name, "MapPath")) {
            auto path = automation::replaceAll(automation::toText(arg(args, 0)), "/", "\\");
            if (path.empty() || path[0] != '\\') path = "\\" + path;
            return Variant(siteRoot + path);
        }
        automation::raise(automation::errors::kMemberNotFound);
    }

    void endPage() {
        for (auto& object : pageObjects) object->call("OnEndPage");
        pageObjects.clear();
    }

private:
    ObjectRef create(const std::string& requested) {
        auto mapped = progIdMap.find(automation::toLowerAscii(requested));
        auto object =
            win32::createInProcessObject(mapped == progIdMap.end() ? requested : mapped->second);
        if (lookupAccountName) {
            if (HMODULE tarnwick = GetModuleHandleW(L"Tarnwick.dll")) {
                if (!tarnwick::tests::wine::replaceImport(
                        tarnwick, "advapi32.dll", "LookupAccountNameA", lookupAccountName)) {
                    print("cannot replace LookupAccountNameA in Tarnwick.dll\n");
                    ++g_failures;
                }
            }
        }
        auto adapted = win32::adapt(object.get());
        LPOLESTR onStartPage[] = {const_cast<LPOLESTR>(L"OnStartPage")};
        DISPID id;
        // Some objects (Wine's FileSystemObject) give every name a DISPID and
        // fail the call: for them, too, there is no OnStartPage.
        if (SUCCEEDED(object->GetIDsOfNames(IID_NULL, onStartPage, 1, LOCALE_USER_DEFAULT, &id)) &&
            id != DISPID_UNKNOWN) {
            try {
                adapted->call("OnStartPage", {Variant(ObjectRef(context.lock()))});
                pageObjects.push_back(adapted);
            } catch (const automation::AutomationError& error) {
                if (error.number() != automation::errors::kMemberNotFound) throw;
            }
        }
        return adapted;
    }
};

class TestObject final : public automation::Dispatch {
public:
    std::shared_ptr<ResponseObject> response;
    Variant invoke(std::string_view name, InvokeKind, std::span<Variant> args) override {
        if (automation::equalsIgnoreCase(name, "Fail")) {
            ++g_failures;
            print("FAIL: " + automation::concatText(arg(args, 0)) + "\n");
            return {};
        }
        if (automation::equalsIgnoreCase(name, "Log")) {
            print(automation::concatText(arg(args, 0)) + "\n");
            return {};
        }
        if (automation::equalsIgnoreCase(name, "Body")) return Variant(response->state.body);
        if (automation::equalsIgnoreCase(name, "Ended")) return Variant(response->state.ended);
        if (automation::equalsIgnoreCase(name, "Redirect"))
            return Variant(response->state.redirect);
        if (automation::equalsIgnoreCase(name, "ShortPath")) {
            // The short form Wine gives a path of the prefix ("" when it has none).
            const auto path = win32::toWide(automation::concatText(arg(args, 0)));
            wchar_t shortPath[MAX_PATH] = {};
            const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
            if (length == 0 || length >= MAX_PATH) return Variant(std::string());
            return Variant(win32::toUtf8({shortPath, length}));
        }
        if (automation::equalsIgnoreCase(name, "NewResponse")) {
            response->state = Response{};
            return {};
        }
        automation::raise(automation::errors::kMemberNotFound);
    }
};

class ScriptSite final : public IActiveScriptSite {
public:
    std::map<std::wstring, ComPtr<IDispatch>> items;  // by lower-case name
    int errors = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetLCID(LCID* locale) override {
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown,
                             ITypeInfo** info) override {
        if (info) *info = nullptr;
        if (unknown) *unknown = nullptr;
        std::wstring key(name);
        for (auto& c : key) c = static_cast<wchar_t>(towlower(c));
        auto found = items.find(key);
        if (found == items.end()) return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && unknown) {
            found->second->AddRef();
            *unknown = found->second.get();
        }
        return S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        EXCEPINFO info{};
        error->GetExceptionInfo(&info);
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetSourcePosition(&context, &line, &column);
        char code[16];
        std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(info.scode));
        print("SCRIPT ERROR line " + std::to_string(line + 1) + ": " + code + " " +
              (info.bstrDescription ? win32::toUtf8(info.bstrDescription) : "") + "\n");
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        ++errors;
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }
};

std::wstring vbLiteral(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') {
            out += L"\"\"";
        } else if (c == L'\n') {
            out += L"\" & vbLf & \"";
        } else if (c != L'\r') {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring aspToVbscript(const std::wstring& page) {
    std::wstring out;
    size_t position = 0;
    while (position < page.size()) {
        size_t open = page.find(L"<%", position);
        std::wstring text =
            page.substr(position, open == std::wstring::npos ? open : open - position);
        if (!text.empty()) out += L"Response.Write " + vbLiteral(text) + L"\n";
        if (open == std::wstring::npos) break;
        size_t close = page.find(L"%>", open + 2);
        if (close == std::wstring::npos) close = page.size();
        std::wstring code = page.substr(open + 2, close - open - 2);
        if (!code.empty() && code[0] == L'=') {
            out += L"Response.Write (" + code.substr(1) + L")\n";
        } else if (code.empty() || code[0] != L'@') {
            out += code + L"\n";
        }
        position = close + 2;
    }
    return out;
}

bool runPage(const std::wstring& file, std::shared_ptr<ServerObject> server,
             std::shared_ptr<ValuesObject> session, std::shared_ptr<ValuesObject> application) {
    std::ifstream in(file.c_str(), std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    if (!in) {
        print("cannot read page " + win32::toUtf8(file) + "\n");
        return false;
    }
    auto code = aspToVbscript(win32::toWide(source.str()));

    auto response = std::make_shared<ResponseObject>();
    auto request = std::make_shared<RequestObject>();
    auto context = std::make_shared<ContextObject>();
    auto test = std::make_shared<TestObject>();
    test->response = response;
    context->objects = {{"application", application},
                        {"request", request},
                        {"response", response},
                        {"server", server},
                        {"session", session}};
    server->context = context;

    ScriptSite site;
    std::map<std::string, ObjectRef> named = {{"application", application}, {"request", request},
                                              {"response", response},       {"server", server},
                                              {"session", session},         {"test", test}};
    for (auto& [name, object] : named) {
        site.items[win32::toWide(name)] =
            ComPtr<IDispatch>::adopt(win32::CoreObject::create(object, L"Page"));
    }

    CLSID vbscript;
    ComPtr<IActiveScript> engine;
    ComPtr<IActiveScriptParse> parser;
    HRESULT hr = CLSIDFromProgID(L"VBScript", &vbscript);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                              engine.putVoid());
    }
    if (SUCCEEDED(hr)) hr = engine->QueryInterface(__uuidof(IActiveScriptParse), parser.putVoid());
    if (SUCCEEDED(hr)) hr = engine->SetScriptSite(&site);
    if (SUCCEEDED(hr)) hr = parser->InitNew();
    for (auto& [name, object] : site.items) {
        if (SUCCEEDED(hr)) hr = engine->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE);
    }
    if (FAILED(hr)) {
        print("the VBScript engine cannot start\n");
        return false;
    }
    EXCEPINFO exception{};
    hr = parser->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr,
                                 &exception);
    if (SUCCEEDED(hr)) hr = engine->SetScriptState(SCRIPTSTATE_CONNECTED);
    try {
        server->endPage();
    } catch (const automation::AutomationError& error) {
        print("OnEndPage failed: " + error.description() + "\n");
        ++site.errors;
    }
    engine->Close();
    if (FAILED(hr) && site.errors == 0) ++site.errors;
    return site.errors == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    bool passed = true;
    {
        auto server = std::make_shared<ServerObject>();
        auto session = std::make_shared<ValuesObject>();
        auto application = std::make_shared<ValuesObject>();
        int pages = 0;
        for (int i = 1; i < argc; ++i) {
            std::wstring option = argv[i];
            if (option == L"--map" && i + 1 < argc) {
                auto mapping = win32::toUtf8(argv[++i]);
                auto equals = mapping.find('=');
                server->progIdMap[automation::toLowerAscii(mapping.substr(0, equals))] =
                    mapping.substr(equals + 1);
            } else if (option == L"--accounts-double" && i + 1 < argc) {
                HMODULE doubles = LoadLibraryW(argv[++i]);
                server->lookupAccountName = doubles ? reinterpret_cast<void*>(GetProcAddress(
                                                          doubles, "DoubleLookupAccountNameA"))
                                                    : nullptr;
                if (!server->lookupAccountName) {
                    print("cannot load the accounts double " + win32::toUtf8(argv[i]) + "\n");
                    passed = false;
                }
            } else if (option == L"--site-root" && i + 1 < argc) {
                server->siteRoot = win32::toUtf8(argv[++i]);
            } else {
                print("== page " + win32::toUtf8(option) + "\n");
                passed = runPage(option, server, session, application) && passed;
                ++pages;
            }
        }
        if (pages == 0) {
            print(
                "usage: page_host [--map ProgID=Other]... [--site-root folder] [--accounts-double "
                "dll] "
                "page.asp...\n");
            passed = false;
        }
    }
    CoUninitialize();
    return passed && g_failures == 0 ? 0 : 1;
}
