// The serial layer on Windows: a COM device opened exclusively for overlapped
// I/O. The event wait is overlapped too, so that disarming the events or
// closing the port can always wake it through an event of our own, whether or
// not the driver completes the pending wait by itself.
//
// A device without modem lines (a virtual port, or wine's port on a
// pseudo-terminal) cannot wait for line events: its driver fails every wait.
// There the receive queue is sampled instead.
#include "SerialPlatform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tessaro {
namespace {

constexpr DWORD readWaitMs = 100;
constexpr DWORD queueSampleMs = 50;

int lastError() {
    return static_cast<int>(::GetLastError());
}

DCB toDcb(const LineSettings& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(s.baudRate);
    dcb.fBinary = s.binary;
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outxCtsFlow;
    dcb.fOutxDsrFlow = s.outxDsrFlow;
    dcb.fDtrControl = s.dtrHandshake ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = s.rtsHandshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    dcb.fOutX = s.outX;
    dcb.fInX = s.inX;
    dcb.XonLim = s.xonLim;
    dcb.XoffLim = s.xoffLim;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.ErrorChar = s.errorChar;
    dcb.EofChar = s.eofChar;
    dcb.EvtChar = s.evtChar;
    return dcb;
}

// An event handle closed with its owner.
class Event {
public:
    explicit Event(bool manualReset)
        : m_handle(::CreateEventA(nullptr, manualReset, FALSE, nullptr)) {}
    ~Event() {
        if (m_handle) {
            ::CloseHandle(m_handle);
        }
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class WinSerialPort : public SerialPort {
public:
    WinSerialPort(HANDLE handle, bool sampled) : m_handle(handle), m_sampled(sampled) {
        m_waitOv.hEvent = m_waitDone.get();
        m_readOv.hEvent = m_readDone.get();
    }

    bool valid() const { return m_waitDone.get() && m_readDone.get() && m_wake.get(); }

    ~WinSerialPort() override { close(); }

    int setupQueues(std::uint16_t rxSize, std::uint16_t txSize) override {
        return call([&](HANDLE h) { return ::SetupComm(h, rxSize, txSize); });
    }

    int applyLineSettings(const LineSettings& settings) override {
        DCB dcb = toDcb(settings);
        return call([&](HANDLE h) { return ::SetCommState(h, &dcb); });
    }

    int applyTimeouts(const Timeouts& t) override {
        COMMTIMEOUTS timeouts{t.readInterval, t.readTotalMultiplier, t.readTotalConstant,
                              t.writeTotalMultiplier, t.writeTotalConstant};
        return call([&](HANDLE h) { return ::SetCommTimeouts(h, &timeouts); });
    }

    void setModemOutput(ModemOutput line, bool on) override {
        const DWORD function =
            line == ModemOutput::rts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
        (void)call([&](HANDLE h) { return ::EscapeCommFunction(h, function); });
    }

    int armEvents(std::uint32_t mask) override {
        m_mask = mask;
        const int rc = call([&](HANDLE h) { return ::SetCommMask(h, mask); });
        ::SetEvent(m_wake.get());
        return rc;
    }

    int waitEvents(std::uint32_t& occurred) override {
        occurred = 0;
        if (m_sampled) {
            return sampleEvents(occurred);
        }
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_handle == INVALID_HANDLE_VALUE) {
                    return 0;
                }
                if (!m_waitPending) {
                    m_events = 0;
                    ::ResetEvent(m_waitDone.get());
                    if (!::WaitCommEvent(m_handle, &m_events, &m_waitOv)) {
                        if (::GetLastError() != ERROR_IO_PENDING) {
                            return lastError();
                        }
                        m_waitPending = true;
                    }
                }
            }
            HANDLE handles[] = {m_waitDone.get(), m_wake.get()};
            const DWORD which = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            std::lock_guard<std::mutex> lock(m_mutex);
            // Closed meanwhile: close() has collected the pending wait.
            if (m_handle == INVALID_HANDLE_VALUE) {
                return 0;
            }
            if (which == WAIT_OBJECT_0 + 1) {
                // Woken for a new mask: wait on, unless the events are off.
                if (m_mask != 0) {
                    continue;
                }
                cancelWait();
                return 0;
            }
            if (which != WAIT_OBJECT_0) {
                return lastError();
            }
            int rc = 0;
            if (m_waitPending) {
                DWORD unused = 0;
                if (!::GetOverlappedResult(m_handle, &m_waitOv, &unused, FALSE)) {
                    rc = lastError();
                }
                m_waitPending = false;
            }
            // Our own cancels never get here, so an aborted wait is the
            // driver's failure: reported, not retried at once in a loop.
            if (rc != 0) {
                return rc;
            }
            occurred = m_events & m_mask;
            if (occurred != 0 || m_mask == 0) {
                return 0;
            }
        }
    }

    int modemStatus(std::uint32_t& bits) override {
        DWORD status = 0;
        const int rc = call([&](HANDLE h) { return ::GetCommModemStatus(h, &status); });
        if (rc == 0) {
            bits = status;
        }
        return rc;
    }

    int readByte(unsigned char& byte, int& count) override {
        count = 0;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_handle == INVALID_HANDLE_VALUE) {
            return 0;
        }
        DWORD got = 0;
        m_readOv.Offset = 0;
        m_readOv.OffsetHigh = 0;
        ::ResetEvent(m_readDone.get());
        // Into a member, not the caller's byte: a read still pending after the
        // time-out is cancelled, but until then the driver owns the buffer.
        if (!::ReadFile(m_handle, &m_readBuffer, 1, &got, &m_readOv)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                return 0;
            }
            const DWORD waited = ::WaitForSingleObject(m_readDone.get(), readWaitMs);
            if (waited != WAIT_OBJECT_0 && waited != WAIT_TIMEOUT) {
                const int rc = lastError();
                ::CancelIoEx(m_handle, &m_readOv);
                (void)::GetOverlappedResult(m_handle, &m_readOv, &got, TRUE);
                return rc;
            }
            if (waited == WAIT_TIMEOUT) {
                ::CancelIoEx(m_handle, &m_readOv);
            }
            // A byte that arrived while the cancel was on its way is kept.
            if (!::GetOverlappedResult(m_handle, &m_readOv, &got, TRUE)) {
                got = 0;
            }
        }
        if (got == 1) {
            byte = m_readBuffer;
            count = 1;
            if (m_seenQueued > 0) {
                --m_seenQueued;
            }
        }
        return 0;
    }

    int queueCounts(int& rxCount, int& txCount) override {
        COMSTAT status{};
        DWORD errors = 0;
        const int rc = call([&](HANDLE h) { return ::ClearCommError(h, &errors, &status); });
        if (rc == 0) {
            rxCount = static_cast<int>(status.cbInQue);
            txCount = static_cast<int>(status.cbOutQue);
        }
        return rc;
    }

    int purge() override {
        return call([](HANDLE h) { return ::PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT); });
    }

    int close() override {
        int rc = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_handle == INVALID_HANDLE_VALUE) {
                return 0;
            }
            // The overlapped record must be free before the handle goes.
            cancelWait();
            if (!::CloseHandle(m_handle)) {
                rc = lastError();
            }
            m_handle = INVALID_HANDLE_VALUE;
        }
        ::SetEvent(m_wake.get());
        return rc;
    }

private:
    // Reports received characters when the receive queue has grown since the
    // last look, minus what has been read since: each arrival once, like the
    // driver's own event.
    int sampleEvents(std::uint32_t& occurred) {
        for (;;) {
            const bool woken = ::WaitForSingleObject(m_wake.get(), queueSampleMs) == WAIT_OBJECT_0;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_handle == INVALID_HANDLE_VALUE || (woken && m_mask == 0)) {
                return 0;
            }
            COMSTAT status{};
            DWORD errors = 0;
            // Fails once the device has gone.
            if (!::ClearCommError(m_handle, &errors, &status)) {
                return lastError();
            }
            const bool arrived = status.cbInQue > m_seenQueued;
            m_seenQueued = status.cbInQue;
            if (arrived && (m_mask & evRxChar)) {
                occurred = evRxChar;
                return 0;
            }
        }
    }

    // Runs one call on the open handle; 0 or the error code of its failure.
    template <class Call> int call(Call&& fn) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_handle == INVALID_HANDLE_VALUE) {
            return ERROR_INVALID_HANDLE;
        }
        return fn(m_handle) ? 0 : lastError();
    }

    // With m_mutex held.
    void cancelWait() {
        if (!m_waitPending) {
            return;
        }
        DWORD unused = 0;
        ::CancelIoEx(m_handle, &m_waitOv);
        (void)::GetOverlappedResult(m_handle, &m_waitOv, &unused, TRUE);
        m_waitPending = false;
    }

    std::mutex m_mutex; // guards the handle, both overlapped records, m_seenQueued
    HANDLE m_handle;
    const bool m_sampled;
    DWORD m_seenQueued = 0;
    Event m_waitDone{true};
    Event m_readDone{true};
    Event m_wake{false};
    OVERLAPPED m_waitOv{};
    OVERLAPPED m_readOv{};
    DWORD m_events = 0;
    bool m_waitPending = false;
    unsigned char m_readBuffer = 0;
    std::atomic<std::uint32_t> m_mask{0};
};

class WinSerialPlatform : public SerialPlatform {
public:
    std::shared_ptr<SerialPort> open(const std::string& path, int& error) override {
        HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = lastError();
            return nullptr;
        }
        DWORD lines = 0;
        const bool modemLines = ::GetCommModemStatus(handle, &lines);
        auto port = std::make_shared<WinSerialPort>(handle, !modemLines);
        if (!port->valid()) {
            error = lastError();
            return nullptr;
        }
        return port;
    }

    std::string errorText(int code) const override {
        char buffer[256];
        const DWORD length =
            ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             buffer, sizeof buffer, nullptr);
        return std::string(buffer, length);
    }
};

} // namespace

std::shared_ptr<SerialPlatform> deviceSerialPlatform() {
    static const std::shared_ptr<SerialPlatform> platform = std::make_shared<WinSerialPlatform>();
    return platform;
}

// The network sources (gpsd, TCP) are not built for Windows: COM ports only.
std::shared_ptr<SerialPlatform> systemSerialPlatform() {
    return deviceSerialPlatform();
}

int notSupportedError() {
    return ERROR_NOT_SUPPORTED;
}

} // namespace tessaro
