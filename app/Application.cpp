#include "Application.h"

#include "Serial4.h"
#include "Win1252.h"

#include <QMessageBox>
#include <utility>

namespace {

TApplication::ErrorPresenter& presenter() {
    static TApplication::ErrorPresenter current = &TApplication::showErrorBox;
    return current;
}

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
    presentError(QStringLiteral("Tessaro"),
                 tessaro::withFullStop(tessaro::exceptionText(error.what())));
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
