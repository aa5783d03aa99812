// The application object: its title, and the general error handler that shows
// any exception escaping an event handler and lets the program carry on.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Every event passes here; an exception thrown by a handler ends that
    // handler only and is shown by reportException().
    bool notify(QObject* receiver, QEvent* event) override;

    // Runs work outside the event loop (e.g. the save at the end) under the
    // same error handler.
    static void runGuarded(const std::function<void()>& work);

    // The general error handler: error text plus the full stop rule, shown
    // through the presenter.
    static void reportException(const std::exception& error);

    // Shows the text of an error. The default opens a message box titled
    // "Tessaro" with the error icon and OK; tests replace it to capture the text.
    using ErrorPresenter = std::function<void(const QString& text)>;
    static void setErrorPresenter(ErrorPresenter presenter);
    static void showErrorBox(const QString& text);
};

namespace tessaro {

// An exception's text: Windows-1252 by the core's convention; text that is
// valid UTF-8 with non-ASCII characters is taken as UTF-8.
QString exceptionText(const char* what);

// The text followed by a full stop when its last character sorts after ".".
QString withFullStop(const QString& text);

} // namespace tessaro
