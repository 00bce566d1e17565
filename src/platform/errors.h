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
// Every handler is connected through this. A handler may take the signal's
// arguments or none; the constraints keep the wrapper honest about which
// calls it accepts, since Qt probes how many arguments a slot takes.
template <typename F>
class GuardedHandler {
public:
    explicit GuardedHandler(F handler) : handler_(std::move(handler)) {}

    template <typename... A>
        requires std::is_invocable_v<F&, A...>
    void operator()(A&&... args)
    {
        run([&] { handler_(std::forward<A>(args)...); });
    }

    template <typename... A>
        requires(sizeof...(A) > 0 && !std::is_invocable_v<F&, A...> && std::is_invocable_v<F&>)
    void operator()(A&&...)
    {
        run([&] { handler_(); });
    }

private:
    template <typename Call>
    static void run(Call&& call)
    {
        try {
            call();
        } catch (...) {
            ReportCurrentException();
        }
    }

    F handler_;
};

template <typename F>
auto Guarded(F&& handler)
{
    return GuardedHandler<std::decay_t<F>>(std::forward<F>(handler));
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
