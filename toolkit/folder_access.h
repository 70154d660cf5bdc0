// Folder permissions: gives one account an access mask on a folder or file by
// rewriting its DACL through the advapi32 security calls.
//
// Every entry the DACL holds for the account (allowed or denied, inherited or
// not) is dropped, all other entries keep their order, flags and masks, and
// the grant is appended: for a file one entry with flags 0, for a folder two
// entries, first for the files below it (object inherit + inherit only, 9),
// then for the folder and its subfolders (container inherit, 2). Nothing is
// written unless every step before the final write succeeded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/advapi32.h"
#include "platform/system.h"

namespace tarnwick::toolkit {

inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kGenericExecute = 0x20000000;
inline constexpr uint32_t kDelete = 0x00010000;

// True when the new DACL was written. The account is any name the local
// account lookup accepts; both texts go to the system in its ANSI code page.
bool SetFolderAccess(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                     std::string_view account, std::string_view path, uint32_t accessMask);

// The DACL of a folder or file as it stands (a self-relative security
// descriptor), so that a grant can be taken back exactly; nothing when it
// cannot be read.
std::optional<std::vector<uint8_t>> SaveFolderAccess(platform::Advapi32& api,
                                                     platform::AnsiCodePage& ansi,
                                                     std::string_view path);
// Writes a saved DACL back. True when it was written.
bool RestoreFolderAccess(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                         std::string_view path, const std::vector<uint8_t>& saved);

// A saved DACL as text (upper-case hex) and back; nothing for text that is
// not an even number of hex digits.
std::string hexText(const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> hexBytes(std::string_view text);

// Leaves a folder to SYSTEM and Administrators alone: its DACL becomes two
// entries of full access, inherited by everything made in it. True when it
// was written.
bool LimitToAdministrators(platform::Advapi32& api, platform::AnsiCodePage& ansi,
                           std::string_view path);

}  // namespace tarnwick::toolkit
