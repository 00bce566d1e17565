#pragma once

#include <QString>
#include <exception>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace plovex {

// The one exception type of the program. Handlers let it propagate; the
// top-level wrapper (Guarded, below) shows its text in the error box.
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

// The top-level error handler: shows the text of the exception in flight
// in the error box (caption "Plovex v3.0", error icon, full-stop rule).
// Call it only from inside a catch block.
void ReportCurrentException();

// Wraps an event handler so that no exception ever reaches Qt: an error
// ends the handler where it arose, is reported, and the program carries on.
// Every handler is connected through this.
template <typename F>
auto Guarded(F&& handler)
{
    // The constraint keeps the wrapper honest about what it accepts, so Qt
    // (which probes how many of a signal's arguments a slot takes) sees a
    // handler of one argument refuse a call with none instead of failing
    // to compile.
    return [h = std::forward<F>(handler)](auto&&... args) mutable
        requires(std::is_invocable_v<F&, decltype(args)...> || std::is_invocable_v<F&>)
    {
        try {
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                h(std::forward<decltype(args)>(args)...);
            else
                h();
        } catch (...) {
            ReportCurrentException();
        }
    };
}

// Asks a window's close question (a handler that may throw): an error is
// reported and the window stays open, since nothing confirmed the close.
template <typename F>
bool GuardedCloseQuery(F&& query)
{
    try {
        return std::forward<F>(query)();
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

} // namespace plovex
