#include "platform/win32/core_object.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/com_values.h"

namespace tarnwick::platform::win32 {

namespace errors = automation::errors;
using automation::InvokeKind;
using automation::Variant;

namespace {

// {6C1E2A40-7D55-4F0B-....}: answers "is this one of ours?". The last bytes
// hold the address of a variable of this module, so the interface differs
// between modules: an object made by another module that links this same code
// (the page host, a directory double) has its own C++ runtime and heap, and is
// used through IDispatch like any foreign object, never unwrapped here.
const IID& ownObjectIid() {
    static const IID iid = [] {
        IID id = {0x6c1e2a40, 0x7d55, 0x4f0b, {0x9a, 0x61, 0x2f, 0x3b, 0x8e, 0x5d, 0x0c, 0x11}};
        static const char mark = 0;
        const auto address = reinterpret_cast<uintptr_t>(&mark);
        std::memcpy(id.Data4, &address, sizeof address);
        return id;
    }();
    return iid;
}

// For Each over a CoreObject: the children as VARIANTs.
class ChildEnumerator final : public IEnumVARIANT {
public:
    explicit ChildEnumerator(Variant::Array items, size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
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
    STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG done = 0;
        try {
            for (; done < count && position_ < items_.size(); ++done, ++position_) {
                toVariant(items_[position_], &out[done]);
            }
        } catch (...) {
            for (ULONG i = 0; i < done; ++i) VariantClear(&out[i]);
            if (fetched) *fetched = 0;
            return E_FAIL;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        position_ += count;
        if (position_ > items_.size()) {
            position_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ChildEnumerator(items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ChildEnumerator() = default;
    LONG references_ = 1;
    Variant::Array items_;
    size_t position_;
};

}  // namespace

IDispatch* CoreObject::create(automation::ObjectRef object, std::wstring source) {
    return new CoreObject(std::move(object), std::move(source));
}

automation::ObjectRef CoreObject::unwrap(IDispatch* dispatch) {
    if (!dispatch) return nullptr;
    CoreObject* own = nullptr;
    if (FAILED(dispatch->QueryInterface(ownObjectIid(), reinterpret_cast<void**>(&own)))) {
        return nullptr;
    }
    auto object = own->object_;
    own->Release();
    return object;
}

STDMETHODIMP CoreObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ownObjectIid()) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CoreObject::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) CoreObject::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CoreObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CoreObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CoreObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    try {
        auto name = toUtf8(names[0]);
        DISPID id = 0;
        for (size_t i = 0; i < names_.size() && id == 0; ++i) {
            if (automation::equalsIgnoreCase(names_[i], name)) id = static_cast<DISPID>(i + 1);
        }
        if (id == 0) {
            names_.push_back(name);
            id = static_cast<DISPID>(names_.size());
        }
        ids[0] = id;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT CoreObject::call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
    if (id == DISPID_NEWENUM) {
        auto children = object_->get("Children");
        if (children.type() != automation::VarType::Array) automation::raise(errors::kTypeMismatch);
        if (!result) return S_OK;
        V_VT(result) = VT_UNKNOWN;
        V_UNKNOWN(result) = new ChildEnumerator(children.array());
        return S_OK;
    }
    if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
    const std::string& name = names_[static_cast<size_t>(id - 1)];

    // The arguments in their written order; a put's value comes last.
    std::vector<Variant> args;
    std::vector<VARIANT*> sources;
    UINT positional = params.cArgs - params.cNamedArgs;
    for (UINT i = positional; i-- > 0;) {
        args.push_back(fromVariant(params.rgvarg[i + params.cNamedArgs]));
        sources.push_back(&params.rgvarg[i + params.cNamedArgs]);
    }
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTOPTIONAL;
        }
        args.push_back(fromVariant(params.rgvarg[0]));
        sources.push_back(&params.rgvarg[0]);
    } else if (params.cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }

    Variant value;
    if (put) {
        value = object_->invoke(name, InvokeKind::PropertyPut, args);
    } else if (flags & DISPATCH_METHOD) {
        try {
            value = object_->invoke(name, InvokeKind::Method, args);
        } catch (const automation::AutomationError& error) {
            // A script reading a property with parentheses asks for both.
            if (error.number() != errors::kMemberNotFound || !(flags & DISPATCH_PROPERTYGET)) throw;
            value = object_->invoke(name, InvokeKind::PropertyGet, args);
        }
    } else {
        value = object_->invoke(name, InvokeKind::PropertyGet, args);
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (V_ISBYREF(sources[i])) writeBack(sources[i], args[i]);
    }
    if (result) toVariant(value, result);
    return S_OK;
}

STDMETHODIMP CoreObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT*) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (result) VariantInit(result);
    ComPtr<IDispatch> keepAlive = ComPtr<IDispatch>::share(this);
    try {
        return call(id, flags, params ? *params : none, result);
    } catch (const automation::AutomationError& error) {
        return exceptionOf(error, exception, source_);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        return exceptionOf(automation::AutomationError(errors::kUnexpected, error.what()),
                           exception, source_);
    }
}

}  // namespace tarnwick::platform::win32
