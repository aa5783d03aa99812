#include "RtToken.h"

#include <cstring>
#include <stdexcept>

TRtTokenList::TRtTokenList(const char* text) {
    SetDelimiters(DefaultDelimiters);
    SetText(text);
}

TRtTokenList::~TRtTokenList() = default;

void TRtTokenList::SetText(const char* text) {
    if (text == nullptr) {
        throw std::invalid_argument("TRtTokenList: no text");
    }
    m_text = text;
    Reset();
}

void TRtTokenList::SetDelimiters(const char* delimiters) {
    if (delimiters == nullptr) {
        throw std::invalid_argument("TRtTokenList: no delimiters");
    }
    // Count no further than one byte past the storage, so an unterminated or
    // huge text is never read beyond what the verdict needs.
    std::size_t length = 0;
    while (length <= kDelimiterCapacity && delimiters[length] != '\0') {
        ++length;
    }
    if (length > kDelimiterCapacity) {
        throw std::length_error("TRtTokenList: more than 63 delimiters");
    }
    std::memcpy(m_delimiters, delimiters, length);
    m_delimiters[length] = '\0';
    Reset();
}

std::string TRtTokenList::First() {
    Reset();
    return Next();
}

std::string TRtTokenList::Next() {
    m_current.clear();
    bool found = false;
    while (!found && !m_atEnd) {
        const char* start = m_scan;
        while (*m_scan != '\0' && !isDelimiter(*m_scan)) {
            ++m_scan;
        }
        if (m_scan != start) {
            m_current.assign(start, m_scan);
            m_tokensFound.push_back(m_current);
            found = true;
        }
        // One delimiter a pass: an empty field costs one more pass, no token.
        if (isDelimiter(*m_scan)) {
            ++m_scan;
        }
        m_atEnd = *m_scan == '\0';
    }
    return m_current;
}

void TRtTokenList::Reset() {
    m_scan = m_text;
    m_atEnd = false;
    m_current.clear();
    m_tokensFound.clear();
}

bool TRtTokenList::isDelimiter(char c) const {
    // strchr would also "find" the terminating NUL of the set.
    return c != '\0' && std::strchr(m_delimiters, c) != nullptr;
}
