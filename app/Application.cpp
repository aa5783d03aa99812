#include "Application.h"
#include "ShownError.h"

#include "Serial4.h"
#include "Win1252.h"

#include <QMessageBox>
#include <utility>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

TApplication::ErrorPresenter& presenter() {
    static TApplication::ErrorPresenter current = &TApplication::showErrorBox;
    return current;
}

#ifdef Q_OS_UNIX
// A signal handler may do next to nothing: it writes a byte that the event
// loop reads (the self-pipe). The pair stays open for the life of the process,
// as a late signal may still write to it.
int signalPair[2] = {-1, -1};

void onEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPair[1], &byte, 1);
    errno = saved;
}
#endif

} // namespace

namespace tessaro {

QString exceptionText(const char* what) {
    return what != nullptr ? fromWin1252(what) : QString();
}

QString withFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) {
        return text + QLatin1Char('.');
    }
    return text;
}

} // namespace tessaro

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationDisplayName(QStringLiteral("Tessaro"));
    tessaro::setSerialErrorBox(&TApplication::presentError);
}

TApplication::~TApplication() {
    tessaro::setSerialErrorBox(nullptr);
}

void TApplication::closeWindowsOnSignals() {
#ifdef Q_OS_UNIX
    if (signalPair[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPair) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char bytes[16];
        while (::read(signalPair[0], bytes, sizeof bytes) > 0) {
        }
        // Open boxes first (their nested loops end with them), then the
        // window, whose close stores its values; the last window closed ends
        // the message loop.
        closeAllWindows();
    });
    struct sigaction action {};
    action.sa_handler = &onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
#endif
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportException(error);
    }
    return true;
}

void TApplication::runGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& error) {
        reportException(error);
    }
}

void TApplication::reportException(const std::exception& error) {
    const auto* shown = dynamic_cast<const tessaro::ShownError*>(&error);
    presentError(QStringLiteral("Tessaro"),
                 tessaro::withFullStop(shown != nullptr ? shown->text()
                                                        : tessaro::exceptionText(error.what())));
}

TApplication::ErrorPresenter TApplication::setErrorPresenter(ErrorPresenter replacement) {
    ErrorPresenter previous = std::move(presenter());
    presenter() = replacement ? std::move(replacement) : ErrorPresenter(&showErrorBox);
    return previous;
}

void TApplication::presentError(const QString& caption, const QString& text) {
    if (presenter()) {
        presenter()(caption, text);
    }
}

void TApplication::showErrorBox(const QString& caption, const QString& text) {
    // Qt breaks lines at a line feed only; some texts separate their lines
    // with a carriage return.
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Critical, caption, lines, QMessageBox::Ok);
    box.exec();
}
