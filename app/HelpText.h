// The help text shown on the About/Help page.
#pragma once

#include <array>
#include <string>

namespace tessaro {

// Sixty lines, trailing blanks included; Windows-1252 (plain ASCII today).
extern const std::array<const char*, 70> kHelpLines;

// The lines joined by line feeds, without one after the last line.
std::string helpText();

} // namespace tessaro
