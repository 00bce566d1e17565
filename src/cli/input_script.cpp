#include "cli/input_script.h"

#include "swf/player.h"

#include <QFile>
#include <QStringList>

namespace plovex::cli {

bool ReadInputFile(const QString& path, std::vector<InputEvent>& out, QString& error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: cannot read the input file").arg(path);
        return false;
    }
    if (f.size() > 16 * 1024 * 1024) {
        error = QStringLiteral("%1: the input file is too large").arg(path);
        return false;
    }
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        InputEvent e;
        bool ok = false;
        e.frame = w.value(0).toInt(&ok);
        auto bad = [&]() {
            error = QStringLiteral("%1:%2: cannot read \"%3\"").arg(path).arg(i + 1).arg(line);
            return false;
        };
        if (!ok || e.frame < 1 || w.size() < 2)
            return bad();
        const QString kind = w[1].toLower();
        auto xy = [&]() {
            bool okx = false, oky = false;
            e.x = w.value(2).toDouble(&okx);
            e.y = w.value(3).toDouble(&oky);
            return okx && oky;
        };
        auto code = [&]() {
            bool okc = false;
            e.code = w.value(2).toInt(&okc);
            return okc && e.code >= 0 && e.code < 256;
        };
        if (kind == QLatin1String("move")) { e.kind = InputEvent::Move; if (!xy()) return bad(); }
        else if (kind == QLatin1String("click")) { e.kind = InputEvent::Click; if (!xy()) return bad(); }
        else if (kind == QLatin1String("down")) e.kind = InputEvent::Down;
        else if (kind == QLatin1String("up")) e.kind = InputEvent::Up;
        else if (kind == QLatin1String("keydown")) { e.kind = InputEvent::KeyDown; if (!code()) return bad(); }
        else if (kind == QLatin1String("keyup")) { e.kind = InputEvent::KeyUp; if (!code()) return bad(); }
        else if (kind == QLatin1String("key")) { e.kind = InputEvent::Key; if (!code()) return bad(); }
        else if (kind == QLatin1String("type")) {
            e.kind = InputEvent::Type;
            e.text = line.section(QLatin1Char(' '), 2, -1, QString::SectionSkipEmpty);
        } else {
            return bad();
        }
        out.push_back(e);
    }
    return true;
}

namespace {

// The character a key code stands for, for the simple keys.
int asciiOf(int code)
{
    if (code >= 65 && code <= 90)
        return code + 32;   // letters, unshifted
    if ((code >= 48 && code <= 57) || code == 32 || code == 13 || code == 8 || code == 9 || code == 27)
        return code;
    return 0;
}

} // namespace

void ApplyInput(const std::vector<InputEvent>& events, int frame, swf::MovieRuntime& rt)
{
    for (const InputEvent& e : events) {
        if (e.frame != frame)
            continue;
        switch (e.kind) {
        case InputEvent::Move: rt.mouseMove(e.x, e.y); break;
        case InputEvent::Down: rt.mouseButton(true); break;
        case InputEvent::Up: rt.mouseButton(false); break;
        case InputEvent::Click:
            rt.mouseMove(e.x, e.y);
            rt.mouseButton(true);
            rt.mouseButton(false);
            break;
        case InputEvent::KeyDown: rt.key(true, e.code, asciiOf(e.code)); break;
        case InputEvent::KeyUp: rt.key(false, e.code, asciiOf(e.code)); break;
        case InputEvent::Key:
            rt.key(true, e.code, asciiOf(e.code));
            rt.key(false, e.code, asciiOf(e.code));
            break;
        case InputEvent::Type:
            for (QChar c : e.text) {
                const int code = c.toUpper().unicode() < 256 ? c.toUpper().unicode() : 0;
                rt.key(true, code, c.unicode());
                rt.text(QString(c));
                rt.key(false, code, c.unicode());
            }
            break;
        }
    }
}

std::function<void(int, swf::MovieRuntime&)> InputFor(std::vector<InputEvent> events)
{
    if (events.empty())
        return {};
    return [events = std::move(events)](int frame, swf::MovieRuntime& runtime) { ApplyInput(events, frame, runtime); };
}

} // namespace plovex::cli
