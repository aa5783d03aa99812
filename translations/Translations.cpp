#include "Translations.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>
#include <memory>

extern const tessaro::TranslationTable* const tessaro_translation_de;

namespace tessaro {

bool useLanguage(const QLocale& locale) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const TranslationTable* const tables[] = {tessaro_translation_de};
    // In the user's order of preference: "de-AT", then "de"; an English entry
    // before any German one means English.
    for (const QString& wanted : locale.uiLanguages()) {
        const QString language = wanted.section(QLatin1Char('-'), 0, 0).toLower();
        if (language == QLatin1String("en") || language == QLatin1String("c")) {
            return false;
        }
        for (const TranslationTable* table : tables) {
            if (language != QLatin1String(table->language)) {
                continue;
            }
            auto translator = std::make_unique<QTranslator>();
            if (!translator->load(table->data, static_cast<int>(table->size))) {
                return false;
            }
            QCoreApplication::installTranslator(translator.get());
            installed = std::move(translator);
            return true;
        }
    }
    return false;
}

} // namespace tessaro
