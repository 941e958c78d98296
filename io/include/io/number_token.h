// The number tokens of a data file.
#ifndef ORVANE_IO_NUMBER_TOKEN_H_
#define ORVANE_IO_NUMBER_TOKEN_H_

#include <string_view>

namespace orvane {

// Converts one token: an optional sign, a run of digits, optionally "." and
// a run of digits, optionally "E" or "e" with an optional sign and at least
// one digit. Either digit run of the mantissa may be empty ("." reads as 0)
// but a sign alone is not a number. The full stop is the only decimal
// separator, whatever the locale. The conversion is correctly rounded to the
// 64-bit mantissa of long double (overflow gives infinity); the caller
// rounds it to single. Returns false for an invalid token.
bool ConvertNumberToken(std::string_view token, long double& value);

}  // namespace orvane

#endif  // ORVANE_IO_NUMBER_TOKEN_H_
