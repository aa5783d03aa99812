#include "Settings.h"

#include <QCoreApplication>
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

std::vector<std::string> SettingsStore::comDevices() {
    const SettingsStore store;
    std::vector<std::string> devices;
    for (int port = 1; port <= 4; ++port) {
        const QVariant value = store.m_settings->value(QLatin1String(settings::kComDevicePrefix) +
                                                       QString::number(port));
        const bool isText = value.typeId() == QMetaType::QString;
        devices.push_back(isText ? value.toString().trimmed().toStdString() : std::string());
    }
    return devices;
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

namespace {

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
    const bool isText = value.maxLength >= 0;
    try {
        if (isText) {
            read = store.readString(value.name);
        } else {
            read = store.readInteger(value.name);
        }
    } catch (const SettingsError&) {
        return isText ? SettingsText::tr("\"%1\" is not a plain text").arg(raw)
                      : SettingsText::tr("\"%1\" is not a whole number").arg(raw);
    }
    if (isText) {
        if (read.toString().size() > value.maxLength) {
            return SettingsText::tr("\"%1\" is longer than its field (%2 characters)")
                .arg(raw)
                .arg(value.maxLength);
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

bool loadValues(const std::vector<StoredValue>& values, QMap<QString, QVariant>& stored,
                QString& report) {
    const SettingsStore store;
    stored.clear();
    report.clear();
    if (!store.keyExists()) {
        return false;
    }
    QStringList replaced;
    for (const StoredValue& value : values) {
        QVariant read;
        const QString problem = problemWith(store, value, read);
        if (problem.isEmpty()) {
            value.set(read);
            stored.insert(QLatin1String(value.name), read);
            continue;
        }
        value.set(value.firstStart);
        if (!(value.missingIsSilent && !store.contains(value.name))) {
            replaced << QStringLiteral("%1: %2").arg(QLatin1String(value.name), problem);
        }
    }
    if (!replaced.isEmpty()) {
        report = SettingsText::tr(
                     "Some settings in %1 could not be used:\n\n%2\n\n"
                     "These start with their first-start values; all other settings are kept. "
                     "When Tessaro ends, the values shown are stored.")
                     .arg(store.location(), replaced.join(QLatin1Char('\n')));
    }
    return true;
}

void saveChangedValues(const std::vector<StoredValue>& values,
                       const QMap<QString, QVariant>& stored) {
    SettingsStore store;
    for (const StoredValue& value : values) {
        const QVariant shown = value.get();
        const auto read = stored.constFind(QLatin1String(value.name));
        if (read != stored.cend() && *read == shown) {
            continue;
        }
        if (value.maxLength >= 0) {
            store.writeString(value.name, shown.toString());
        } else {
            store.writeInteger(value.name, shown.toInt());
        }
    }
    store.flush();
}

} // namespace tessaro
