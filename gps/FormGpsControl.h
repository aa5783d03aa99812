// Hooks of the GPS source control that tests replace.
#pragma once

#include <QString>
#include <functional>

namespace tessaro {

// Shows the box of a port that could not be opened at all (caption, text).
// The default is a modal error box with one OK button; tests record instead.
using PortErrorBox = std::function<void(const QString& caption, const QString& text)>;
// Installs box (nullptr restores the default) and returns the previous one.
PortErrorBox setPortErrorBox(PortErrorBox box);

} // namespace tessaro
