#pragma once
// The statuses this adapter reports: 0 is success, every failure is non-zero. The host only
// tells zero from non-zero; the distinct values help whoever reads a trace.

namespace host::platform::linux_atspi::status {

inline constexpr int success = 0;
inline constexpr int failed = 1;      // the request failed or timed out (hung application)
inline constexpr int noValue = 2;     // the attribute exists but has no value here
inline constexpr int unsupported = 3; // attribute, action or interface not offered
inline constexpr int invalidElement = 4;
inline constexpr int noService = 5; // no accessibility bus in this session

} // namespace host::platform::linux_atspi::status
