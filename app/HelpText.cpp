#include "HelpText.h"

namespace tessaro {

const std::array<const char*, 70> kHelpLines = {
    "Help for Tessaro 2.0",
    "",
    "Setup",
    "------",
    "Select the unit of the distance results:",
    "- km: kilometres",
    "- mi: US statute miles",
    "- nm: nautical miles",
    "",
    "Select the length of the QTH locator:",
    "6 or 8 characters, 6 is the default.",
    "When entering a locator, you can use 6 or 8",
    "characters regardless of this option. With 8",
    "characters you get a better precision.",
    "The precision of each location is shown.",
    "",
    "",
    "Select Center Lat/Lon coordinates",
    "",
    "The lat/lon coordinates resulting from a locator",
    "can be centred or not. If not, the south-west",
    "corner of the grid square is calculated.",
    "If centred, the middle of the grid square is",
    "calculated.",
    "",
    "GPS Support",
    "Any NMEA compatible GPS can be used with Tessaro.",
    "Select the COM port and the speed (baud rate) of",
    "the serial connection to your PC.",
    "Select how to use the GPS data:",
    "- as starting point ",
    "- as destination point",
    "- or not at all (off)",
    "The arrow keys move through these choices;",
    "Space chooses the one with the focus.",
    "During GPS reception the latest 4 GPS messages are",
    "shown in the GPS monitor; the status line shows the ",
    "time (in UT) when the last valid GPS data was ",
    "received.",
    "",
    "",
    "Usage",
    "------",
    "Page QTH Locator",
    "Enter the first and the second locator and press",
    "Enter (if GPS is off).",
    "The resulting distance, bearing and reverse bearing",
    "are shown.",
    "Additionally both locators are translated into",
    "geographic Lat/Lon format. The precision of these",
    "coordinates depends on whether 6 or 8 characters",
    "were entered for the locator.",
    "",
    "Page Lat/Lon",
    "Enter geographic coordinates for both positions",
    "and press Enter (if GPS is off).",
    "The resulting distance, bearing and reverse bearing",
    "are shown.",
    "Additionally both locations are translated into",
    "QTH locators. When the \"8 digits\" option in Setup",
    "is selected, the locator is given with 8",
    "characters, otherwise with 6.",
    "",
    "Page Car",
    "Tick \"Show Car page\" on the Setup page to show it;",
    "Tessaro remembers the choice. Enter the vehicle's",
    "heading, or let GPS (as starting point) derive it",
    "from the fixes. Each Lat/Lon calculation then shows",
    "the destination's bearing relative to the heading,",
    "as a number and as a pointer on the car picture.",
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
