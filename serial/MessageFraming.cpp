#include "MessageFraming.h"

namespace tessaro {

bool frameByte(FramingState& s, unsigned char byte, char startChar, char endChar,
               std::uint16_t appendCount, int otherEndChar) {
    const char c = static_cast<char>(byte);
    std::string& buffer = s.MessageBuffer;
    if (s.FrameState == frTrailer) {
        buffer += c;
        if (--s.TrailerLeft == 0) {
            s.FrameState = frDone;
            return true;
        }
        return false;
    }
    if (c == startChar) {
        s.FrameState = frBody;
        buffer.assign(1, c);
        return false;
    }
    if (c == endChar || static_cast<int>(byte) == otherEndChar) {
        if (s.FrameState != frBody) {
            return false;
        }
        buffer += c;
        if (appendCount == 0) {
            s.FrameState = frDone;
            return true;
        }
        if (buffer.size() + appendCount > maxMessageLength) {
            // The trailer would take the message past the bound: drop it now.
            buffer.clear();
            s.FrameState = frIdle;
            return false;
        }
        s.FrameState = frTrailer;
        s.TrailerLeft = appendCount;
        return false;
    }
    if (s.FrameState == frBody) {
        // Endless bytes without an end character must not grow memory: such a
        // message is dropped up to the next start character.
        if (buffer.size() + 1 >= maxMessageLength) {
            buffer.clear();
            s.FrameState = frIdle;
            return false;
        }
        buffer += c;
    }
    return false;
}

} // namespace tessaro
