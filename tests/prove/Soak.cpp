#include "Soak.h"

#include "Form1.h"
#include "GpsSource.h"
#include "Nmea.h"
#include "Pty.h"
#include "Serial4.h"
#include "Widgets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

namespace tessaro::prove {

namespace {

using test::withChecksum;

std::uint64_t mix(std::uint64_t x) {
    // splitmix64: every index gets its own well-spread value.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

bool visible(ItemKind kind) {
    switch (kind) {
    case ItemKind::longDropped:
    case ItemKind::garbage:
    case ItemKind::otherSentence:
        return false;
    default:
        return true;
    }
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// Thousandths of a minute that read back as `seconds` ((t * 60) div 1000).
int thousandthsFor(int seconds) {
    return (seconds * 1000 + 59) / 60;
}

std::string timeField(std::uint64_t i) {
    const auto s = static_cast<int>(i % 86400);
    return format("%02d%02d%02d.00", s / 3600, s / 60 % 60, s % 60);
}

// "lat,N,lon,E" of item i's fix, with a fourth decimal of minutes that is never read.
std::string positionFields(const SoakStream& stream, std::uint64_t i, std::uint64_t h) {
    const SoakStream::Fix f = stream.fix(i);
    return format("%02d%02d.%03d%d,%c,%03d%02d.%03d%d,%c", f.latDeg, f.latMin,
                  thousandthsFor(f.latSec), static_cast<int>(h % 10), f.north ? 'N' : 'S', f.lonDeg,
                  f.lonMin, thousandthsFor(f.lonSec), static_cast<int>(h / 10 % 10),
                  f.east ? 'E' : 'W');
}

std::string gllBody(const SoakStream& stream, std::uint64_t i, std::uint64_t h, char status) {
    const char* talker = (h >> 20) & 1 ? "GN" : "GP";
    return format("$%sGLL,", talker) + positionFields(stream, i, h) + "," + timeField(i) + "," +
           status;
}

// Bytes for the padding of long lines: no "$", "*" or line end.
std::string padding(std::size_t length, std::uint64_t h) {
    static const char alphabet[] = "0123456789,.ABCDEFGHJKLMNPQRSTUVWXYZ";
    std::string pad(length, '0');
    for (std::size_t k = 0; k < length; ++k) {
        h = mix(h);
        pad[k] = alphabet[h % (sizeof alphabet - 1)];
    }
    return pad;
}

long readStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, n, field) == 0) {
            return std::strtol(line.c_str() + n, nullptr, 10);
        }
    }
    return -1;
}

} // namespace

const char* kindName(ItemKind kind) {
    static const char* const names[kindCount] = {
        "valid fix",  "status V",     "bad checksum",       "NUL in status", "truncated",
        "long (cut)", "long (>4096)", "garbage / NUL runs", "other sentence"};
    return names[static_cast<int>(kind)];
}

long residentKb() {
    return readStatusKb("VmRSS:");
}

long long heapInUseBytes() {
    const struct mallinfo2 heap = ::mallinfo2();
    return static_cast<long long>(heap.uordblks + heap.hblkhd);
}

ItemKind SoakStream::kind(std::uint64_t i) const {
    const std::uint64_t r = mix(seed * 0x100000001B3ULL ^ i) % 1000;
    if (r < 400) {
        return ItemKind::validFix;
    }
    if (r < 480) {
        return ItemKind::statusV;
    }
    if (r < 560) {
        return ItemKind::badChecksum;
    }
    if (r < 600) {
        return ItemKind::nulInStatus;
    }
    if (r < 630) {
        return ItemKind::truncated;
    }
    if (r < 650) {
        return ItemKind::longCut;
    }
    if (r < 655) {
        return ItemKind::longDropped;
    }
    if (r < 775) {
        return ItemKind::garbage;
    }
    return ItemKind::otherSentence;
}

SoakStream::Fix SoakStream::fix(std::uint64_t i) const {
    // The longitude alone tells the first 648,000 indexes apart; the seconds
    // of latitude count the rounds beyond.
    Fix f{};
    f.lonSec = static_cast<int>(i % 60);
    f.lonMin = static_cast<int>(i / 60 % 60);
    f.lonDeg = static_cast<int>(i / 3600 % 180);
    const std::uint64_t round = i / 648000;
    f.latSec = static_cast<int>(round % 60);
    f.latMin = static_cast<int>(i * 7 % 60);
    f.latDeg = static_cast<int>(i * 13 % 90);
    f.north = i % 3 != 0;
    f.east = i % 4 < 2;
    return f;
}

std::string SoakStream::timeText(std::uint64_t i) const {
    if (kind(i) == ItemKind::truncated) {
        return "00:00:00 UT";
    }
    const auto s = static_cast<int>(i % 86400);
    return format("%02d:%02d:%02d UT", s / 3600, s / 60 % 60, s % 60);
}

std::string SoakStream::bytes(std::uint64_t i) const {
    const std::uint64_t h = mix(mix(seed) ^ (i * 0x2545F4914F6CDD1DULL));
    switch (kind(i)) {
    case ItemKind::validFix: {
        std::string body = gllBody(*this, i, h, 'A');
        if ((h >> 23) & 1) {
            body += ",A"; // mode indicator of NMEA 2.3
        }
        // Receivers may leave the checksum out; such a sentence is used as it is.
        return ((h >> 21) % 4 == 0 ? body : withChecksum(body)) + "\r\n";
    }
    case ItemKind::statusV:
        return withChecksum(gllBody(*this, i, h, 'V')) + "\r\n";
    case ItemKind::badChecksum: {
        std::string line = withChecksum(gllBody(*this, i, h, 'A'));
        if ((h >> 24) % 8 == 0) {
            line.replace(line.size() - 2, 2, "G7"); // not hexadecimal
        } else {
            const unsigned wrong =
                std::stoul(line.substr(line.size() - 2), nullptr, 16) ^ (1 + (h >> 25) % 255);
            line.replace(line.size() - 2, 2, format("%02X", wrong));
        }
        return line + "\r\n";
    }
    case ItemKind::nulInStatus: {
        std::string body = gllBody(*this, i, h, 'A');
        body.insert(body.size() - 1, 1, '\0');
        return withChecksum(body) + "\r\n";
    }
    case ItemKind::truncated: {
        // Ends before the time field: time and status take their defaults.
        const std::string whole = gllBody(*this, i, h, 'A');
        std::size_t cut = 7;
        for (std::uint64_t commas = 1 + (h >> 26) % 4; commas > 0; --commas) {
            cut = whole.find(',', cut) + 1;
        }
        return whole.substr(0, cut - 1) + "\r\n";
    }
    case ItemKind::longCut: {
        // 516 to 4000 bytes from "$" through the carriage return.
        const std::string body = gllBody(*this, i, h, 'A') + ",";
        const std::size_t total = 516 + (h >> 30) % 3485;
        const std::size_t padLength = total - body.size() - 4; // "*hh" and "\r"
        return withChecksum(body + padding(padLength, h)) + "\r\n";
    }
    case ItemKind::longDropped: {
        // Over the framing bound without a line end: dropped whole.
        const std::string body = gllBody(*this, i, h, 'A') + ",";
        const std::size_t total = 4097 + (h >> 30) % 2000;
        return body + padding(total - body.size(), h) + "\r\n";
    }
    case ItemKind::garbage: {
        std::string junk;
        if ((h >> 20) % 4 == 0) {
            junk.assign(1 + (h >> 22) % 64, '\0');
        } else {
            junk.resize(1 + (h >> 22) % 300);
            std::uint64_t g = h;
            for (char& c : junk) {
                g = mix(g);
                c = static_cast<char>(g & 0xFF);
            }
            // No position tag by chance: every one contains "GLL".
            for (std::size_t at = junk.find("GLL"); at != std::string::npos;
                 at = junk.find("GLL", at)) {
                junk[at + 1] = 'M';
            }
        }
        // The line end closes whatever message a "$" in the junk began.
        return junk + "\r\n";
    }
    case ItemKind::otherSentence:
        break;
    }
    const std::string fields = positionFields(*this, i, h);
    switch ((h >> 20) % 4) {
    case 0:
        return withChecksum("$GPGGA," + timeField(i) + "," + fields +
                            ",1,08,0.9,545.4,M,46.9,M,,") +
               "\r\n";
    case 1:
        return withChecksum("$GPRMC," + timeField(i) + ",A," + fields +
                            ",022.4,084.4,230394,003.1,W") +
               "\r\n";
    case 2:
        return withChecksum(std::string("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")) + "\r\n";
    default:
        return withChecksum(std::string("$GNGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")) + "\r\n";
    }
}

SoakResult runSoak(const SoakOptions& options) {
    SoakResult result;
    const SoakStream stream{options.seed};
    for (std::uint64_t i = 0; i < options.items; ++i) {
        const ItemKind kind = stream.kind(i);
        if (kind == ItemKind::validFix) {
            ++result.expectedApplied;
        } else if (visible(kind)) {
            ++result.expectedInvalid;
        }
    }

    // Closed after the window (declared before it). Writes wait in poll() so
    // that a stuck window cannot strand the writer.
    test::PseudoTerminal pty;
    if (!pty.ok()) {
        result.setupError = pty.error();
        return result;
    }
    const int master = pty.master();
    const std::string& device = pty.path();

    // The user's store: GPS feeds the start point from port 1 (the pty) at 38400 bit/s,
    // the Car page with its pointer is showing.
    const QString folder = QString::fromStdString(options.settingsDir) + "/Veltmark-soft";
    QDir().mkpath(folder);
    QFile store(folder + "/tessaro.conf");
    if (!store.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        result.setupError = "cannot write " + store.fileName().toStdString();
        return result;
    }
    store.write("[v1]\nFmLatitudeDeg=51\nFmLatitudeMin=30\nFmLatitudeSec=46\n"
                "FmLongitudeDeg=0\nFmLongitudeMin=7\nFmLongitudeSec=20\n"
                "FmLatitude_NS=0\nFMLongitude_EW=1\nUnits=0\nqthloc=IO91wm\nnumdigits=1\n"
                "comport=0\ncomspeed=5\nactpage=5\ncenter=1\ntarget=0\n");
    store.write(("ComDevice1=" + device + "\n").c_str());
    store.close();

    auto form = std::make_unique<TForm1>();
    Form1 = form.get();
    if (options.showWindow) {
        form->show();
        form->activateWindow();
    } else {
        form->FormActivate(form.get());
    }
    QTimer tick; // wakes the loop to look at the clock and the writer
    tick.start(20);
    QDeadlineTimer activation(10000);
    while (!form->firstActivationDone && !activation.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!form->gps->serial()->Active()) {
        result.setupError = "the GPS port did not open: " + form->sb->SimpleText().toStdString();
        form.reset();
        Form1 = nullptr;
        return result;
    }
    form->CheckBox2->setChecked(true);
    form->edToQTH->setText(QStringLiteral("JN49kw"));
    form->edToLatDeg->setText(QStringLiteral("49"));
    form->edtoLonDeg->setText(QStringLiteral("8"));

    // Each message: a marker in the status line, the window's own handler,
    // then what the handler left there says what it did.
    const QString marker = QStringLiteral("\x01soak");
    const QString fixPrefix = QStringLiteral("New GPS data received at ");
    const TRxMessageEvent intake = form->gps->serial()->OnMessage;
    const TNotifyEvent shownError = form->gps->serial()->OnError;
    std::uint64_t cursor = 0;
    bool warm = false;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    TForm1& f = *form;
    auto mismatch = [&](std::uint64_t i, const std::string& what) {
        if (result.mismatches++ == 0) {
            result.firstMismatch =
                "item " + std::to_string(i) + " (" + kindName(stream.kind(i)) + "): " + what;
        }
    };
    auto text = [](const QLineEdit* edit) { return edit->text().toStdString(); };
    form->gps->serial()->OnMessage = [&](TSerial* sender, std::string message) {
        ++result.messages;
        sinceProgress.restart();
        f.sb->SetSimpleText(marker);
        intake(sender, message);
        const QString status = f.sb->SimpleText();
        if (status == marker) {
            ++result.noTrace;
            return;
        }
        while (cursor < options.items && !visible(stream.kind(cursor))) {
            ++cursor;
        }
        if (cursor >= options.items) {
            mismatch(cursor, "an outcome past the end: " + status.toStdString());
            return;
        }
        const std::uint64_t i = cursor++;
        const ItemKind kind = stream.kind(i);
        const QString time = QString::fromStdString(stream.timeText(i));
        if (status == fixPrefix + time) {
            if (kind != ItemKind::validFix) {
                mismatch(i, "taken as a fix");
                return;
            }
            const SoakStream::Fix want = stream.fix(i);
            const std::string shown =
                text(f.edFmLatDeg) + " " + text(f.edFmLatMin) + " " + text(f.edFmLatSec) + " " +
                std::to_string(f.rgFmLat->ItemIndex()) + " " + text(f.edFmLonDeg) + " " +
                text(f.edFmLonMin) + " " + text(f.edFmLonSec) + " " +
                std::to_string(f.rgFmLon->ItemIndex());
            const std::string expected = format("%d %d %d %d %d %d %d %d", want.latDeg, want.latMin,
                                                want.latSec, want.north ? 0 : 1, want.lonDeg,
                                                want.lonMin, want.lonSec, want.east ? 0 : 1);
            const std::string sentence = stream.bytes(i);
            if (shown != expected) {
                mismatch(i, "fields " + shown + ", expected " + expected);
            } else if (f.lbNmea4->text().toStdString() != sentence.substr(0, sentence.size() - 2)) {
                mismatch(i, "monitor shows " + f.lbNmea4->text().toStdString());
            } else {
                ++result.applied;
            }
        } else if (status ==
                   QStringLiteral("GPS data from ") + time + QStringLiteral(" is INVALID!")) {
            if (kind == ItemKind::validFix) {
                mismatch(i, "a valid fix shown as invalid");
            } else {
                ++result.shownInvalid;
            }
        } else {
            mismatch(i, "status line " + status.toStdString());
        }
        if (!warm && cursor >= options.items / 10) {
            warm = true;
            result.rssWarmKb = residentKb();
            result.heapWarmBytes = heapInUseBytes();
        }
        if (result.heapEndBytes == 0 && cursor >= options.items - options.items / 10) {
            result.heapEndBytes = heapInUseBytes();
        }
    };
    form->gps->serial()->OnError = [&](TSerial* sender) {
        ++result.errorsShown;
        shownError(sender);
    };

    result.rssStartKb = residentKb();
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> bytesWritten{0};
    std::uint64_t written[kindCount] = {};
    std::string writeError;
    QElapsedTimer clock;
    clock.start();
    std::thread writer([&] {
        std::string buffer;
        std::uint64_t i = 0;
        while (!stop.load()) {
            while (i < options.items && buffer.size() < 16384) {
                ++written[static_cast<int>(stream.kind(i))];
                buffer += stream.bytes(i++);
            }
            if (buffer.empty()) {
                return;
            }
            const ssize_t n = ::write(master, buffer.data(), buffer.size());
            if (n > 0) {
                buffer.erase(0, static_cast<std::size_t>(n));
                bytesWritten += static_cast<std::uint64_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd out{master, POLLOUT, 0};
                ::poll(&out, 1, 100);
            } else if (n < 0 && errno != EINTR) {
                writeError = std::string("write: ") + std::strerror(errno);
                return;
            }
        }
    });

    const std::uint64_t expectedOutcomes = result.expectedApplied + result.expectedInvalid;
    std::uint64_t nextReport = options.items / 10;
    while (result.applied + result.shownInvalid + result.mismatches < expectedOutcomes &&
           sinceProgress.elapsed() < options.stallMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (options.progress && cursor >= nextReport) {
            std::fprintf(stderr, "  %3d %%  %llu messages, %.1f s, RSS %ld kB\n",
                         static_cast<int>(100 * cursor / options.items),
                         static_cast<unsigned long long>(result.messages), clock.elapsed() / 1000.0,
                         residentKb());
            nextReport += options.items / 10;
        }
    }
    result.seconds = clock.elapsed() / 1000.0;
    result.finished = result.applied + result.shownInvalid + result.mismatches >= expectedOutcomes;
    result.rssEndKb = residentKb();

    stop = true;
    writer.join();
    std::copy(std::begin(written), std::end(written), std::begin(result.written));
    result.bytesWritten = bytesWritten.load();
    if (!writeError.empty() && result.setupError.empty()) {
        result.setupError = writeError;
    }
    form->gps->serial()->OnMessage = intake;
    form->gps->serial()->OnError = shownError;
    form.reset();
    Form1 = nullptr;
    return result;
}

} // namespace tessaro::prove
