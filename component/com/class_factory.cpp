#include "component/com/class_factory.h"

#include "component/com/control_com.h"
#include "component/com/server.h"

namespace tarnwick::com {

namespace {

// One static class object; its reference count only keeps the server loaded.
class ControlFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        lockServer(true);
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        lockServer(false);
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return ControlCom::create(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lockServer(lock != FALSE);
        return S_OK;
    }
};

}  // namespace

IClassFactory& controlFactory() {
    static ControlFactory factory;
    return factory;
}

}  // namespace tarnwick::com
