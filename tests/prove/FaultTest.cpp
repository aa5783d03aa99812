// Faults a user meets, on the real window: the receiver vanishes mid-sentence
// and comes back behind the same path, another program holds the port, and
// the settings file is damaged. (An unwritable store and a save killed
// midway are in tests/app/test_settings.cpp.)
#include "Form1.h"
#include "GpsSource.h"
#include "GpsWindowFixture.h"
#include "Pty.h"
#include "Serial4.h"
#include "SerialTestSupport.h"
#include "Widgets.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTabWidget>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using tessaro::test::PseudoTerminal;
using tessaro::test::runEventLoopFor;
using tessaro::test::waitUntil;

const std::string lisbon = "$GPGLL,3843.2100,N,00908.4500,W,120001.00,A\r\n";

class Fault : public GpsWindowFixture {
protected:
    // What a user does to try the receiver again: GPS use Off, then back to
    // the start point (a click on an item selects it through SetItemIndex).
    void reselectStartPoint() {
        m_form->rgGpsTarget->SetItemIndex(2);
        runEventLoopFor(300); // a user takes a moment between the two clicks
        m_form->rgGpsTarget->SetItemIndex(0);
    }

    static void send(PseudoTerminal& pty, const std::string& bytes) {
        ASSERT_TRUE(pty.send(bytes));
    }
};

// --- the receiver vanishes ---------------------------------------------------------------------

TEST_F(Fault, ReceiverGoneMidSentenceThenBackBehindTheSamePath) {
    PseudoTerminal first;
    ASSERT_TRUE(first.ok()) << first.error();
    // ComDevice1 names a stable link, as udev gives a USB receiver.
    const std::string link = m_dir.path().toStdString() + "/gps-receiver";
    ASSERT_EQ(::symlink(first.path().c_str(), link.c_str()), 0);
    TForm1& f = startUsing(link);
    ASSERT_TRUE(f.gps->serial()->Active());
    send(first, londonFix);
    ASSERT_TRUE(statusBecomes(londonStatus));

    int& errors = countErrors();
    // Unplugged halfway through a sentence: the pty's master goes, and its node with it.
    send(first, "$GPGLL,4916.45,N,123");
    first.close();
    ASSERT_TRUE(statusBecomes(serialError));
    EXPECT_FALSE(statusDetail().isEmpty());
    errors = 0;
    runEventLoopFor(1000);
    // A spinning event thread would report thousands.
    EXPECT_LE(errors, 11) << "a failing line is retried at most about ten times a second";
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("51")) << "the half sentence moved the point";

    // Plugged in again: a new terminal behind the same link.
    PseudoTerminal second;
    ASSERT_TRUE(second.ok()) << second.error();
    const std::string fresh = link + ".new";
    ASSERT_EQ(::symlink(second.path().c_str(), fresh.c_str()), 0);
    ASSERT_EQ(::rename(fresh.c_str(), link.c_str()), 0);
    errors = 0;
    reselectStartPoint();
    ASSERT_TRUE(f.gps->serial()->Active()) << qPrintable(statusDetail());
    // Nothing of the old connection comes back over the new one.
    runEventLoopFor(300);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
    EXPECT_TRUE(statusDetail().isEmpty());

    send(second, lisbon);
    ASSERT_TRUE(statusBecomes(QStringLiteral("New GPS data received at 12:00:01 UT")));
    EXPECT_EQ(f.edFmLatDeg->text(), QStringLiteral("38"));
    EXPECT_EQ(f.edFmLonMin->text(), QStringLiteral("8"));
    EXPECT_EQ(f.lbNmea4->text(), QString::fromStdString(lisbon).trimmed());
    // The new connection is sound: no error from it.
    errors = 0;
    runEventLoopFor(300);
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
}

// The error the event thread was handing over when the user closed the port
// belongs to the closed connection: it must not come back while GPS is Off.
TEST_F(Fault, ChoosingOffAfterALineErrorStaysQuiet) {
    PseudoTerminal first;
    ASSERT_TRUE(first.ok()) << first.error();
    TForm1& f = startUsing(first.path());
    ASSERT_TRUE(f.gps->serial()->Active());
    first.close();
    ASSERT_TRUE(statusBecomes(serialError));
    runEventLoopFor(1000); // the user notices

    f.rgGpsTarget->SetItemIndex(2);
    ASSERT_FALSE(f.gps->serial()->Active());
    runEventLoopFor(300);
    EXPECT_EQ(f.sb->SimpleText(), QStringLiteral(" "));
    EXPECT_EQ(f.lbNmea1->text(), QStringLiteral("Off"));
}

// --- another program holds the port -------------------------------------------------------------

// A child process that opens the terminal and locks it, as a GPS daemon does,
// then passes on everything it reads. Only async-signal-safe calls after fork().
pid_t startHolder(const std::string& path, int master, int& ready, int& data) {
    int readyPipe[2];
    int dataPipe[2];
    if (::pipe(readyPipe) != 0 || ::pipe(dataPipe) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(master);
        ::close(readyPipe[0]);
        ::close(dataPipe[0]);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        const char state = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'L' : 'E';
        (void)::write(readyPipe[1], &state, 1);
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::_exit(0);
            }
            (void)::write(dataPipe[1], buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(readyPipe[1]);
    ::close(dataPipe[1]);
    ready = readyPipe[0];
    data = dataPipe[0];
    return pid;
}

// Reads from `fd` until `wanted` has been seen or the bound expires.
bool readsWithin(int fd, const std::string& wanted, int boundMs) {
    std::string seen;
    QDeadlineTimer deadline(boundMs);
    while (seen.find(wanted) == std::string::npos) {
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(deadline.remainingTime())) <= 0) {
            return false;
        }
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

TEST_F(Fault, PortHeldByAnotherProgramIsLeftToIt) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok()) << pty.error();
    int ready = -1;
    int data = -1;
    const pid_t holder = startHolder(pty.path(), pty.master(), ready, data);
    ASSERT_GT(holder, 0);
    char state = 0;
    ASSERT_EQ(::read(ready, &state, 1), 1);
    ASSERT_EQ(state, 'L') << "the holder could not lock the terminal";
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.master(), &before), 0);

    TForm1& f = startUsing(pty.path());
    EXPECT_TRUE(f.gps->serial()->Active()) << "tried again until the holder lets go";
    EXPECT_EQ(f.sb->SimpleText(), serialError);
    // The reason a user can act on ("busy", not "try again"), with the device.
    EXPECT_TRUE(statusDetail().contains(QString::fromLocal8Bit(std::strerror(EBUSY))))
        << qPrintable(statusDetail());
    EXPECT_TRUE(statusDetail().contains(QString::fromStdString(pty.path())));
    EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));

    // Nothing taken from the holder: its line settings, its lock, its data.
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.master(), &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(::cfgetispeed(&after), ::cfgetispeed(&before));
    send(pty, londonFix);
    EXPECT_TRUE(readsWithin(data, "$GPGLL,5130.7712,N", 3000));
    runEventLoopFor(100);
    EXPECT_EQ(f.lbNmea4->text(), QStringLiteral("---"));
    EXPECT_EQ(::waitpid(holder, nullptr, WNOHANG), 0) << "the holder ended";
    const int probe = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the holder lost its lock";
    ::close(probe);

    // The other program ends; choosing the use again opens the port.
    ::kill(holder, SIGTERM);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    ::close(ready);
    ::close(data);
    reselectStartPoint();
    ASSERT_TRUE(f.gps->serial()->Active()) << qPrintable(statusDetail());
    send(pty, londonFix);
    EXPECT_TRUE(statusBecomes(londonStatus));
}

// --- damaged settings file
// ------------------------------------------------------------------------

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

QByteArray wholeStore() {
    return "[v1]\n" + firstTenValues() +
           "numdigits=0\ncomport=0\ncomspeed=2\nactpage=1\ncenter=1\ntarget=2\n";
}

struct DamagedStoreCase {
    const char* name;
    QByteArray content;
    const char* replaced; // a value the message names as replaced; empty: no message
};

class DamagedStore : public GpsWindowFixture,
                     public ::testing::WithParamInterface<DamagedStoreCase> {};

TEST_P(DamagedStore, ReadErrorShownAndTheNextSaveRepairsIt) {
    ASSERT_TRUE(QDir().mkpath(m_dir.path() + QStringLiteral("/Veltmark-soft")));
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().content);
    file.close();

    // The activation runs under the general error handler, as its event does.
    TApplication::runGuarded([this] { startWindow(true); });
    TForm1& f = *m_form;
    const QString replaced = QString::fromUtf8(GetParam().replaced);
    if (replaced.isEmpty()) {
        EXPECT_TRUE(m_errors.isEmpty()) << qPrintable(m_errors.join('|'));
    } else {
        ASSERT_EQ(m_errors.size(), 1) << qPrintable(m_errors.join('|'));
        EXPECT_TRUE(m_errors.at(0).contains(replaced + QLatin1Char(':')))
            << qPrintable(m_errors.at(0));
        // A long damaged text is cut short in the message.
        EXPECT_LT(m_errors.at(0).size(), 2000);
    }
    // The window is usable: a calculation runs with GPS Off, to a result or,
    // where the damage left a text that is no number, to the field's refusal.
    f.rgGpsTarget->SetItemIndex(2);
    f.BitBtn1->click();
    EXPECT_TRUE(!f.lbDist->text().isEmpty() ||
                f.sb->SimpleText().endsWith(QStringLiteral("error: not a whole number")))
        << qPrintable(f.sb->SimpleText());

    // The save at the end writes a whole store over the damaged one ...
    finish();
    m_form.reset();
    const int errorsBefore = static_cast<int>(m_errors.size());
    // (Keys the damage made up stay, as "ComDevice1" and any other key not ours do.)
    const auto stored = readStore();
    for (const char* name :
         {"FmLatitudeDeg", "FmLatitudeMin", "FmLatitudeSec", "FmLongitudeDeg", "FmLongitudeMin",
          "FmLongitudeSec", "FmLatitude_NS", "FMLongitude_EW", "Units", "qthloc", "numdigits",
          "comport", "comspeed", "actpage", "center", "target"}) {
        EXPECT_TRUE(stored.contains(QLatin1String(name))) << name;
    }
    EXPECT_EQ(stored.value(QStringLiteral("target")).toInt(), 2);
    // ... which the next start reads without a word.
    TApplication::runGuarded([this] { startWindow(true); });
    EXPECT_EQ(m_errors.size(), errorsBefore) << qPrintable(m_errors.join('|'));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedStore,
    ::testing::Values(
        // Without the group the store counts as empty: a first start.
        DamagedStoreCase{"RandomBytes", randomBytes(4096, 7), ""},
        DamagedStoreCase{"ZerosOnly", QByteArray(4096, '\0'), ""},
        // A file whose end a crash filled with zeros.
        DamagedStoreCase{"WholeStoreThenZeros", wholeStore() + QByteArray(2048, '\0'), ""},
        DamagedStoreCase{"RandomBytesInTheGroup", "[v1]\n" + randomBytes(4096, 11), "Units"},
        DamagedStoreCase{"CutInTheUnitsLine", wholeStore().left(wholeStore().indexOf("Units=") + 3),
                         "Units"},
        DamagedStoreCase{"ZerosInANumber",
                         QByteArray(wholeStore()).replace("Units=2", QByteArray("Units=\0\0", 8)),
                         "Units"},
        DamagedStoreCase{"BytesNotUtf8InTexts",
                         QByteArray(wholeStore())
                             .replace("qthloc=IO91wm", "qthloc=\xFF\xFE\xC3(")
                             .replace("FmLatitudeDeg=51", "FmLatitudeDeg=\x80\x81"),
                         ""},
        DamagedStoreCase{
            "MegabyteLocator",
            QByteArray(wholeStore()).replace("qthloc=IO91wm", "qthloc=" + QByteArray(1 << 20, 'A')),
            "qthloc"}),
    [](const ::testing::TestParamInfo<DamagedStoreCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
