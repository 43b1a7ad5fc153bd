#pragma once
// Checks on the arguments that the stand-in engine's initialisation receives.
#include <string>
#include <string_view>

namespace kx::standin {

// The user key's form: exactly 12 characters, six capital letters A-Z followed
// by six digits 0-9. Any key of that form is accepted.
bool IsUserKeyForm(std::string_view key);

// The program passes its data folder with every backslash byte doubled
// ("C:\\ezTrans\\Dat" for C:\ezTrans\Dat). This undoes the doubling byte by
// byte, the way it was made, so a 0x5C trail byte of a double-byte character
// comes back intact: each pair of backslashes becomes one. A backslash without
// a partner (an odd run, or a path that was never doubled) is kept as it is.
std::string UndoubleBackslashes(std::string_view path);

} // namespace kx::standin
