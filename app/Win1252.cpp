#include "Win1252.h"

#include <QLocale>
#include <array>
#include <cstdint>

namespace tessaro {
namespace {

// 0x80..0x9F differ from Latin-1; 0 marks the five unassigned codes.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QString fromWin1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t u = kHighControls[b - 0x80];
            // Unassigned codes pass through as the C1 control of the same number.
            text.append(QChar(u != 0 ? u : static_cast<char16_t>(b)));
        } else {
            text.append(QChar(static_cast<char16_t>(b)));
        }
    }
    return text;
}

std::string toWin1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t u = text.at(at).unicode();
        // A character beyond the basic plane is one '?', not two.
        if (QChar::isHighSurrogate(u) && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
            ++at;
        }
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.push_back(static_cast<char>(u));
            continue;
        }
        char out = '?';
        for (std::size_t i = 0; i < kHighControls.size(); ++i) {
            const char16_t mapped = kHighControls[i];
            if (mapped == u || (mapped == 0 && u == 0x80 + i)) {
                out = static_cast<char>(0x80 + i);
                break;
            }
        }
        bytes.push_back(out);
    }
    return bytes;
}

char decimalSeparator() {
    const std::string separator = toWin1252(QLocale().decimalPoint());
    return separator.size() == 1 && separator != "?" ? separator[0] : '.';
}

} // namespace tessaro
