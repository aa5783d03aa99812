// The window tests' fixture, with the serial layer chosen by the test, and
// what the GPS tests of the real window share: a receiver's fix, the start
// from stored settings, the status line and its reason.
#pragma once

#include "SerialFake.h"
#include "Wait.h"
#include "Widgets.h"
#include "window_fixture.h"

#include <QLabel>

#include <memory>
#include <string>

// One fix over London as a receiver sends it, and the status it gives.
inline const std::string londonFix = "$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n";
inline const QString londonStatus = QStringLiteral("New GPS data received at 09:30:15 UT");
inline const QString serialError = QStringLiteral("Serial I/O Error...");

class GpsWindowFixture : public WindowFixture {
protected:
    // Created and through its first activation, as at the program's start,
    // but never shown: Qt paints a shown window partly on threads of its own
    // pool, whose hand-overs ThreadSanitizer cannot see in the uninstrumented
    // library, and these tests run under it. With `fakeSerial` the port opens
    // on the fake serial layer `fake`, otherwise on the device the settings name.
    TForm1& startWindow(bool fakeSerial) {
        m_form = std::make_unique<TForm1>();
        Form1 = m_form.get();
        if (fakeSerial) {
            fake = std::make_shared<tessaro::FakeSerialPlatform>();
            m_form->gps->serial()->setPlatform(fake);
        }
        m_form->FormActivate(m_form.get());
        return *m_form;
    }

    // The program's start with stored settings: GPS feeds `target` (0 start,
    // 1 destination) from port 1, which is `device`, at 4800 bit/s; `more`
    // are further "name=value" lines.
    TForm1& startUsing(const std::string& device, int target = 0, const QByteArray& more = {}) {
        writeStoreText(firstTenValues() + "comport=0\ncomspeed=2\ntarget=" +
                       QByteArray::number(target) + "\nComDevice1=" + device.c_str() + "\n" + more);
        return startWindow(false);
    }

    bool statusBecomes(const QString& text, int boundMs = 5000) {
        return tessaro::test::waitUntil([&] { return m_form->sb->SimpleText() == text; }, boundMs);
    }

    // The reason behind the status line (its tooltip).
    QString statusDetail() const {
        return m_form->sb->findChild<QLabel*>(QStringLiteral("sbText"))->toolTip();
    }

    // Counts the window's line-error reports from now on.
    int& countErrors() {
        m_errorCount = 0;
        const TNotifyEvent shown = m_form->gps->serial()->OnError;
        m_form->gps->serial()->OnError = [this, shown](TSerial* sender) {
            ++m_errorCount;
            shown(sender);
        };
        return m_errorCount;
    }

    std::shared_ptr<tessaro::FakeSerialPlatform> fake;
    int m_errorCount = 0;
};
