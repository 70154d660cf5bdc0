#include "platform/win32/com_values.h"

#include <cmath>

#include "platform/win32/com_ptr.h"
#include "platform/win32/core_object.h"
#include "platform/win32/dispatch_object.h"

namespace tarnwick::platform::win32 {

namespace errors = automation::errors;
using automation::Variant;
using automation::VarType;

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

namespace {

Variant fromArray(SAFEARRAY* array, VARTYPE elementType) {
    if (!array) return Variant(Variant::Array{});
    if (SafeArrayGetDim(array) != 1) automation::raise(errors::kTypeMismatch);
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    Variant::Array items;
    for (LONG i = lower; i <= upper; ++i) {
        VariantValue element;
        HRESULT hr;
        if (elementType == VT_VARIANT) {
            hr = SafeArrayGetElement(array, &i, element.get());
        } else {
            // Typed elements: read into a VARIANT of that type.
            V_VT(element.get()) = elementType;
            hr = SafeArrayGetElement(array, &i, &V_NONE(element.get()));
            if (FAILED(hr)) V_VT(element.get()) = VT_EMPTY;
        }
        if (FAILED(hr)) automation::raise(errorNumberOf(hr));
        items.push_back(fromVariant(*element.get()));
    }
    return Variant(std::move(items));
}

Variant converted(const VARIANT& value, VARTYPE type) {
    VariantValue target;
    HRESULT hr = VariantChangeType(target.get(), const_cast<VARIANT*>(&value), 0, type);
    if (FAILED(hr)) automation::raise(errorNumberOf(hr));
    return fromVariant(*target.get());
}

}  // namespace

Variant fromVariant(const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
    if (V_ISBYREF(v)) {
        VariantValue plain;
        HRESULT hr = VariantCopyInd(plain.get(), const_cast<VARIANT*>(v));
        if (FAILED(hr)) automation::raise(errorNumberOf(hr));
        return fromVariant(*plain.get());
    }
    if (V_ISARRAY(v)) return fromArray(V_ARRAY(v), V_VT(v) & VT_TYPEMASK);
    switch (V_VT(v)) {
        case VT_EMPTY: return {};
        case VT_NULL: return Variant::null();
        case VT_BOOL: return Variant(V_BOOL(v) != VARIANT_FALSE);
        case VT_I2: return Variant::integer(V_I2(v));
        case VT_I4: return Variant(static_cast<int32_t>(V_I4(v)));
        case VT_R4: return Variant::single(V_R4(v));
        case VT_R8: return Variant(V_R8(v));
        case VT_BSTR:
            return Variant(toUtf8({V_BSTR(v) ? V_BSTR(v) : L"", SysStringLen(V_BSTR(v))}));
        case VT_DISPATCH: {
            if (auto own = CoreObject::unwrap(V_DISPATCH(v))) return Variant(own);
            return Variant(adapt(V_DISPATCH(v)));
        }
        case VT_UNKNOWN: {
            ComPtr<IDispatch> dispatch;
            if (V_UNKNOWN(v)) V_UNKNOWN(v)->QueryInterface(IID_IDispatch, dispatch.putVoid());
            if (!dispatch && V_UNKNOWN(v)) automation::raise(errors::kTypeMismatch);
            return fromVariant([&] {
                VARIANT d;
                V_VT(&d) = VT_DISPATCH;
                V_DISPATCH(&d) = dispatch.get();
                return d;
            }());
        }
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_INT: return converted(*v, VT_I4);
        case VT_UI4:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_CY:
        case VT_DECIMAL: return converted(*v, VT_R8);
        // A date is used as its text, as a script joining it to a string sees it.
        case VT_DATE: return converted(*v, VT_BSTR);
        case VT_ERROR:
            // A missing optional argument.
            if (V_ERROR(v) == DISP_E_PARAMNOTFOUND) return {};
            return Variant(static_cast<int32_t>(V_ERROR(v)));
        default: automation::raise(errors::kTypeMismatch);
    }
}

void toVariant(const Variant& value, VARIANT* out) {
    VariantInit(out);
    switch (value.type()) {
        case VarType::Empty: return;
        case VarType::Null: V_VT(out) = VT_NULL; return;
        case VarType::Boolean:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VarType::Integer:
            V_VT(out) = VT_I2;
            V_I2(out) = value.integerValue();
            return;
        case VarType::Long:
            V_VT(out) = VT_I4;
            V_I4(out) = value.longValue();
            return;
        case VarType::Single:
            V_VT(out) = VT_R4;
            V_R4(out) = value.singleValue();
            return;
        case VarType::Double:
            V_VT(out) = VT_R8;
            V_R8(out) = value.doubleValue();
            return;
        case VarType::String: {
            auto wide = toWide(value.string());
            BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
            if (!text) throw std::bad_alloc();
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = text;
            return;
        }
        case VarType::Object: {
            IDispatch* dispatch = nullptr;
            if (auto* adapted = dynamic_cast<DispatchObject*>(value.object().get())) {
                dispatch = adapted->dispatch();
                if (dispatch) dispatch->AddRef();
            } else if (value.object()) {
                dispatch = CoreObject::create(value.object(), L"Tarnwick");
            }
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = dispatch;
            return;
        }
        case VarType::Array: {
            const auto& items = value.array();
            SAFEARRAY* array =
                SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
            if (!array) throw std::bad_alloc();
            for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
                VariantValue element;
                try {
                    toVariant(items[static_cast<size_t>(i)], element.get());
                } catch (...) {
                    SafeArrayDestroy(array);
                    throw;
                }
                SafeArrayPutElement(array, &i, element.get());
            }
            V_VT(out) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(out) = array;
            return;
        }
    }
}

HRESULT writeBack(VARIANT* parameter, const Variant& value) {
    if (!parameter) return E_POINTER;
    while (V_VT(parameter) == (VT_BYREF | VT_VARIANT)) parameter = V_VARIANTREF(parameter);
    VariantValue fresh;
    try {
        toVariant(value, fresh.get());
    } catch (const automation::AutomationError& error) {
        return automation::hresultOf(error.number());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!V_ISBYREF(parameter)) {
        VariantClear(parameter);
        fresh.moveTo(parameter);
        return S_OK;
    }
    VARTYPE type = V_VT(parameter) & static_cast<VARTYPE>(~VT_BYREF);
    VariantValue typed;
    HRESULT hr = VariantChangeType(typed.get(), fresh.get(), 0, type);
    if (FAILED(hr)) return hr;
    VARIANT* t = typed.get();
    switch (type) {
        case VT_I2: *V_I2REF(parameter) = V_I2(t); return S_OK;
        case VT_I4: *V_I4REF(parameter) = V_I4(t); return S_OK;
        case VT_R4: *V_R4REF(parameter) = V_R4(t); return S_OK;
        case VT_R8: *V_R8REF(parameter) = V_R8(t); return S_OK;
        case VT_BOOL: *V_BOOLREF(parameter) = V_BOOL(t); return S_OK;
        case VT_BSTR:
            SysFreeString(*V_BSTRREF(parameter));
            *V_BSTRREF(parameter) = V_BSTR(t);
            V_VT(t) = VT_EMPTY;
            return S_OK;
        default: return DISP_E_TYPEMISMATCH;
    }
}

int32_t errorNumberOf(HRESULT hr) {
    auto code = static_cast<uint32_t>(hr);
    if ((code & 0xFFFF0000u) == 0x800A0000u) return static_cast<int32_t>(code & 0xFFFFu);
    switch (code) {
        case static_cast<uint32_t>(DISP_E_UNKNOWNNAME):
        case static_cast<uint32_t>(DISP_E_MEMBERNOTFOUND): return errors::kMemberNotFound;
        case static_cast<uint32_t>(DISP_E_BADPARAMCOUNT): return errors::kWrongArgumentCount;
        case static_cast<uint32_t>(DISP_E_TYPEMISMATCH): return errors::kTypeMismatch;
        case static_cast<uint32_t>(DISP_E_OVERFLOW): return errors::kOverflow;
        case static_cast<uint32_t>(DISP_E_PARAMNOTOPTIONAL): return 449;
        case static_cast<uint32_t>(DISP_E_BADINDEX): return 9;
        default: return static_cast<int32_t>(code);
    }
}

void raiseInvokeError(HRESULT hr, EXCEPINFO& info) {
    if (hr != DISP_E_EXCEPTION) automation::raise(errorNumberOf(hr));
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string description =
        info.bstrDescription ? toUtf8({info.bstrDescription, SysStringLen(info.bstrDescription)})
                             : std::string();
    HRESULT code = info.scode ? info.scode : automation::hresultOf(info.wCode);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
    automation::raise(errorNumberOf(code), std::move(description));
}

HRESULT exceptionOf(const automation::AutomationError& error, EXCEPINFO* info,
                    std::wstring_view source) {
    if (!info) return automation::hresultOf(error.number());
    *info = EXCEPINFO{};
    info->scode = automation::hresultOf(error.number());
    info->bstrSource = Bstr(source).detach();
    info->bstrDescription = Bstr(toWide(error.description())).detach();
    return DISP_E_EXCEPTION;
}

}  // namespace tarnwick::platform::win32
