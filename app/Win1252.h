// The window's edge between the core's Windows-1252 byte strings and QString.
#pragma once

#include <QString>
#include <string>

namespace tessaro {

QString fromWin1252(const std::string& bytes);
// Characters outside Windows-1252 become '?'.
std::string toWin1252(const QString& text);

// The user's decimal separator as a Windows-1252 byte; a separator that is
// not one such character (no locale Qt ships has one) falls back to '.'.
char decimalSeparator();

} // namespace tessaro
