// The settings store: value types on the text store, failed and killed saves,
// the program ended by a signal.
#include "Settings.h"
#include "window_fixture.h"

#include <QElapsedTimer>
#include <QProcess>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using tessaro::SettingsError;
using tessaro::SettingsStore;

class Store : public WindowFixture {};

struct IntegerCase {
    const char* name;
    const char* line; // the stored line of "Units"
    int value;
    const char* error; // nullptr: reads as value
};

class IntegerRead : public WindowFixture, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerRead, TakesOnlyAWhole32BitNumber) {
    writeStoreText(GetParam().line);
    SettingsStore store;
    if (GetParam().error == nullptr) {
        EXPECT_EQ(store.readInteger("Units"), GetParam().value);
        return;
    }
    try {
        store.readInteger("Units");
        ADD_FAILURE() << "no error";
    } catch (const SettingsError& error) {
        EXPECT_EQ(error.text(), QString::fromUtf8(GetParam().error));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerRead,
    ::testing::Values(
        IntegerCase{"Plain", "Units=2\n", 2, nullptr},
        IntegerCase{"Negative", "Units=-1\n", -1, nullptr},
        IntegerCase{"Largest", "Units=2147483647\n", 2147483647, nullptr},
        IntegerCase{"Smallest", "Units=-2147483648\n", -2147483647 - 1, nullptr},
        IntegerCase{"Missing", "", 0, "Cannot read the value 'Units'"},
        IntegerCase{"Word", "Units=two\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"TrailingLetters", "Units=2km\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"Fraction", "Units=2.5\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"Empty", "Units=\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"TooLarge", "Units=2147483648\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"List", "Units=1, 2\n", 0, "The value 'Units' has the wrong type"},
        IntegerCase{"Bytes", "Units=@ByteArray(2)\n", 0, "The value 'Units' has the wrong type"}),
    [](const ::testing::TestParamInfo<IntegerCase>& info) { return std::string(info.param.name); });

TEST_F(Store, StringsReadAsTextMissingAsEmptyOtherTypesFail) {
    writeStoreText("qthloc=JN49kw\nFmLatitudeDeg=\"4,9\"\nFmLatitudeMin=1, 2\n"
                   "FmLatitudeSec=@ByteArray(12)\nUnits=2\n");
    SettingsStore store;
    EXPECT_TRUE(store.keyExists());
    EXPECT_EQ(store.readString("qthloc"), QStringLiteral("JN49kw"));
    EXPECT_EQ(store.readString("FmLatitudeDeg"), QStringLiteral("4,9"));
    EXPECT_EQ(store.readString("FmLongitudeDeg"), QString());
    EXPECT_EQ(store.readString("Units"), QStringLiteral("2")); // the text store has only text
    EXPECT_THROW(store.readString("FmLatitudeMin"), SettingsError);
    EXPECT_THROW(store.readString("FmLatitudeSec"), SettingsError);
    EXPECT_TRUE(store.readBool("Units"));
}

TEST_F(Store, NoGroupMeansNoKey) {
    SettingsStore empty;
    EXPECT_FALSE(empty.keyExists());
    ASSERT_TRUE(QDir().mkpath(m_dir.path() + QStringLiteral("/Veltmark-soft")));
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[v0]\nUnits=1\n");
    file.close();
    SettingsStore other;
    EXPECT_FALSE(other.keyExists());
}

// A port mapping typed in before the first start is not a stored set of values.
TEST_F(Store, OnlyAPortMappingMeansNoKey) {
    writeStoreText("ComDevice1=/dev/ttyUSB0\nComDevice3=/tmp/gps0\n");
    EXPECT_FALSE(SettingsStore().keyExists());
    writeStoreText("ComDevice1=/dev/ttyUSB0\nUnits=1\n");
    EXPECT_TRUE(SettingsStore().keyExists());
}

TEST_F(Store, TextsSurviveTheRoundTripExactly) {
    {
        SettingsStore store;
        store.writeString("qthloc", QString::fromUtf8(" a,b=c;\"\u00B0 "));
        store.writeString("FmLatitudeDeg", QString());
        store.writeInteger("Units", -1);
        store.writeBool("center", true);
        store.flush();
    }
    SettingsStore store;
    EXPECT_EQ(store.readString("qthloc"), QString::fromUtf8(" a,b=c;\"\u00B0 "));
    EXPECT_EQ(store.readString("FmLatitudeDeg"), QString());
    EXPECT_EQ(store.readInteger("Units"), -1);
    EXPECT_EQ(store.readInteger("center"), 1);
}

TEST_F(Store, AnUnwritableStoreSaysWhereWhyAndWhatWasNotStored) {
    // A plain file where the folder should be: no write can succeed, not even as root.
    QFile blocker(m_dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    useSettingsDir(m_dir.path() + QStringLiteral("/blocked"));
    {
        TForm1& form = start();
        form.close();
        finish(); // the save at the end, as the program makes it
    }
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors.at(0),
              QStringLiteral("Tessaro could not store its settings in %1/blocked/Veltmark-soft/"
                             "tessaro.conf (Not a directory). Not stored: FmLatitudeDeg, "
                             "FmLatitudeMin, FmLatitudeSec, FmLongitudeDeg, FmLongitudeMin, "
                             "FmLongitudeSec, FmLatitude_NS, FMLongitude_EW, Units, qthloc, "
                             "numdigits, comport, comspeed, actpage, center, target, showcar, "
                             "distmethod. The settings stored before are kept.")
                  .arg(m_dir.path()));
}

TEST_F(Store, AKilledSaveLeavesAWholeStore) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess saver;
        saver.start(QStringLiteral(SETTINGS_SAVE_LOOP), {m_dir.path()});
        ASSERT_TRUE(saver.waitForStarted(10000));
        int saves = 0;
        QElapsedTimer waited;
        waited.start();
        const int wanted = 20 + attempt * 7;
        // A kill between creating QSettings' lock file and writing its process id
        // into it leaves a lock that the next saver only breaks as stale after
        // 30 s: allow for that.
        while (saves < wanted && waited.elapsed() < 45000) {
            saver.waitForReadyRead(1000);
            saves += static_cast<int>(saver.readAllStandardOutput().count('\n'));
        }
        saver.kill(); // SIGKILL, wherever the save is
        ASSERT_TRUE(saver.waitForFinished(10000));
        ASSERT_GE(saves, wanted) << "the saver did not get going";

        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltmark-soft"), QStringLiteral("tessaro"));
        EXPECT_EQ(settings.status(), QSettings::NoError);
        const auto store = readStore();
        ASSERT_EQ(store.size(), 16) << "attempt " << attempt;
        // All sixteen values come from one and the same round.
        const int round = store.value(QStringLiteral("target")).toInt();
        EXPECT_GE(round, saves);
        const QString text = QString(round % 200, QLatin1Char('x')) + QString::number(round);
        for (const char* name : {"FmLatitudeDeg", "FmLongitudeSec", "qthloc"}) {
            EXPECT_EQ(store.value(QLatin1String(name)).toString(), text) << name;
        }
        for (const char* name : {"FmLatitude_NS", "Units", "comport", "actpage"}) {
            EXPECT_EQ(store.value(QLatin1String(name)).toInt(), round) << name;
        }
        EXPECT_EQ(store.value(QStringLiteral("center")).toInt(), round % 2);
    }
}

#ifdef Q_OS_UNIX
struct SignalCase {
    const char* name;
    int signal;
};

class EndBySignal : public WindowFixture, public ::testing::WithParamInterface<SignalCase> {};

// The program itself, ended as a logout, a closed terminal or Ctrl+C ends it,
// while its message about a damaged value is open: it saves as at Exit.
TEST_P(EndBySignal, SavesWhatTheWindowShows) {
    // The program's GPS source: a TCP peer that only listens.
    const int receiver = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(receiver, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(receiver, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(receiver, 4), 0);
    ASSERT_EQ(::getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length), 0);
    QByteArray text = firstTenValues() + "comport=0\ntarget=0\nComDevice1=tcp://127.0.0.1:" +
                      QByteArray::number(ntohs(address.sin_port)) + "\n";
    text.replace("Units=2", "Units=abc");
    writeStoreText(text);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    // A test run started in the background may pass on ignored signals.
    program.setChildProcessModifier([] {
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            std::signal(signal, SIG_DFL);
        }
    });
    program.start(QStringLiteral(TESSARO_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // It connects to its GPS source once it has read its settings.
    pollfd connection{receiver, POLLIN, 0};
    const int connected = ::poll(&connection, 1, 30000);
    ::close(receiver);
    ASSERT_EQ(connected, 1) << "the program did not start";
    ::kill(static_cast<pid_t>(program.processId()), GetParam().signal);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const auto store = readStore();
    EXPECT_EQ(store.value(QStringLiteral("Units")).toString(), QStringLiteral("0"));
    EXPECT_EQ(store.value(QStringLiteral("qthloc")).toString(), QStringLiteral("IO91wm"));
    EXPECT_EQ(store.value(QStringLiteral("target")).toString(), QStringLiteral("0"));
    EXPECT_TRUE(store.contains(QStringLiteral("actpage")));
}

INSTANTIATE_TEST_SUITE_P(Signals, EndBySignal,
                         ::testing::Values(SignalCase{"Term", SIGTERM},
                                           SignalCase{"Hangup", SIGHUP},
                                           SignalCase{"Interrupt", SIGINT}),
                         [](const ::testing::TestParamInfo<SignalCase>& info) {
                             return std::string(info.param.name);
                         });
#endif

} // namespace
