#pragma once

#include <QString>
#include <stdexcept>

namespace plovex {

// The one exception type of the program. Handlers let it propagate; the
// top-level wrapper (see app/) shows its text in the error box.
class PlovexError : public std::runtime_error {
public:
    explicit PlovexError(const QString& message)
        : std::runtime_error(message.toStdString()), text_(message) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// The error box adds a full stop unless the text already ends in a
// character that sorts at or below '.', such as '.', '!', ',', ')' or a blank.
QString withFullStop(const QString& text);

} // namespace plovex
