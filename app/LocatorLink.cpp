#include "LocatorLink.h"

#include "LocatorService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#include <utility>

namespace {

QString& moduleFolder() {
    static QString folder;
    return folder;
}

#ifdef TESSARO_LOCATOR_MODULE
// Beside the program (the build tree), then where the package puts it.
LocatorService* loadModule(QObject* owner, QString& problem) {
    QStringList folders;
    if (!moduleFolder().isEmpty()) {
        folders << moduleFolder();
    }
    const QDir programFolder(QCoreApplication::applicationDirPath());
    folders << programFolder.path()
            << QDir::cleanPath(programFolder.filePath(QStringLiteral(TESSARO_LOCATOR_MODULE_DIR)));
    for (const QString& folder : folders) {
        const QString file = QDir(folder).filePath(QStringLiteral(TESSARO_LOCATOR_MODULE_FILE));
        if (!QFileInfo::exists(file)) {
            continue;
        }
        // Never unloaded: the link lives as long as the window.
        QLibrary module(file);
        using Create = LocatorService* (*)(QObject*);
        if (auto create = reinterpret_cast<Create>(module.resolve("tessaroCreateLocatorService"))) {
            return create(owner);
        }
        problem = module.errorString();
        return nullptr;
    }
    problem =
        QCoreApplication::translate("LocatorUdp", "%1 is not installed (looked in %2)")
            .arg(QStringLiteral(TESSARO_LOCATOR_MODULE_FILE), folders.join(QStringLiteral(", ")));
    return nullptr;
}
#endif

} // namespace

LocatorLink::LocatorLink(QObject* owner, std::function<void(const QString&)> showStatus)
    : m_owner(owner), m_showStatus(std::move(showStatus)) {}

QString LocatorLink::setModuleFolder(const QString& folder) {
    return std::exchange(moduleFolder(), folder);
}

bool LocatorLink::make() {
    if (m_service != nullptr) {
        return true;
    }
    QString problem;
#ifdef TESSARO_LOCATOR_MODULE
    m_service = loadModule(m_owner, problem);
#else
    m_service = tessaroCreateLocatorService(m_owner);
#endif
    if (m_service == nullptr) {
        m_showStatus(problem);
        m_problemShown = true;
        return false;
    }
    m_service->onStatusChanged(m_showStatus);
    if (!m_locator.empty()) {
        m_service->setOwnLocator(m_locator);
    }
    return true;
}

void LocatorLink::configure(bool on, const QString& server) {
    if (m_service == nullptr && !on) {
        // Nothing was ever listened on: nothing to stop, nothing to load.
        if (m_problemShown) {
            m_showStatus(QString());
            m_problemShown = false;
        }
        return;
    }
    if (make()) {
        m_service->configure(on, server);
    }
}

void LocatorLink::setOwnLocator(const std::string& locator) {
    m_locator = locator;
    if (m_service != nullptr) {
        m_service->setOwnLocator(locator);
    }
}
