#include "Application.h"

#include "Win1252.h"

#include <QMessageBox>
#include <QStringDecoder>
#include <cstring>

namespace {

TApplication::ErrorPresenter& presenter() {
    static TApplication::ErrorPresenter current = &TApplication::showErrorBox;
    return current;
}

} // namespace

namespace tessaro {

QString exceptionText(const char* what) {
    if (what == nullptr) {
        return {};
    }
    const std::string bytes(what);
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (!ascii) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(QByteArrayView(bytes.data(), bytes.size()));
        if (!utf8.hasError()) {
            return decoded;
        }
    }
    return fromWin1252(bytes);
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
    const QString text = tessaro::withFullStop(tessaro::exceptionText(error.what()));
    if (presenter()) {
        presenter()(text);
    }
}

void TApplication::setErrorPresenter(ErrorPresenter replacement) {
    presenter() = replacement ? std::move(replacement) : ErrorPresenter(&showErrorBox);
}

void TApplication::showErrorBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tessaro"), text, QMessageBox::Ok);
    box.exec();
}
