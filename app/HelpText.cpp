#include "HelpText.h"

namespace tessaro {

const std::array<const char*, 60> kHelpLines = {
    "Help for Tessaro 2.0",
    "",
    "Setup",
    "------",
    "Select units for the distance results",
    "- km: kilometer",
    "- mi: US statute miles",
    "- nm: nautical miles",
    "",
    "Select length of QTH Locator",
    "6 or 8 digits, 6 is default.",
    "When entering a locator, you can use 6 or 8",
    "digits regardless of this option. With 8 digits",
    "you get better precision.",
    "Precision of location is shown.",
    "",
    "",
    "Select Center Lat/Lon coordinates",
    "",
    "Resulting lat/lon corrdinates from a locator",
    "can be centered or not. If not, the south -",
    "west borders of the grid square is calculated.",
    "If centered, the middle of the grid square is",
    "calculated.",
    "",
    "GPS Support",
    "Any NMEA compatible GPS can be used with Tessaro.",
    "Select COM Port and Speed (baudrate) of the used",
    "serial connection to your PC.",
    "Select how to use the GPS data:",
    "- as starting point ",
    "- as destination point",
    "- or not at all (off)",
    "During GPS reception the latest 4 GPS messages are",
    "shown in the GPS monitor; the status line shows the ",
    "time (in UT) when the last valid GPS data was ",
    "received.",
    "",
    "",
    "Usage",
    "------",
    "Page QTH Locator",
    "Enter first and second locator, hit enter (if GPS ",
    "off).",
    "The resulting distance, bearing and reverse bearing",
    "is shown.",
    "Additionally both locators are translated into",
    "geo. Lat/Lon format. The precision of the geo.",
    "coordinates depends on whether 6 or 8 digits were",
    "entered at the locator.",
    "",
    "Page Lat/Lon",
    "Enter geo. coordinates for both positions, hit ",
    "enter (if GPS off).",
    "The resulting distance, bearing and reverse bearing",
    "is shown.",
    "Additionally both locations are translated into",
    "QTH Locators. When the \"8 digits\" option in setup",
    "is selected, the locator is givien with 8 digits,",
    "otherwise 6.",
};

std::string helpText() {
    std::string text;
    for (std::size_t i = 0; i < kHelpLines.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += kHelpLines[i];
    }
    return text;
}

} // namespace tessaro
