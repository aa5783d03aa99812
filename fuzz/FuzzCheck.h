// Helpers shared by the fuzz targets: a check that stops the run with the
// failed condition and the values that explain it, so that a finding is
// readable from libFuzzer's log before anyone opens a debugger.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessaro::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* condition, const char* fmt,
                              ...) __attribute__((format(printf, 4, 5)));

inline void fail(const char* file, int line, const char* condition, const char* fmt, ...) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n  ", file, line, condition);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

// Bytes as C-escaped text, for messages about binary input.
inline std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

} // namespace tessaro::fuzz

#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::tessaro::fuzz::fail(__FILE__, __LINE__, #condition, __VA_ARGS__);                    \
        }                                                                                          \
    } while (false)
