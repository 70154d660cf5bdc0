#include "platform/win32/dispatch_object.h"

#include <vector>

#include "automation/error.h"
#include "automation/text.h"
#include "platform/win32/com_values.h"

namespace tarnwick::platform::win32 {

namespace errors = automation::errors;
using automation::InvokeKind;
using automation::Variant;

automation::ObjectRef adapt(IDispatch* object) {
    if (!object) return nullptr;
    return std::make_shared<DispatchObject>(ComPtr<IDispatch>::share(object));
}

namespace {

// The arguments of one call, in the reversed order IDispatch wants them,
// cleared on every path.
class Arguments {
public:
    explicit Arguments(std::span<Variant> args) : values_(args.size()) {
        for (size_t i = 0; i < args.size(); ++i) {
            toVariant(args[i], values_[args.size() - 1 - i].get());
        }
    }
    VARIANT* data() {
        // VariantValue is a VARIANT and nothing else; the vector keeps them contiguous.
        static_assert(sizeof(VariantValue) == sizeof(VARIANT));
        return values_.empty() ? nullptr : values_.front().get();
    }
    UINT size() const { return static_cast<UINT>(values_.size()); }

private:
    std::vector<VariantValue> values_;
};

}  // namespace

Variant DispatchObject::invoke(std::string_view name, InvokeKind kind, std::span<Variant> args) {
    if (!object_) automation::raise(errors::kObjectNotSet);
    // The default member has its own DISPID and no name to look up: script
    // objects (a VBScript class) answer no GetIDsOfNames at all.
    DISPID id = DISPID_VALUE;
    if (!name.empty()) {
        auto wide = toWide(name);
        LPOLESTR names[] = {wide.data()};
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            if (kind == InvokeKind::PropertyGet && args.empty() &&
                automation::equalsIgnoreCase(name, "Children")) {
                return enumerate();
            }
            automation::raise(errorNumberOf(hr));
        }
    }

    Arguments arguments(args);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{arguments.data(), nullptr, arguments.size(), 0};
    WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    if (kind == InvokeKind::PropertyPut) {
        flags = DISPATCH_PROPERTYPUT;
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    } else if (kind == InvokeKind::PropertyGet) {
        flags = DISPATCH_PROPERTYGET;
    }
    VariantValue result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 kind == InvokeKind::PropertyPut ? nullptr : result.get(),
                                 &exception, &argumentError);
    if (FAILED(hr)) raiseInvokeError(hr, exception);
    return fromVariant(*result.get());
}

Variant DispatchObject::enumerate() {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantValue enumerator;
    EXCEPINFO exception{};
    HRESULT hr = object_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, enumerator.get(),
                                 &exception, nullptr);
    if (FAILED(hr)) raiseInvokeError(hr, exception);
    IUnknown* unknown =
        V_VT(enumerator.get()) == VT_UNKNOWN || V_VT(enumerator.get()) == VT_DISPATCH
            ? V_UNKNOWN(enumerator.get())
            : nullptr;
    if (!unknown) automation::raise(errors::kActionNotSupported);
    ComPtr<IEnumVARIANT> items;
    hr = unknown->QueryInterface(IID_IEnumVARIANT, items.putVoid());
    if (FAILED(hr)) automation::raise(errors::kActionNotSupported);

    Variant::Array children;
    for (;;) {
        VariantValue item;
        ULONG fetched = 0;
        hr = items->Next(1, item.get(), &fetched);
        if (FAILED(hr)) automation::raise(errorNumberOf(hr));
        if (hr != S_OK || fetched == 0) break;
        children.push_back(fromVariant(*item.get()));
    }
    return Variant(std::move(children));
}

}  // namespace tarnwick::platform::win32
