#include "platform/win32/create_object.h"

#include "automation/error.h"
#include "platform/win32/com_values.h"

namespace tarnwick::platform::win32 {

ComPtr<IDispatch> createInProcessObject(std::string_view progId) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(toWide(progId).c_str(), &clsid);
    ComPtr<IDispatch> object;
    if (SUCCEEDED(hr)) {
        hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
    }
    if (FAILED(hr)) automation::raise(automation::errors::kCannotCreateObject);
    return object;
}

}  // namespace tarnwick::platform::win32
