// What the window asks of the link to WSJT-X and JTDX. The link brings Qt
// Network and, through it, the system's proxy and Kerberos libraries: loading
// them costs the window about a tenth of its start, and most stations never
// turn the link on. So on Linux it is a module (tessaro-wsjtx.so) loaded when
// first turned on; on Windows, where the program is one static file, it is
// linked in.
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <string>

class QObject;

class LocatorService {
public:
    LocatorService() = default;
    virtual ~LocatorService() = default;
    LocatorService(const LocatorService&) = delete;
    LocatorService& operator=(const LocatorService&) = delete;

    // Listens on `server` ("HOST:PORT") while `on`; otherwise on nothing.
    virtual void configure(bool on, const QString& server) = 0;
    // The locator of the start point's current fix.
    virtual void setOwnLocator(const std::string& locator) = 0;
    // `report` gets each new text for the user (which program took which
    // locator, or why none did).
    virtual void onStatusChanged(std::function<void(const QString&)> report) = 0;
};

#ifdef TESSARO_LOCATOR_MODULE
#define TESSARO_LOCATOR_EXPORT Q_DECL_EXPORT
#else
#define TESSARO_LOCATOR_EXPORT
#endif

// The module's one entry: a link that `parent` owns (and deletes).
extern "C" TESSARO_LOCATOR_EXPORT LocatorService* tessaroCreateLocatorService(QObject* parent);
