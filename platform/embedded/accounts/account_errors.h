// The error numbers (HRESULTs) that the local account calls fail with, as
// the WinNT directory provider reports them to a script.
#pragma once

#include <cstdint>

namespace tarnwick::platform::embedded::account_errors {

// ERROR_BAD_NETPATH: the path names a computer other than this one.
inline constexpr int32_t kBadNetPath = static_cast<int32_t>(0x80070035u);
// ERROR_SPECIAL_ACCOUNT: built-in accounts cannot be deleted.
inline constexpr int32_t kSpecialAccount = static_cast<int32_t>(0x8007055Bu);
// ERROR_MEMBER_NOT_IN_ALIAS: Remove of an account that is not a member.
inline constexpr int32_t kMemberNotInGroup = static_cast<int32_t>(0x80070561u);
// ERROR_MEMBER_IN_ALIAS: Add of an account that is already a member.
inline constexpr int32_t kAlreadyMember = static_cast<int32_t>(0x80070562u);
// ERROR_ALIAS_EXISTS: a new user or group takes the name of a local group.
inline constexpr int32_t kGroupExists = static_cast<int32_t>(0x80070563u);
// ERROR_NO_SUCH_MEMBER: Add of a path that names no account.
inline constexpr int32_t kNoSuchMember = static_cast<int32_t>(0x8007056Bu);
// ERROR_INVALID_MEMBER: a local group cannot be a member of a local group.
inline constexpr int32_t kInvalidMember = static_cast<int32_t>(0x8007056Cu);
// NERR_BadUsername: empty, too long (over 20 characters) or with a character
// that account names cannot hold.
inline constexpr int32_t kBadUserName = static_cast<int32_t>(0x8007089Au);
// NERR_GroupNotFound.
inline constexpr int32_t kGroupNotFound = static_cast<int32_t>(0x800708ACu);
// NERR_UserNotFound.
inline constexpr int32_t kUserNotFound = static_cast<int32_t>(0x800708ADu);
// NERR_UserExists: a new user or group takes the name of a user.
inline constexpr int32_t kUserExists = static_cast<int32_t>(0x800708B0u);
// E_ADS_BAD_PATHNAME: a path the provider cannot read.
inline constexpr int32_t kBadPathName = static_cast<int32_t>(0x80005000u);
// E_ADS_PROPERTY_NOT_FOUND: a property of a new object that was never set.
inline constexpr int32_t kPropertyNotFound = static_cast<int32_t>(0x8000500Du);
// E_ADS_BAD_PARAMETER: Create or Delete with a class the container does not hold.
inline constexpr int32_t kBadParameter = static_cast<int32_t>(0x80005008u);

}  // namespace tarnwick::platform::embedded::account_errors
