#include "platform/prompts.h"

#include <cstdio>

namespace plovex {

namespace {

class ConsolePrompts final : public Prompts {
public:
    void showMessage(const QString& text) override { print(text); }
    void messageBox(const QString&, const QString& text, MessageIcon) override { print(text); }
    bool confirm(const QString& text) override
    {
        print(text);
        return false;
    }
    void errorBox(const QString& text) override { print(text); }
    bool inputQuery(const QString&, const QString&, QString&) override { return false; }
    bool execute(FileDialog&) override { return false; }
    bool execute(ColorDialog&) override { return false; }

private:
    static void print(const QString& text)
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }
};

Prompts*& current()
{
    static Prompts* p = nullptr;
    return p;
}

} // namespace

QString FilterExtension(const QString& filter, int filterIndex)
{
    const QStringList parts = filter.split(u'|');
    const qsizetype patternAt = 2 * qsizetype(filterIndex - 1) + 1;
    if (filterIndex < 1 || patternAt >= parts.size())
        return QString();
    const QString pattern = parts[patternAt].split(u';').front().trimmed();
    if (!pattern.startsWith(QStringLiteral("*.")) || pattern.size() <= 2)
        return QString();
    const QString extension = pattern.mid(1);
    if (extension.contains(u'*') || extension.contains(u'?'))
        return QString();
    return extension;
}

Prompts& prompts()
{
    static ConsolePrompts console;
    return current() ? *current() : console;
}

void SetPrompts(Prompts* p)
{
    current() = p;
}

} // namespace plovex
