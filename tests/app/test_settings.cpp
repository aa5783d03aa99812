// The settings store: value types on the text store, failed and killed saves,
// the program ended by a signal.
#include "Settings.h"
#include "window_fixture.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QUdpSocket>

#include <cstdint>
#include <string>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/ptrace.h>
#include <sys/wait.h>
#endif
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
                             "distmethod, LocatorUdp, LocatorUdpServer. The settings stored "
                             "before are kept.")
                  .arg(m_dir.path()));
}

#ifdef Q_OS_LINUX
// What a kill leaves on disk: the files of the store's folder, their modes and contents.
QByteArray folderState(const QString& folder) {
    QByteArray state;
    for (const QFileInfo& info :
         QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(info.filePath());
        state += info.fileName().toUtf8() + '/' + QByteArray::number(int(info.permissions())) + '/';
        state += (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?")) + '\0';
    }
    return state;
}

struct SaveTrace {
    int changes = 0; // how often the second save changed the folder
    bool killed = false;
    int exitCode = -1;
    std::string error;
};

// Runs the saver on `dir` (rounds `round` and `round + 1`) under ptrace and
// looks at the store's folder after each system call of its second save.
// Kills it (SIGKILL) right after the `killAt`-th change there (0: before the
// save begins); with -1 the save runs to the end.
SaveTrace traceSaver(const QString& dir, int round, int killAt) {
    SaveTrace trace;
    QByteArray program(SETTINGS_SAVER), where = dir.toLocal8Bit();
    QByteArray number = QByteArray::number(round);
    char* const argv[] = {program.data(), where.data(), number.data(), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            ::_exit(126);
        }
        ::alarm(60); // a saver stuck on a lock ends the test instead of hanging it
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    const QString folder = dir + QStringLiteral("/Veltmark-soft");
    QByteArray before;
    bool started = false;
    int stops = 0;
    int status = 0;
    // Stopped at the exec first, then at each stop the options ask for.
    while (::waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        const int stop = WSTOPSIG(status);
        __ptrace_request request = stops == 1 ? PTRACE_SYSCALL : PTRACE_CONT;
        int signal = 0;
        if (!started) {
            started = true;
            ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
        } else if (stop == (SIGTRAP | 0x80)) {
            // At the exit stop the call has done its work.
            __ptrace_syscall_info call{};
            ::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof call, &call);
            if (call.op == PTRACE_SYSCALL_INFO_EXIT) {
                const QByteArray now = folderState(folder);
                if (now != before && ++trace.changes == killAt) {
                    trace.killed = ::kill(pid, SIGKILL) == 0;
                    continue;
                }
                before = now;
            }
        } else if (stop == SIGSTOP && ++stops == 1) {
            if (killAt == 0) {
                trace.killed = ::kill(pid, SIGKILL) == 0;
                continue;
            }
            before = folderState(folder);
            request = PTRACE_SYSCALL;
        } else if (stop == SIGSTOP) {
            // Done: untraced, the saver ends as it would (a leak check included).
            ::ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
            continue;
        } else {
            signal = stop; // not ours: delivered
        }
        ::ptrace(request, pid, nullptr, signal);
    }
    if (WIFEXITED(status)) {
        trace.exitCode = WEXITSTATUS(status);
        if (trace.exitCode == 126) {
            trace.error = "ptrace is not permitted here";
        }
    } else if (WIFSIGNALED(status) && !trace.killed) {
        trace.error = "the saver ended by signal " + std::to_string(WTERMSIG(status));
    }
    return trace;
}

// The saver killed right after each change its save makes on disk: a kill
// anywhere between two changes leaves what the first one left, so these are
// all the states a kill can leave. Each must hold one round whole, the one
// saved before or the new one, and the next save must go through.
TEST_F(Store, AKilledSaveLeavesAWholeStore) {
    const auto storedRound = [this](int older) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Veltmark-soft"), QStringLiteral("tessaro"));
        EXPECT_EQ(settings.status(), QSettings::NoError);
        const auto store = readStore();
        EXPECT_EQ(store.size(), 16);
        // All sixteen values come from one and the same round.
        const int round = store.value(QStringLiteral("target")).toInt();
        EXPECT_TRUE(round == older || round == older + 1) << round << " after " << older;
        const QString text = QString(round % 200, QLatin1Char('x')) + QString::number(round);
        for (const char* name : {"FmLatitudeDeg", "FmLongitudeSec", "qthloc"}) {
            EXPECT_EQ(store.value(QLatin1String(name)).toString(), text) << name;
        }
        for (const char* name : {"FmLatitude_NS", "Units", "comport", "actpage"}) {
            EXPECT_EQ(store.value(QLatin1String(name)).toInt(), round) << name;
        }
        EXPECT_EQ(store.value(QStringLiteral("center")).toInt(), round % 2);
        return round;
    };

    const SaveTrace whole = traceSaver(m_dir.path(), 1, -1);
    ASSERT_TRUE(whole.error.empty()) << whole.error;
    ASSERT_EQ(whole.exitCode, 0);
    ASSERT_EQ(storedRound(1), 2);
    // At least the lock, the new file and the lock gone again.
    ASSERT_GE(whole.changes, 3);

    const QString lock = m_dir.path() + QStringLiteral("/Veltmark-soft/tessaro.conf.lock");
    int round = 3;
    bool saved = false;
    for (int point = 0; point <= whole.changes; ++point, round += 2) {
        SCOPED_TRACE("killed after change " + std::to_string(point) + " of " +
                     std::to_string(whole.changes));
        // A kill between creating the lock file and writing its owner into it
        // leaves a lock that QLockFile breaks only when 30 s old: age it.
        if (QFileInfo(lock).exists() && QFileInfo(lock).size() == 0) {
            QFile file(lock);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                         QFileDevice::FileModificationTime));
        }
        const SaveTrace cut = traceSaver(m_dir.path(), round, point);
        ASSERT_TRUE(cut.error.empty()) << cut.error;
        ASSERT_TRUE(cut.killed);
        const int stored = storedRound(round);
        // Once the new round is there, no later point shows the older one.
        EXPECT_TRUE(stored == round + 1 || !saved);
        saved = stored == round + 1;
    }
    EXPECT_TRUE(saved) << "the last change completes the save";
}
#endif

#ifdef Q_OS_UNIX
// The program itself, started on a store that names a TCP peer as its GPS
// source: it has read its settings once it connects there.
class ProgramRun : public WindowFixture {
protected:
    void TearDown() override {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(10000);
        }
        WindowFixture::TearDown();
    }

    void start(const QByteArray& storeLines) {
        const int receiver = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(receiver, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(receiver, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(receiver, 4), 0);
        ASSERT_EQ(::getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length), 0);
        writeStoreText(storeLines + "comport=0\ntarget=0\nComDevice1=tcp://127.0.0.1:" +
                       QByteArray::number(ntohs(address.sin_port)) + "\n");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_program.setProcessEnvironment(environment);
        // A test run started in the background may pass on ignored signals.
        m_program.setChildProcessModifier([] {
            for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
                std::signal(signal, SIG_DFL);
            }
        });
        m_program.start(QStringLiteral(TESSARO_PROGRAM), {});
        ASSERT_TRUE(m_program.waitForStarted(10000));
        pollfd connection{receiver, POLLIN, 0};
        const int connected = ::poll(&connection, 1, 30000);
        ::close(receiver);
        ASSERT_EQ(connected, 1) << "the program did not start";
    }

    bool mapped(const char* library) const {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_program.processId()));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
    }

    QProcess m_program;
};

#ifdef Q_OS_LINUX
// Qt Network and the proxy and Kerberos libraries it brings are loaded with
// the WSJT-X link, found beside the program, and only when it is on.
TEST_F(ProgramRun, LoadsQtNetworkOnlyForTheWsjtxLink) {
    start(firstTenValues());
    EXPECT_FALSE(mapped("libQt6Network"));

    m_program.kill();
    m_program.waitForFinished(10000);
    QUdpSocket probe; // a free port, given back
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();
    start(firstTenValues() +
          "LocatorUdp=1\nLocatorUdpServer=127.0.0.1:" + QByteArray::number(port) + "\n");
    EXPECT_TRUE(mapped("libQt6Network"));
    EXPECT_FALSE(probe.bind(QHostAddress::LocalHost, port)) << "the program listens there";
}
#endif

struct SignalCase {
    const char* name;
    int signal;
};

class EndBySignal : public ProgramRun, public ::testing::WithParamInterface<SignalCase> {};

// The program itself, ended as a logout, a closed terminal or Ctrl+C ends it,
// while its message about a damaged value is open: it saves as at Exit.
TEST_P(EndBySignal, SavesWhatTheWindowShows) {
    QByteArray text = firstTenValues();
    text.replace("Units=2", "Units=abc");
    start(text);
    QProcess& program = m_program;
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
