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
    ~TApplication() override;

    // Every event passes here; an exception thrown by a handler ends that
    // handler only and is shown by reportException().
    bool notify(QObject* receiver, QEvent* event) override;

    // Ends the program through the windows' ordinary close when the session
    // ends it (SIGTERM at logout, SIGHUP when its terminal closes, SIGINT at
    // Ctrl+C), so that main() saves the settings as after Exit. Signals the
    // program was started to ignore (nohup) stay ignored. POSIX only.
    void closeWindowsOnSignals();

    // Runs work outside the event loop (e.g. the save at the end) under the
    // same error handler.
    static void runGuarded(const std::function<void()>& work);

    // The general error handler: error text plus the full stop rule, shown
    // through the presenter under the caption "Tessaro".
    static void reportException(const std::exception& error);

    // The program's one way to show an error: the general handler, the GPS
    // port control and the serial component (whose boxes the constructor
    // routes here) all call presentError. The default presenter is
    // showErrorBox; tests replace it to capture the boxes. setErrorPresenter
    // (nullptr restores the default) returns the previous presenter.
    using ErrorPresenter = std::function<void(const QString& caption, const QString& text)>;
    static ErrorPresenter setErrorPresenter(ErrorPresenter presenter);
    static void presentError(const QString& caption, const QString& text);
    // A modal box with the error icon and OK; a carriage return in the text
    // breaks the line as a line feed does.
    static void showErrorBox(const QString& caption, const QString& text);
};

namespace tessaro {

// An exception's text. Every text the program throws is Windows-1252; this is
// the one place where it becomes a QString.
QString exceptionText(const char* what);

// The text followed by a full stop when its last character sorts after ".".
QString withFullStop(const QString& text);

} // namespace tessaro
