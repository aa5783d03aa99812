// An error whose text is ready to be shown: already in the user's language
// and in any characters (a path, a typed text). The general error handler
// shows text(); what() is the same text in UTF-8, for logs.
#pragma once

#include <QString>
#include <stdexcept>

namespace tessaro {

class ShownError : public std::runtime_error {
public:
    explicit ShownError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace tessaro
