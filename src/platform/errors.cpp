#include "platform/errors.h"

#include "platform/prompts.h"

#include <cstdio>

namespace plovex {

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() <= u'.')
        return text;
    return text + u'.';
}

void ReportCurrentException()
{
    QString text;
    try {
        throw;
    } catch (const PlovexError& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    try {
        prompts().errorBox(withFullStop(text));
    } catch (...) {
        // The error box itself failed: nothing sensible is left to show it
        // with, so the text goes to standard error instead.
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }
}

} // namespace plovex
