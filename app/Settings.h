// The per-user settings store of the window: QSettings in the native format
// (the registry on Windows, ~/.config/Veltmark-soft/tessaro.conf on Linux),
// group "v1". Every failure is a SettingsError whose text names the value.
// The window reads each value on its own (Settings.cpp): a damaged one takes
// its first-start value, and only the values changed in the window are
// written back, so that a second copy's values survive.
#pragma once

#include "ShownError.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace tessaro {

// Where the values live and what they are called: what earlier runs stored,
// so none of these may change.
namespace settings {
inline constexpr char kOrganisation[] = "Veltmark-soft";
inline constexpr char kApplication[] = "tessaro";
inline constexpr char kGroup[] = "v1";
// "ComDevice1".."ComDevice4": device paths the user sets by hand, never written.
inline constexpr char kComDevicePrefix[] = "ComDevice";

inline constexpr char kFmLatDeg[] = "FmLatitudeDeg";
inline constexpr char kFmLatMin[] = "FmLatitudeMin";
inline constexpr char kFmLatSec[] = "FmLatitudeSec";
inline constexpr char kFmLonDeg[] = "FmLongitudeDeg";
inline constexpr char kFmLonMin[] = "FmLongitudeMin";
inline constexpr char kFmLonSec[] = "FmLongitudeSec";
inline constexpr char kFmLatHemisphere[] = "FmLatitude_NS";
inline constexpr char kFmLonHemisphere[] = "FMLongitude_EW";
inline constexpr char kUnits[] = "Units";
inline constexpr char kQthLocator[] = "qthloc";
inline constexpr char kNumDigits[] = "numdigits";
inline constexpr char kComPort[] = "comport";
inline constexpr char kComSpeed[] = "comspeed";
inline constexpr char kActivePage[] = "actpage";
inline constexpr char kCenter[] = "center";
inline constexpr char kGpsTarget[] = "target";
// 0 plane, 1 great circle; absent in stores of earlier versions: plane.
inline constexpr char kDistanceMethod[] = "distmethod";
// "Show Car page", 0 or 1; absent in files of earlier versions, which read as unticked.
inline constexpr char kShowCarPage[] = "showcar";
// "Send my locator to WSJT-X / JTDX", 0 or 1, and its UDP server as HOST:PORT;
// absent in stores of earlier versions: off, 127.0.0.1:2237.
inline constexpr char kLocatorUdp[] = "LocatorUdp";
inline constexpr char kLocatorUdpServer[] = "LocatorUdpServer";
} // namespace settings

class SettingsError : public ShownError {
public:
    using ShownError::ShownError;
};

class SettingsStore {
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The group holds at least one value.
    bool keyExists() const;
    bool contains(const char* name) const;
    // Where the values live, for messages: the file, or the registry key.
    QString location() const;
    // The stored value as a person would read it in the file, for messages.
    QString rawText(const char* name) const;

    // Missing: empty text. Anything but a plain text: wrong type.
    QString readString(const char* name) const;
    // Missing: cannot read. Not a whole 32-bit number: wrong type.
    std::int32_t readInteger(const char* name) const;
    // Any non-zero integer is true.
    bool readBool(const char* name) const;

    // The devices of GPS ports 1..4 that the user named by hand ("" where
    // none is); anything but a text counts as none, so it cannot stop the start.
    static std::vector<std::string> comDevices();

    void writeString(const char* name, const QString& value);
    void writeInteger(const char* name, std::int32_t value);
    void writeBool(const char* name, bool value);
    // Puts the written values into the store at once (QSettings replaces the
    // file atomically, so a failure leaves the previous contents whole).
    // Failure names the store, the system's reason and every value written:
    // none of them reached the store.
    void flush();

private:
    QString writeFailureReason() const;

    std::unique_ptr<QSettings> m_settings;
    QStringList m_written;
};

// One value of the window as it is stored. A text must fit its field; an
// integer must lie in [lowest, highest] (a radio group's items, the pages).
// What fails takes its first-start value.
struct StoredValue {
    const char* name;
    std::int32_t maxLength; // a text's field length; -1: an integer
    std::int32_t lowest;
    std::int32_t highest;
    // Values that earlier versions did not store take their first-start value unannounced.
    bool missingIsSilent;
    QVariant firstStart;
    std::function<QVariant()> get;
    std::function<void(const QVariant&)> set;
};

// Reads each value on its own into its place. False when the store holds
// none (a first start): then nothing is set. `stored` receives the values as
// they were read (those replaced are absent), `report` the message naming the
// replaced ones, empty when none was.
bool loadValues(const std::vector<StoredValue>& values, QMap<QString, QVariant>& stored,
                QString& report);
// Writes only the values that differ from `stored` (what loadValues read), so
// that values another copy of the program stored meanwhile stay.
void saveChangedValues(const std::vector<StoredValue>& values,
                       const QMap<QString, QVariant>& stored);

} // namespace tessaro
