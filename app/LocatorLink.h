// The window's hold on the link to WSJT-X and JTDX (LocatorService.h): the
// link is made, and on Linux its module loaded, when it is first turned on.
#pragma once

#include <QString>
#include <functional>
#include <string>

class LocatorService;
class QObject;

class LocatorLink {
public:
    LocatorLink(QObject* owner, std::function<void(const QString&)> showStatus);

    void configure(bool on, const QString& server);
    void setOwnLocator(const std::string& locator);

    // Looked in before the program's own folders (tests run from others);
    // returns the one before.
    static QString setModuleFolder(const QString& folder);

private:
    bool make();

    QObject* m_owner;
    std::function<void(const QString&)> m_showStatus;
    LocatorService* m_service = nullptr; // the owner's child once made
    std::string m_locator;               // the last fix's, handed over when made
    bool m_problemShown = false;
};
