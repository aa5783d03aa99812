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
                                             QLatin1String(settings::kOrganisation),
                                             QLatin1String(settings::kApplication))) {
    m_settings->beginGroup(QLatin1String(settings::kGroup));
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::keyExists() const {
    // The port mapping is the user's own, written by hand before a first
    // start: it does not make the program's values exist.
    const QStringList keys = m_settings->childKeys();
    const bool ownValue = std::any_of(keys.begin(), keys.end(), [](const QString& key) {
        return !key.startsWith(QLatin1String(settings::kComDevicePrefix));
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

namespace key = tessaro::settings;
using tessaro::readGuarded;
using tessaro::SettingsStore;

bool TForm1::LoadSettings() {
    SettingsStore store;
    if (!store.keyExists()) {
        useFirstStartDefaults();
        return false;
    }

    // Unguarded: a failure here ends the first activation.
    fmLatDegText = store.readString(key::kFmLatDeg);
    fmLatMinText = store.readString(key::kFmLatMin);
    fmLatSecText = store.readString(key::kFmLatSec);
    fmLonDegText = store.readString(key::kFmLonDeg);
    fmLonMinText = store.readString(key::kFmLonMin);
    fmLonSecText = store.readString(key::kFmLonSec);
    fmLatHemisphere = store.readInteger(key::kFmLatHemisphere);
    fmLonHemisphere = store.readInteger(key::kFmLonHemisphere);
    unitsIndex = store.readInteger(key::kUnits);
    qthLocText = store.readString(key::kQthLocator);

    // Guarded: a missing or mistyped value takes its default, in the field and the control.
    readGuarded(
        numDigitsIndex, [&] { return store.readInteger(key::kNumDigits); }, 0,
        [this] { rgDigits->SetItemIndex(0); });
    eightDigits = numDigitsIndex != 0;
    readGuarded(
        comPortIndex, [&] { return store.readInteger(key::kComPort); }, 0,
        [this] { rgComport->SetItemIndex(0); });
    readGuarded(
        comSpeedIndex, [&] { return store.readInteger(key::kComSpeed); }, 0,
        [this] { rgComspeed->SetItemIndex(0); });
    readGuarded(
        activePage, [&] { return store.readInteger(key::kActivePage); }, 1,
        [this] { showPageFromCode(1); });
    readGuarded(
        centerLocator, [&] { return store.readBool(key::kCenter); }, true,
        [this] { CheckBox1->setChecked(true); });
    readGuarded(
        gpsTarget, [&] { return store.readInteger(key::kGpsTarget); }, 2,
        [this] { rgGpsTarget->SetItemIndex(2); });
    readGuarded(
        distanceMethod, [&] { return store.readInteger(key::kDistanceMethod); }, 0,
        [this] { rgMethod->SetItemIndex(0); });
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
    store.writeString(key::kFmLatDeg, fmLatDegText);
    store.writeString(key::kFmLatMin, fmLatMinText);
    store.writeString(key::kFmLatSec, fmLatSecText);
    store.writeString(key::kFmLonDeg, fmLonDegText);
    store.writeString(key::kFmLonMin, fmLonMinText);
    store.writeString(key::kFmLonSec, fmLonSecText);
    store.writeInteger(key::kFmLatHemisphere, fmLatHemisphere);
    store.writeInteger(key::kFmLonHemisphere, fmLonHemisphere);
    store.writeInteger(key::kUnits, unitsIndex);
    store.writeString(key::kQthLocator, qthLocText);
    store.writeInteger(key::kNumDigits, numDigitsIndex);
    store.writeInteger(key::kComPort, comPortIndex);
    store.writeInteger(key::kComSpeed, comSpeedIndex);
    store.writeInteger(key::kActivePage, activePage);
    store.writeBool(key::kCenter, centerLocator);
    store.writeInteger(key::kGpsTarget, gpsTarget);
    store.writeInteger(key::kDistanceMethod, distanceMethod);
    store.flush();
}
