// Program entry: the application, the main window, the message loop, and the
// save at the end under the same error handler as every event. A logout,
// a closed terminal or Ctrl+C ends the loop as Exit does.
#include "Application.h"
#include "Form1.h"
#include "Translations.h"

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    app.closeWindowsOnSignals();
    // German messages where the system's language is German; English otherwise.
    tessaro::useLanguage(QLocale::system());
    // Lets Wayland compositors match the window to its launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.veltmark_soft.tessaro"));
    TForm1 form;
    Form1 = &form;
    form.show();
    const int result = TApplication::exec();
    TApplication::runGuarded([&form] { form.FormDestroy(&form); });
    return result;
}
