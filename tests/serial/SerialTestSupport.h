// A recorder that takes the serial component's error boxes instead of
// showing them, and the shared waits.
#pragma once

#include "Serial4.h"
#include "Wait.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro::test {

struct ErrorBoxes {
    std::vector<std::pair<std::string, std::string>> shown; // caption, text
    std::function<void()> onShow; // what the user does while a box is open

    ErrorBoxes() {
        previous = setSerialErrorBox([this](const QString& caption, const QString& text) {
            shown.emplace_back(caption.toStdString(), text.toStdString());
            if (onShow) {
                onShow();
            }
        });
    }
    ~ErrorBoxes() { setSerialErrorBox(previous); }
    ErrorBoxes(const ErrorBoxes&) = delete;
    ErrorBoxes& operator=(const ErrorBoxes&) = delete;

private:
    SerialErrorBox previous;
};

} // namespace tessaro::test
