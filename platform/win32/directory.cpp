// GetObject("IIS://...") and GetObject("WinNT://..."): the display name is
// parsed into a moniker by the provider registered for its prefix and bound
// to the object, as the script engine's GetObject does.
#include <windows.h>
#include <objbase.h>

#include "platform/win32/com_values.h"
#include "platform/win32/dispatch_object.h"
#include "platform/win32/services.h"

namespace tarnwick::platform::win32 {

namespace {

class MonikerDirectory final : public Directory {
public:
    automation::ObjectRef bind(std::string_view path) override {
        auto name = toWide(path);
        ComPtr<IDispatch> object;
        HRESULT hr = CoGetObject(name.c_str(), nullptr, IID_IDispatch, object.putVoid());
        if (FAILED(hr)) automation::raise(errorNumberOf(hr));
        return adapt(object.get());
    }
};

}  // namespace

std::shared_ptr<Directory> makeDirectory() { return std::make_shared<MonikerDirectory>(); }

}  // namespace tarnwick::platform::win32
