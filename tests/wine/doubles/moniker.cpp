#include "tests/wine/doubles/moniker.h"

#include <algorithm>
#include <new>

#include "automation/error.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"
#include "platform/win32/core_object.h"

namespace tarnwick::tests::wine {

namespace win32 = platform::win32;

namespace {

class DirectoryMoniker final : public IMoniker {
public:
    DirectoryMoniker(const CLSID& provider, std::wstring name, Binder bind)
        : provider_(provider), name_(std::move(name)), bind_(std::move(bind)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IPersistStream ||
            iid == IID_IMoniker) {
            *out = static_cast<IMoniker*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP GetClassID(CLSID* id) override {
        *id = provider_;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    STDMETHODIMP BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            auto object = bind_(win32::toUtf8(name_));
            auto dispatch = win32::ComPtr<IDispatch>::adopt(
                win32::CoreObject::create(std::move(object), name_.substr(0, name_.find(L':'))));
            return dispatch->QueryInterface(iid, out);
        } catch (const automation::AutomationError& error) {
            return static_cast<HRESULT>(error.number());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
    STDMETHODIMP BindToStorage(IBindCtx*, IMoniker*, REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** reduced) override {
        if (reduced) {
            AddRef();
            *reduced = this;
        }
        return MK_S_REDUCED_TO_SELF;
    }
    STDMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP Enum(BOOL, IEnumMoniker** out) override {
        *out = nullptr;
        return S_OK;
    }
    STDMETHODIMP IsEqual(IMoniker* other) override { return other == this ? S_OK : S_FALSE; }
    STDMETHODIMP Hash(DWORD* hash) override {
        *hash = 0;
        return S_OK;
    }
    STDMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
    STDMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
    STDMETHODIMP Inverse(IMoniker** out) override {
        *out = nullptr;
        return MK_E_NOINVERSE;
    }
    STDMETHODIMP CommonPrefixWith(IMoniker*, IMoniker** out) override {
        *out = nullptr;
        return MK_E_NOPREFIX;
    }
    STDMETHODIMP RelativePathTo(IMoniker*, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* out) override {
        *out = static_cast<LPOLESTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(wchar_t)));
        if (!*out) return E_OUTOFMEMORY;
        std::copy(name_.c_str(), name_.c_str() + name_.size() + 1, *out);
        return S_OK;
    }
    STDMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG* eaten,
                                  IMoniker** out) override {
        *eaten = 0;
        *out = nullptr;
        return MK_E_SYNTAX;
    }
    STDMETHODIMP IsSystemMoniker(DWORD* kind) override {
        *kind = MKSYS_NONE;
        return S_FALSE;
    }

private:
    ~DirectoryMoniker() = default;

    LONG references_ = 1;
    CLSID provider_;
    std::wstring name_;
    Binder bind_;
};

}  // namespace

IMoniker* makeDirectoryMoniker(const CLSID& provider, std::wstring displayName, Binder bind) {
    return new (std::nothrow) DirectoryMoniker(provider, std::move(displayName), std::move(bind));
}

}  // namespace tarnwick::tests::wine
