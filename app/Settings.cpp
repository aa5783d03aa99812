#include "Settings.h"

#include "Form1.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QSettings>
#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

namespace tessaro {
namespace {

// The messages' translation context.
class SettingsText {
    Q_DECLARE_TR_FUNCTIONS(Settings)
};

[[noreturn]] void cannotRead(const char* name) {
    throw SettingsError(SettingsText::tr("Cannot read the value '%1'").arg(QLatin1String(name)));
}

[[noreturn]] void wrongType(const char* name) {
    throw SettingsError(
        SettingsText::tr("The value '%1' has the wrong type").arg(QLatin1String(name)));
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

bool SettingsStore::contains(const char* name) const {
    return m_settings->contains(QLatin1String(name));
}

QString SettingsStore::location() const {
#ifdef _WIN32
    // The registry path names the application's key; the values are in its
    // group. Qt writes it with a leading backslash, which regedit does not.
    QString key = m_settings->fileName();
    if (key.startsWith(QLatin1Char('\\'))) {
        key.remove(0, 1);
    }
    return key + QLatin1Char('\\') + QLatin1String(settings::kGroup);
#else
    return m_settings->fileName();
#endif
}

QString SettingsStore::rawText(const char* name) const {
    const QVariant value = m_settings->value(QLatin1String(name));
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    if (value.typeId() == QMetaType::QByteArray) {
        return QString::fromLatin1(value.toByteArray().toHex(' '));
    }
    return value.toString();
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
    m_written << QLatin1String(name);
    m_settings->setValue(QLatin1String(name), value);
}

void SettingsStore::writeInteger(const char* name, std::int32_t value) {
    m_written << QLatin1String(name);
    m_settings->setValue(QLatin1String(name), static_cast<int>(value));
}

void SettingsStore::writeBool(const char* name, bool value) {
    writeInteger(name, value ? 1 : 0);
}

void SettingsStore::flush() {
    m_settings->sync();
    // A malformed old file only sets FormatError; the write itself fails with AccessError.
    if (m_settings->status() == QSettings::AccessError) {
        throw SettingsError(
            SettingsText::tr("Tessaro could not store its settings in %1 (%2). "
                             "Not stored: %3. The settings stored before are kept")
                .arg(location(), writeFailureReason(), m_written.join(QStringLiteral(", "))));
    }
}

// QSettings does not say why a write failed; a trial write at the same place
// does (the file itself is left alone).
QString SettingsStore::writeFailureReason() const {
#ifdef _WIN32
    return SettingsText::tr("the registry refused the write");
#else
    QSaveFile trial(m_settings->fileName());
    if (!trial.open(QIODevice::WriteOnly)) {
        return trial.errorString();
    }
    trial.cancelWriting();
    return SettingsText::tr("the system gave no reason");
#endif
}

} // namespace tessaro

namespace key = tessaro::settings;
using tessaro::SettingsError;
using tessaro::SettingsStore;
using tessaro::SettingsText;

namespace {

// One stored value and the window field it feeds. A text must fit its edit
// field; an integer must lie in [lowest, highest] (a radio group's items, the
// pages). What fails takes the first-start value.
struct StoredValue {
    const char* name;
    QLineEdit* field; // the edit field of a text; nullptr for an integer
    std::int32_t lowest;
    std::int32_t highest;
    // Values that earlier versions did not store take their first-start value unannounced.
    bool missingIsSilent;
    QVariant firstStart;
    std::function<QVariant()> get;
    std::function<void(const QVariant&)> set;
};

StoredValue text(const char* name, QLineEdit* field, QString& value, bool missingIsSilent = false) {
    return {name,
            field,
            0,
            0,
            missingIsSilent,
            field->text(),
            [&value] { return QVariant(value); },
            [&value](const QVariant& read) { value = read.toString(); }};
}

StoredValue index(const char* name, const TRadioGroup* group, std::int32_t& value,
                  bool missingIsSilent, std::int32_t firstStart) {
    return {name,
            nullptr,
            0,
            group->Count() - 1,
            missingIsSilent,
            firstStart,
            [&value] { return QVariant(value); },
            [&value](const QVariant& read) { value = read.toInt(); }};
}

// In the order earlier versions read and wrote them. The first-start values
// are the controls' layout values (read before anything is put into them),
// and for the later six what earlier versions took when they were missing.
std::vector<StoredValue> storedValues(TForm1& f) {
    std::vector<StoredValue> values = {
        text(key::kFmLatDeg, f.edFmLatDeg, f.fmLatDegText),
        text(key::kFmLatMin, f.edFmLatMin, f.fmLatMinText),
        text(key::kFmLatSec, f.edFmLatSec, f.fmLatSecText),
        text(key::kFmLonDeg, f.edFmLonDeg, f.fmLonDegText),
        text(key::kFmLonMin, f.edFmLonMin, f.fmLonMinText),
        text(key::kFmLonSec, f.edFmLonSec, f.fmLonSecText),
        index(key::kFmLatHemisphere, f.rgFmLat, f.fmLatHemisphere, false, f.rgFmLat->ItemIndex()),
        index(key::kFmLonHemisphere, f.rgFmLon, f.fmLonHemisphere, false, f.rgFmLon->ItemIndex()),
        index(key::kUnits, f.rgUnits, f.unitsIndex, false, f.rgUnits->ItemIndex()),
        text(key::kQthLocator, f.edFmQth, f.qthLocText),
        index(key::kNumDigits, f.rgDigits, f.numDigitsIndex, true, 0),
        index(key::kComPort, f.rgComport, f.comPortIndex, true, 0),
        index(key::kComSpeed, f.rgComspeed, f.comSpeedIndex, true, 0),
    };
    values.push_back({key::kActivePage, nullptr, 0, f.PageControl1->count() - 1, true, 1,
                      [&f] { return QVariant(f.activePage); },
                      [&f](const QVariant& read) { f.activePage = read.toInt(); }});
    // Any integer reads as a Boolean; the raw number stays the comparison's
    // base, so that a 5 is written back as 1.
    values.push_back({key::kCenter, nullptr, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), true, 1,
                      [&f] { return QVariant(f.centerLocator ? 1 : 0); },
                      [&f](const QVariant& read) { f.centerLocator = read.toInt() != 0; }});
    values.push_back(index(key::kGpsTarget, f.rgGpsTarget, f.gpsTarget, true, 2));
    values.push_back({key::kShowCarPage, nullptr, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), true, 0,
                      [&f] { return QVariant(f.showCarPage ? 1 : 0); },
                      [&f](const QVariant& read) { f.showCarPage = read.toInt() != 0; }});
    // Absent in stores of earlier versions: the plane, as they computed.
    values.push_back(index(key::kDistanceMethod, f.rgMethod, f.distanceMethod, true, 0));
    values.push_back({key::kLocatorUdp, nullptr, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), true, 0,
                      [&f] { return QVariant(f.locatorUdpOn ? 1 : 0); },
                      [&f](const QVariant& read) { f.locatorUdpOn = read.toInt() != 0; }});
    values.push_back(text(key::kLocatorUdpServer, f.edLocatorUdpServer, f.locatorUdpServer, true));
    return values;
}

// Why a stored value cannot be used, or an empty text when it can; `read`
// then holds it.
QString problemWith(const SettingsStore& store, const StoredValue& value, QVariant& read) {
    if (!store.contains(value.name)) {
        return SettingsText::tr("missing");
    }
    // A damaged line can be a megabyte long: the message shows its start.
    QString raw = store.rawText(value.name);
    if (raw.size() > 40) {
        raw = raw.left(37) + QStringLiteral("...");
    }
    try {
        if (value.field != nullptr) {
            read = store.readString(value.name);
        } else {
            read = store.readInteger(value.name);
        }
    } catch (const SettingsError&) {
        return value.field != nullptr ? SettingsText::tr("\"%1\" is not a plain text").arg(raw)
                                      : SettingsText::tr("\"%1\" is not a whole number").arg(raw);
    }
    if (value.field != nullptr) {
        if (read.toString().size() > value.field->maxLength()) {
            return SettingsText::tr("\"%1\" is longer than its field (%2 characters)")
                .arg(raw)
                .arg(value.field->maxLength());
        }
        return {};
    }
    const std::int32_t number = read.toInt();
    if (number < value.lowest || number > value.highest) {
        return SettingsText::tr("%1 is not between %2 and %3")
            .arg(number)
            .arg(value.lowest)
            .arg(value.highest);
    }
    return {};
}

} // namespace

bool TForm1::LoadSettings() {
    SettingsStore store;
    settingsRead = true;
    storedSettings.clear();
    settingsReport.clear();
    if (!store.keyExists()) {
        useFirstStartDefaults();
        return false;
    }

    QStringList replaced;
    for (const StoredValue& value : storedValues(*this)) {
        QVariant read;
        const QString problem = problemWith(store, value, read);
        if (problem.isEmpty()) {
            value.set(read);
            storedSettings.insert(QLatin1String(value.name), read);
            continue;
        }
        value.set(value.firstStart);
        if (!(value.missingIsSilent && !store.contains(value.name))) {
            replaced << QStringLiteral("%1: %2").arg(QLatin1String(value.name), problem);
        }
    }
    eightDigits = numDigitsIndex != 0;
    if (!replaced.isEmpty()) {
        settingsReport =
            SettingsText::tr(
                "Some settings in %1 could not be used:\n\n%2\n\n"
                "These start with their first-start values; all other settings are kept. "
                "When Tessaro ends, the values shown are stored.")
                .arg(store.location(), replaced.join(QLatin1Char('\n')));
    }
    return true;
}

// A first start: GPS use Off, so that the stored use is never one the user
// did not pick; and centring as the check box shows it, which is what is stored.
void TForm1::useFirstStartDefaults() {
    gpsTarget = 2;
    rgGpsTarget->SetItemIndex(2);
    centerLocator = CheckBox1->isChecked();
}

// Only what changed in this window since the read: values that another copy
// of the program stored meanwhile stay (QSettings merges at the write).
void TForm1::SaveSettings() {
    if (!settingsRead) {
        // Ended before the first activation: the window shows layout values, not the user's.
        return;
    }
    SettingsStore store;
    for (const StoredValue& value : storedValues(*this)) {
        const QVariant shown = value.get();
        const auto stored = storedSettings.constFind(QLatin1String(value.name));
        if (stored != storedSettings.cend() && *stored == shown) {
            continue;
        }
        if (value.field != nullptr) {
            store.writeString(value.name, shown.toString());
        } else {
            store.writeInteger(value.name, shown.toInt());
        }
    }
    store.flush();
}
