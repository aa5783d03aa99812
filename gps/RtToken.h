// TRtTokenList: splits a borrowed NUL-terminated text into tokens separated by
// delimiter characters. A token is never empty: runs of delimiters, and
// delimiters at either end, produce nothing, so an empty result always means
// "no more tokens".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Made for expression-like text: operators, brackets, punctuation, white space.
// 22 characters; the order matters only to readers.
inline constexpr char DefaultDelimiters[] = " +-*=,;:/()[]{}#&%\t\n\r\"";

class TRtTokenList {
public:
    // Throws std::invalid_argument when text is null. The text is borrowed:
    // the caller keeps it alive and unchanged while this object is in use.
    explicit TRtTokenList(const char* text);
    virtual ~TRtTokenList();

    TRtTokenList(const TRtTokenList&) = delete;
    TRtTokenList& operator=(const TRtTokenList&) = delete;

    // Splits `text` from now on, then Reset. Null is refused with
    // std::invalid_argument and leaves the object as it was.
    void SetText(const char* text);
    // Replaces the whole delimiter set, then Reset. More than 63 characters
    // do not fit the storage and are refused with std::length_error; null
    // with std::invalid_argument. Either way the object stays as it was.
    void SetDelimiters(const char* delimiters);

    // Reset, then Next.
    std::string First();
    // The next token (a copy for the caller), or "" once the text is used up.
    std::string Next();
    // Back to the start of the text; releases the tokens found.
    void Reset();

    // Every token handed out since the last reset, in order. Each token is
    // thus held twice (here and in the caller's copy) and the list only grows
    // until the next reset; harmless for the few short fields of one sentence.
    const std::vector<std::string>& tokensFound() const { return m_tokensFound; }

private:
    static constexpr std::size_t kDelimiterCapacity = 63;

    bool isDelimiter(char c) const;

    const char* m_text = nullptr;
    const char* m_scan = nullptr;
    bool m_atEnd = false;
    char m_delimiters[kDelimiterCapacity + 1] = {};
    std::string m_current;
    std::vector<std::string> m_tokensFound;
};
