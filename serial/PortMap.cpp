#include "PortMap.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tessaro {

PortMap::PortMap(std::vector<std::string> explicitDevices, std::string byIdDirectory)
    : m_explicit(std::move(explicitDevices)), m_byIdDirectory(std::move(byIdDirectory)) {}

std::string PortMap::devicePath(int port) const {
    if (port < 1) {
        return {};
    }
    const auto index = static_cast<std::size_t>(port - 1);
    if (index < m_explicit.size() && !m_explicit[index].empty()) {
        return m_explicit[index];
    }
#ifdef _WIN32
    // The device namespace form also reaches COM10 and above.
    return "\\\\.\\COM" + std::to_string(port);
#endif

    // Missing or unreadable directory (no USB adapter plugged in): no entries.
    std::vector<std::string> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_byIdDirectory, error), end; !error && it != end;
         it.increment(error)) {
        entries.push_back(it->path().string());
    }
    if (index < entries.size()) {
        std::sort(entries.begin(), entries.end());
        return entries[index];
    }
    return "/dev/ttyS" + std::to_string(index);
}

} // namespace tessaro
