// The machine that the directory doubles play: computer WEBHOST with IIS 6,
// its metabase and its local accounts, kept in memory by the embedded
// platform's own code. One per process: every GetObject of a page run binds
// into the same state, which lives until the process ends.
#pragma once

#include <memory>
#include <string>

#include "platform/embedded/accounts/local_accounts.h"
#include "platform/embedded/accounts/winnt_provider.h"
#include "platform/embedded/metabase/tree.h"

namespace tarnwick::tests::wine {

inline constexpr const char* kComputerName = "WEBHOST";

struct Machine {
    std::shared_ptr<platform::metabase::MetabaseTree> metabase;
    std::shared_ptr<platform::embedded::LocalAccounts> accounts;
    std::unique_ptr<platform::embedded::WinNTProvider> winnt;
};

// The process's machine, seeded with a fresh installation on first use.
Machine& machine();

}  // namespace tarnwick::tests::wine
