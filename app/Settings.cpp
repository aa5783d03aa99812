#include "Settings.h"

#include "Form1.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QSettings>
#include <algorithm>
#include <limits>

namespace tessaro {
namespace {

std::string errorText(const char* pattern, const char* name) {
    std::string text(pattern);
    text.replace(text.find("%s"), 2, name);
    return text;
}

[[noreturn]] void cannotRead(const char* name) {
    throw SettingsError(errorText("Konnte Daten f\xFCr '%s' nicht holen", name));
}

[[noreturn]] void wrongType(const char* name) {
    throw SettingsError(errorText("Ung\xFCltiger Datentyp f\xFCr '%s'", name));
}

// A read whose store error is not reported: the default goes into the field
// and, through showDefault, into the control. Other errors pass on.
template <class T, class Read, class ShowDefault>
void readGuarded(T& field, Read read, T fallback, ShowDefault showDefault) {
    try {
        field = read();
    } catch (const SettingsError&) {
        field = fallback;
        showDefault();
    }
}

} // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Veltmark-soft"),
                                             QStringLiteral("tessaro"))) {
    m_settings->beginGroup(QStringLiteral("v1"));
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::keyExists() const {
    // The port mapping "ComDevice1".."ComDevice4" is the user's own, written
    // by hand before a first start: it does not make the program's values exist.
    const QStringList keys = m_settings->childKeys();
    const bool ownValue = std::any_of(keys.begin(), keys.end(), [](const QString& key) {
        return !key.startsWith(QLatin1String("ComDevice"));
    });
    return ownValue || !m_settings->childGroups().isEmpty();
}

QString SettingsStore::readString(const char* name) const {
    const QVariant value = m_settings->value(QLatin1String(name));
    if (!value.isValid()) {
        return {};
    }
    if (value.typeId() != QMetaType::QString) {
        wrongType(name);
    }
    return value.toString();
}

std::int32_t SettingsStore::readInteger(const char* name) const {
    const QVariant value = m_settings->value(QLatin1String(name));
    if (!value.isValid()) {
        cannotRead(name);
    }
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::QString:
        // The text store keeps numbers as text; only a whole number will do.
        number = value.toString().toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max()) {
        wrongType(name);
    }
    return static_cast<std::int32_t>(number);
}

bool SettingsStore::readBool(const char* name) const {
    return readInteger(name) != 0;
}

void SettingsStore::writeString(const char* name, const QString& value) {
    if (m_firstWritten.empty()) {
        m_firstWritten = name;
    }
    m_settings->setValue(QLatin1String(name), value);
}

void SettingsStore::writeInteger(const char* name, std::int32_t value) {
    if (m_firstWritten.empty()) {
        m_firstWritten = name;
    }
    m_settings->setValue(QLatin1String(name), static_cast<int>(value));
}

void SettingsStore::writeBool(const char* name, bool value) {
    writeInteger(name, value ? 1 : 0);
}

void SettingsStore::flush() {
    m_settings->sync();
    // A malformed old file only sets FormatError; the write itself fails with AccessError.
    if (m_settings->status() == QSettings::AccessError) {
        throw SettingsError(errorText("Konnte Daten f\xFCr '%s' nicht setzen",
                                      m_firstWritten.empty() ? "" : m_firstWritten.c_str()));
    }
}

} // namespace tessaro

using tessaro::readGuarded;
using tessaro::SettingsStore;

bool TForm1::LoadSettings() {
    SettingsStore store;
    if (!store.keyExists()) {
        useFirstStartDefaults();
        return false;
    }

    // Unguarded: a failure here ends the first activation.
    fmLatDegText = store.readString("FmLatitudeDeg");
    fmLatMinText = store.readString("FmLatitudeMin");
    fmLatSecText = store.readString("FmLatitudeSec");
    fmLonDegText = store.readString("FmLongitudeDeg");
    fmLonMinText = store.readString("FmLongitudeMin");
    fmLonSecText = store.readString("FmLongitudeSec");
    fmLatHemisphere = store.readInteger("FmLatitude_NS");
    fmLonHemisphere = store.readInteger("FMLongitude_EW");
    unitsIndex = store.readInteger("Units");
    qthLocText = store.readString("qthloc");

    // Guarded: a missing or mistyped value takes its default, in the field and the control.
    readGuarded(
        numDigitsIndex, [&] { return store.readInteger("numdigits"); }, 0,
        [this] { rgDigits->SetItemIndex(0); });
    eightDigits = numDigitsIndex != 0;
    readGuarded(
        comPortIndex, [&] { return store.readInteger("comport"); }, 0,
        [this] { rgComport->SetItemIndex(0); });
    readGuarded(
        comSpeedIndex, [&] { return store.readInteger("comspeed"); }, 0,
        [this] { rgComspeed->SetItemIndex(0); });
    readGuarded(
        activePage, [&] { return store.readInteger("actpage"); }, 1,
        [this] { showPageFromCode(1); });
    readGuarded(
        centerLocator, [&] { return store.readBool("center"); }, true,
        [this] { CheckBox1->setChecked(true); });
    readGuarded(
        gpsTarget, [&] { return store.readInteger("target"); }, 2,
        [this] { rgGpsTarget->SetItemIndex(2); });
    return true;
}

// Also what a read error leaves for the values it did not reach: GPS use Off,
// as for a missing "target", so that the stored use is never one the user did
// not pick; and centring as the check box shows it, which is what is stored.
void TForm1::useFirstStartDefaults() {
    gpsTarget = 2;
    rgGpsTarget->SetItemIndex(2);
    centerLocator = CheckBox1->isChecked();
}

void TForm1::SaveSettings() {
    SettingsStore store;
    store.writeString("FmLatitudeDeg", fmLatDegText);
    store.writeString("FmLatitudeMin", fmLatMinText);
    store.writeString("FmLatitudeSec", fmLatSecText);
    store.writeString("FmLongitudeDeg", fmLonDegText);
    store.writeString("FmLongitudeMin", fmLonMinText);
    store.writeString("FmLongitudeSec", fmLonSecText);
    store.writeInteger("FmLatitude_NS", fmLatHemisphere);
    store.writeInteger("FMLongitude_EW", fmLonHemisphere);
    store.writeInteger("Units", unitsIndex);
    store.writeString("qthloc", qthLocText);
    store.writeInteger("numdigits", numDigitsIndex);
    store.writeInteger("comport", comPortIndex);
    store.writeInteger("comspeed", comSpeedIndex);
    store.writeInteger("actpage", activePage);
    store.writeBool("center", centerLocator);
    store.writeInteger("target", gpsTarget);
    store.flush();
}
