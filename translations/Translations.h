// The program's languages. English is the sources' own; other languages are
// Qt translation tables built into the program (translations/*.ts).
#pragma once

#include <QLocale>
#include <cstddef>

namespace tessaro {

struct TranslationTable {
    const char* language; // "de"
    const unsigned char* data;
    std::size_t size;
};

// Installs the translation that best fits the locale's user-interface
// languages in the running application, replacing an earlier one; with none
// that fits, the texts are English. Returns whether a translation is in use.
bool useLanguage(const QLocale& locale);

} // namespace tessaro
