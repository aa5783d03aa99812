# Writes the compiled translation QM as a C++ byte array for Translations.cpp.
file(READ ${QM} bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
file(WRITE ${CPP}.tmp
"// Generated from tessaro_${LANGUAGE}.qm by translations/embed.cmake.
#include \"Translations.h\"
namespace {
const unsigned char table[] = {${bytes}};
const tessaro::TranslationTable entry{\"${LANGUAGE}\", table, sizeof table};
} // namespace
extern const tessaro::TranslationTable* const tessaro_translation_${LANGUAGE};
const tessaro::TranslationTable* const tessaro_translation_${LANGUAGE} = &entry;
")
file(RENAME ${CPP}.tmp ${CPP})
