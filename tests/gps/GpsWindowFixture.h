// The window tests' fixture, with the serial layer chosen by the test.
#pragma once

#include "SerialFake.h"
#include "window_fixture.h"

#include <memory>

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
            m_form->Serial1->setPlatform(fake);
        }
        m_form->FormActivate(m_form.get());
        return *m_form;
    }

    std::shared_ptr<tessaro::FakeSerialPlatform> fake;
};
