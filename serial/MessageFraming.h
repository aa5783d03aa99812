// Message framing of received bytes: a start character, everything up to and
// including the end character, then a fixed number of trailing bytes. Plain
// C++ so it is tested and fuzzed without a port or a thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum eFrameState { frIdle, frBody, frTrailer, frDone };

namespace tessaro {

// A message longer than this is dropped up to the next start character.
constexpr std::size_t maxMessageLength = 4096;

struct FramingState {
    eFrameState FrameState = frIdle;
    std::uint16_t TrailerLeft = 0;
    std::string MessageBuffer; // the message being built, or the one last delivered
};

// Feeds one byte; returns true when it completed a message, which is then in
// state.MessageBuffer. The tests run in this order on purpose: in the trailer
// every byte counts, and a start character always restarts (so start == end
// never completes). `otherEndChar` (a byte value, or -1 for none) ends a
// message as the end character does: NMEA lines that end in LF alone.
bool frameByte(FramingState& state, unsigned char byte, char startChar, char endChar,
               std::uint16_t appendCount, int otherEndChar = -1);

} // namespace tessaro
