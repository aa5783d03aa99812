// Internals of formatFixed, visible so the tests can hold the fast integer path
// against the exact digit-string path it must always agree with.
#pragma once

#include <optional>
#include <string>

namespace tessaro::detail {

// Clamped arguments: precision >= 1, 0 <= decimals <= kMaxDecimals.
constexpr int kMaxDecimals = 1100;

// Always correct: rounds the complete decimal expansion of the double.
std::string formatFixedExact(double value, int precision, int decimals, char decimalSeparator);

// Exact integer arithmetic for the usual magnitudes; nullopt where it does not apply.
std::optional<std::string> formatFixedFast(double value, int precision, int decimals,
                                           char decimalSeparator);

} // namespace tessaro::detail
