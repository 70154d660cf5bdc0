// The error numbers that metabase objects raise: the HRESULTs the IIS
// directory provider returns, as signed 32-bit values, so that a script (and
// the status page that shows the number) sees what it would see on Windows.
#pragma once

#include <cstdint>

namespace tarnwick::platform::metabase::errors {

// The key (or the key that should hold a new one) does not exist.
inline constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
// A key of that name exists, or is being created by another process; also
// a site whose binding another started site already serves.
inline constexpr int32_t kAlreadyExists = static_cast<int32_t>(0x800700B7u);
// The computer part of a path names another computer.
inline constexpr int32_t kBadNetPath = static_cast<int32_t>(0x80070035u);
// An empty or malformed key name, an application mode out of range, a
// server binding that cannot be parsed.
inline constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
// A path that is not an "IIS://" path at all.
inline constexpr int32_t kInvalidSyntax = static_cast<int32_t>(0x800401E4u);
// Get of a property that is not set on the key.
inline constexpr int32_t kPropertyNotFound = static_cast<int32_t>(0x8000500Du);
// Put of a property the metabase does not know, or one that cannot be written.
inline constexpr int32_t kPropertyNotSupported = static_cast<int32_t>(0x80005006u);
// An unknown class, or a class that the container cannot hold.
inline constexpr int32_t kSchemaViolation = static_cast<int32_t>(0x8000500Fu);

}  // namespace tarnwick::platform::metabase::errors
