// CPU time of the whole process (user and system, every thread): what a
// spinning event thread would burn.
#pragma once

#include <sys/resource.h>

namespace tessaro::test {

inline double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace tessaro::test
