// tessaro-bare-window: the floor for the program's start-up time. A plain
// Qt Widgets window of about the program's shape (six tabs, labels, line
// edits, radio buttons, a button) and nothing else: no settings, no pictures,
// no fonts of its own. bench/map_time.cpp starts it beside the real program.
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("Bare window"));

    auto* first = new QWidget;
    auto* form = new QFormLayout(first);
    auto* hemisphere = new QHBoxLayout;
    hemisphere->addWidget(new QRadioButton(QStringLiteral("North")));
    hemisphere->addWidget(new QRadioButton(QStringLiteral("South")));
    form->addRow(new QLabel(QStringLiteral("Hemisphere")), hemisphere);
    for (const char* field : {"Degrees", "Minutes", "Seconds"}) {
        form->addRow(new QLabel(QString::fromLatin1(field)), new QLineEdit);
    }
    form->addRow(new QPushButton(QStringLiteral("Calculate")));
    form->addRow(new QLabel(QStringLiteral("Distance")), new QLabel(QStringLiteral("0 km")));
    tabs.addTab(first, QStringLiteral("Lat/Long"));

    for (const char* name : {"Locator", "Setup", "GPS", "About", "Car"}) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(new QLabel(QString::fromLatin1(name)));
        layout->addWidget(new QLineEdit);
        layout->addStretch();
        tabs.addTab(page, QString::fromLatin1(name));
    }
    tabs.show();
    return QApplication::exec();
}
