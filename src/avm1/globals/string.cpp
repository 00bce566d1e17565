#include "avm1/globals/globals.h"

namespace plovex::avm1 {

namespace {

QString thisString(Activation& a, Object* self)
{
    if (!self)
        return QString();
    if (self->hasPrimitive)
        return a.rt.toString(a, self->primitive);
    return a.rt.toString(a, Value(self));
}

int intArg(Activation& a, const Args& args, size_t i, int dflt)
{
    if (i >= args.size() || args[i].isUndefined())
        return dflt;
    const double n = a.rt.toNumber(a, args[i]);
    if (std::isnan(n))
        return 0;
    return int(std::clamp(std::trunc(n), -2147483647.0, 2147483647.0));
}

} // namespace

void InstallString(Runtime& rt)
{
    Object* proto = rt.stringProto;
    auto box = [&rt](Activation& a, Object*, Args& args) -> Value {
        const QString s = args.empty() ? QString() : rt.toString(a, args[0]);
        return Value(rt.toObject(a, Value(s)));
    };
    FunctionObject* ctor = rt.newClass(
        QStringLiteral("String"),
        [&rt](Activation& a, Object*, Args& args) -> Value {
            if (args.empty())
                return Value(QString());
            return Value(rt.toString(a, args[0]));
        },
        box, proto, rt.global);
    ctor->defineNative(rt, QStringLiteral("fromCharCode"), [&rt](Activation& a, Object*, Args& args) -> Value {
        QString out;
        for (const Value& v : args) {
            const int c = ToInt32(rt.toNumber(a, v)) & 0xffff;
            if (c == 0)
                break;
            out += QChar(c);
        }
        return Value(out);
    });
    proto->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(thisString(a, self));
    });
    proto->defineNative(rt, QStringLiteral("valueOf"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(thisString(a, self));
    });
    proto->defineNative(rt, QStringLiteral("charAt"), [](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const int i = intArg(a, args, 0, 0);
        return Value(i >= 0 && i < s.size() ? QString(s[i]) : QString());
    });
    proto->defineNative(rt, QStringLiteral("charCodeAt"), [](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const int i = intArg(a, args, 0, 0);
        return Value(i >= 0 && i < s.size() ? double(s[i].unicode()) : std::nan(""));
    });
    proto->defineNative(rt, QStringLiteral("concat"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        QString s = thisString(a, self);
        for (const Value& v : args) {
            s += rt.toString(a, v);
            if (s.size() > Runtime::kMaxStringLength)
                throw ScriptAbort{QStringLiteral("A script in this movie built a string too long to keep; its actions were stopped.")};
        }
        return Value(s);
    });
    proto->defineNative(rt, QStringLiteral("indexOf"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const QString needle = rt.toString(a, Arg(args, 0));
        const int from = std::max(0, intArg(a, args, 1, 0));
        if (from > s.size())
            return Value(-1.0);
        return Value(double(s.indexOf(needle, from)));
    });
    proto->defineNative(rt, QStringLiteral("lastIndexOf"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const QString needle = rt.toString(a, Arg(args, 0));
        int from = intArg(a, args, 1, int(s.size()));
        if (from < 0)
            return Value(-1.0);
        return Value(double(s.lastIndexOf(needle, std::min(from, int(s.size())))));
    });
    proto->defineNative(rt, QStringLiteral("slice"), [](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const int len = int(s.size());
        int start = intArg(a, args, 0, 0), end = intArg(a, args, 1, len);
        if (start < 0) start = std::max(0, len + start);
        if (end < 0) end = std::max(0, len + end);
        start = std::min(start, len);
        end = std::min(end, len);
        return Value(end > start ? s.mid(start, end - start) : QString());
    });
    proto->defineNative(rt, QStringLiteral("substring"), [](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const int len = int(s.size());
        int start = std::clamp(intArg(a, args, 0, 0), 0, len);
        int end = std::clamp(intArg(a, args, 1, len), 0, len);
        if (start > end)
            std::swap(start, end);
        return Value(s.mid(start, end - start));
    });
    proto->defineNative(rt, QStringLiteral("substr"), [](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        const int len = int(s.size());
        int start = intArg(a, args, 0, 0);
        if (start < 0) start = std::max(0, len + start);
        start = std::min(start, len);
        int count = intArg(a, args, 1, len - start);
        if (count < 0) count = std::max(0, len - start + count);
        return Value(s.mid(start, count));
    });
    proto->defineNative(rt, QStringLiteral("split"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const QString s = thisString(a, self);
        ArrayObject* out = rt.newArray();
        const int limit = args.size() > 1 && !args[1].isUndefined() ? intArg(a, args, 1, 0) : -1;
        if (args.empty() || args[0].isUndefined()) {
            out->push(Value(s));
            return Value(out);
        }
        const QString sep = rt.toString(a, args[0]);
        QStringList parts;
        if (sep.isEmpty()) {
            for (QChar c : s)
                parts << QString(c);
        } else {
            parts = s.split(sep);
        }
        for (const QString& p : parts) {
            if (limit >= 0 && out->length() >= limit)
                break;
            out->push(Value(p));
        }
        return Value(out);
    });
    proto->defineNative(rt, QStringLiteral("toLowerCase"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(thisString(a, self).toLower());
    });
    proto->defineNative(rt, QStringLiteral("toUpperCase"), [](Activation& a, Object* self, Args&) -> Value {
        return Value(thisString(a, self).toUpper());
    });
}

} // namespace plovex::avm1
