// A fresh settings location per test, the error handler's texts captured,
// and the window started the way the program starts it.
#pragma once

#include "Application.h"
#include "Form1.h"
#include "GpsSource.h"
#include "Serial4.h"
#include "SerialFake.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>
#include <memory>

#include <gtest/gtest.h>

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        useSettingsDir(m_dir.path());
#ifdef _WIN32
        // The native store is the registry, which no path moves: start empty.
        writeStoreText({});
#endif
        TApplication::setErrorPresenter(
            [this](const QString& /*caption*/, const QString& text) { m_errors << text; });
    }

    void TearDown() override {
        m_form.reset();
        // A box would block a headless run: any later report fails loudly instead.
        TApplication::setErrorPresenter([](const QString& /*caption*/, const QString& text) {
            ADD_FAILURE() << "unexpected error box: " << qPrintable(text);
        });
    }

    static void useSettingsDir(const QString& dir) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    }

    QString storePath() const {
        return m_dir.path() + QStringLiteral("/Veltmark-soft/tessaro.conf");
    }

#ifdef _WIN32
    // Writes each "name=text" line as the text store elsewhere reads it: a
    // string value, or a list (REG_MULTI_SZ) where the text has commas.
    static void writeStoreText(const QByteArray& lines) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("Veltmark-soft"), QStringLiteral("tessaro"));
        store.remove(QString());
        for (const QByteArray& line : lines.split('\n')) {
            const int equals = line.indexOf('=');
            if (equals <= 0) {
                continue;
            }
            const QString text = QString::fromUtf8(line.mid(equals + 1));
            QStringList items = text.split(QLatin1Char(','));
            for (QString& item : items) {
                item = item.trimmed();
            }
            store.setValue(QStringLiteral("v1/") + QString::fromUtf8(line.left(equals)),
                           items.size() > 1 ? QVariant(items) : QVariant(text));
        }
        store.sync();
    }
#else
    // Writes the store as a text file, exactly as given (names and raw texts).
    void writeStoreText(const QByteArray& lines) {
        ASSERT_TRUE(QDir().mkpath(m_dir.path() + QStringLiteral("/Veltmark-soft")));
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[v1]\n" + lines);
    }
#endif

    // The store's values as the program would read them back.
    QMap<QString, QVariant> readStore() const {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltmark-soft"), QStringLiteral("tessaro"));
        settings.beginGroup(QStringLiteral("v1"));
        QMap<QString, QVariant> values;
        for (const QString& key : settings.childKeys()) {
            values.insert(key, settings.value(key));
        }
        return values;
    }

    // Created, shown and activated: the first activation has run. The GPS
    // port opens on the fake serial layer, never on a device of the machine
    // (tests running side by side would find it busy).
    TForm1& start() {
        m_form = std::make_unique<TForm1>();
        m_form->gps->serial()->setPlatform(std::make_shared<tessaro::FakeSerialPlatform>());
        Form1 = m_form.get();
        m_form->show();
        m_form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
        return *m_form;
    }

    // Keys as a person presses them: each goes to the widget with the focus,
    // or to the window when none has it. In typed text '\t' is Tab, '\n' Enter.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : m_form.get(), key, modifiers);
    }
    void typeKeys(const QString& keys) {
        for (const QChar c : keys) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus != nullptr ? focus : m_form.get(),
                            c == '\n' ? '\r' : c.toLatin1());
        }
    }

    // What main() does after the message loop: the save, under the error handler.
    void finish() {
        TApplication::runGuarded([this] { m_form->FormDestroy(m_form.get()); });
    }

    QTemporaryDir m_dir;
    QStringList m_errors;
    std::unique_ptr<TForm1> m_form;
};

// The ten values that LoadSettings reads without a guard.
inline QByteArray firstTenValues() {
    return "FmLatitudeDeg=51\nFmLatitudeMin=30\nFmLatitudeSec=46\n"
           "FmLongitudeDeg=0\nFmLongitudeMin=7\nFmLongitudeSec=20\n"
           "FmLatitude_NS=0\nFMLongitude_EW=1\nUnits=2\nqthloc=IO91wm\n";
}

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
