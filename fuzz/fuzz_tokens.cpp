// TRtTokenList on arbitrary text and delimiter sets, held against a plain
// split of the same text.
//
// Input: first byte = length of the delimiter set (the set may exceed the 63
// characters the list stores), then the set, then the text.
#include "FuzzCheck.h"
#include "RtToken.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tessaro::fuzz::printable;

// Splits text (up to its first NUL) at any character of delimiters (up to
// theirs), keeping the non-empty pieces.
std::vector<std::string> plainSplit(const std::string& text, const std::string& delimiters) {
    const std::string t = text.substr(0, text.find('\0'));
    const std::string d = delimiters.substr(0, delimiters.find('\0'));
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < t.size()) {
        const std::size_t end = std::min(t.find_first_of(d, start), t.size());
        if (end > start) {
            out.push_back(t.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> allTokens(TRtTokenList& list, std::size_t bound) {
    std::vector<std::string> tokens;
    for (std::string token = list.First(); !token.empty(); token = list.Next()) {
        tokens.push_back(token);
        FUZZ_CHECK(tokens.size() <= bound, "more than %zu tokens", bound);
    }
    return tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t setLength = std::min<std::size_t>(data[0] % 80, size - 1);
    const std::string delimiters(reinterpret_cast<const char*>(data + 1), setLength);
    const std::string text(reinterpret_cast<const char*>(data + 1 + setLength),
                           size - 1 - setLength);

    TRtTokenList list(text.c_str());
    const std::vector<std::string> defaultTokens = allTokens(list, text.size() + 1);
    FUZZ_CHECK(defaultTokens == plainSplit(text, DefaultDelimiters),
               "default delimiters split \"%s\" differently", printable(text).c_str());

    const std::size_t storedLength = std::strlen(delimiters.c_str());
    bool refused = false;
    try {
        list.SetDelimiters(delimiters.c_str());
    } catch (const std::length_error&) {
        refused = true;
    }
    FUZZ_CHECK(refused == (storedLength > 63), "set of %zu delimiters refused: %d", storedLength,
               refused);
    // A refused set leaves the default one in place.
    const std::string inUse = refused ? std::string(DefaultDelimiters) : delimiters;

    const std::vector<std::string> tokens = allTokens(list, text.size() + 1);
    for (const std::string& token : tokens) {
        FUZZ_CHECK(token.find_first_of(inUse.c_str()) == std::string::npos &&
                       token.find('\0') == std::string::npos,
                   "token \"%s\" holds a delimiter of \"%s\"", printable(token).c_str(),
                   printable(inUse).c_str());
    }
    FUZZ_CHECK(tokens == plainSplit(text, inUse), "\"%s\" split at \"%s\": %zu tokens",
               printable(text).c_str(), printable(inUse).c_str(), tokens.size());
    FUZZ_CHECK(list.tokensFound() == tokens, "tokensFound differs from the tokens handed out");

    // Once used up, the list stays used up.
    FUZZ_CHECK(list.Next().empty() && list.Next().empty(), "a token after the end of \"%s\"",
               printable(text).c_str());
    return 0;
}
