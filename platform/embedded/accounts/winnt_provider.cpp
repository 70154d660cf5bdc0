#include "platform/embedded/accounts/winnt_provider.h"

#include "platform/embedded/accounts/winnt_objects.h"

namespace tarnwick::platform::embedded {

struct WinNTProvider::Context : winnt::ProviderContext {};

WinNTProvider::WinNTProvider(std::shared_ptr<LocalAccounts> accounts, CallCheck check)
    : context_(std::make_shared<Context>(Context{{std::move(accounts), std::move(check)}})) {}

automation::ObjectRef WinNTProvider::bind(std::string_view path) {
    context_->pass("GetObject", path);
    winnt::Context shared = context_;
    return winnt::open(shared, context_->resolve(path));
}

}  // namespace tarnwick::platform::embedded
