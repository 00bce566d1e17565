#include "avm1/globals/globals.h"

#include <cmath>
#include <limits>

namespace plovex::avm1 {

namespace {

double parseIntImpl(const QString& str, int radix)
{
    int i = 0;
    const int n = int(str.size());
    while (i < n && (str[i].isSpace()))
        ++i;
    bool neg = false;
    if (i < n && (str[i] == QLatin1Char('-') || str[i] == QLatin1Char('+'))) {
        neg = str[i] == QLatin1Char('-');
        ++i;
    }
    if (radix == 0) {
        radix = 10;
        if (i + 1 < n && str[i] == QLatin1Char('0') && (str[i + 1] == QLatin1Char('x') || str[i + 1] == QLatin1Char('X'))) {
            radix = 16;
            i += 2;
        } else if (i + 1 < n && str[i] == QLatin1Char('0')) {
            // A leading zero reads as octal when every digit is one.
            bool octal = true;
            for (int j = i + 1; j < n && !str[j].isSpace(); ++j)
                if (str[j] < QLatin1Char('0') || str[j] > QLatin1Char('7')) {
                    octal = false;
                    break;
                }
            if (octal)
                radix = 8;
        }
    } else if (radix == 16 && i + 1 < n && str[i] == QLatin1Char('0') && (str[i + 1] == QLatin1Char('x') || str[i + 1] == QLatin1Char('X'))) {
        i += 2;
    }
    if (radix < 2 || radix > 36)
        return std::nan("");
    double v = 0;
    int digits = 0;
    for (; i < n; ++i, ++digits) {
        const ushort c = str[i].unicode();
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
        if (d < 0 || d >= radix)
            break;
        v = v * radix + d;
    }
    if (!digits)
        return std::nan("");
    return neg ? -v : v;
}

// parseFloat as the Flash Player reads numbers: the fraction is summed digit
// by digit (so the last bits can differ from a correctly rounded read), a
// second point is passed over and then ends the number before any exponent,
// and the exponent wraps at 32 bits.
double ParseFloat(const QString& s)
{
    int i = 0;
    const int n = int(s.size());
    while (i < n && (s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('\t') || s[i] == QLatin1Char('\r') || s[i] == QLatin1Char('\n')))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        negative = s[i++] == QLatin1Char('-');
    double whole = 0, fraction = 0, scale = 1;
    int points = 0;
    bool digits = false;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= '0' && c <= '9') {
            digits = true;
            if (points) {
                scale /= 10;
                fraction += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.') {
            ++points;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nan("");
    double v = whole + fraction;
    if (points < 2 && i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        int j = i + 1;
        bool negativeExponent = false;
        if (j < n && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+')))
            negativeExponent = s[j++] == QLatin1Char('-');
        uint32_t e = 0;
        for (; j < n && s[j].unicode() >= '0' && s[j].unicode() <= '9'; ++j)
            e = e * 10 + uint32_t(s[j].unicode() - '0');
        int32_t exponent = int32_t(e);
        if (negativeExponent)
            exponent = int32_t(0u - uint32_t(exponent));
        if (exponent != 0)
            v *= std::pow(10.0, double(exponent));
    }
    return negative ? -v : v;
}

} // namespace

QString Escape(const QString& s)
{
    QString out;
    for (char c : s.toUtf8()) {
        const uchar u = uchar(c);
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            out += QChar(u);
        else
            out += QStringLiteral("%%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString Unescape(const QString& s, int version)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('%') && i + 2 < s.size() + 1) {
            bool ok = false;
            const QString hex = s.mid(i + 1, 2);
            const int v = hex.toInt(&ok, 16);
            if (ok && hex.size() == 2) {
                bytes += char(v);
                i += 2;
                continue;
            }
        }
        bytes += s.mid(i, 1).toUtf8();
    }
    return version >= 6 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

void InstallGlobalFunctions(Runtime& rt)
{
    Object* g = rt.global;
    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    g->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), constant);
    g->define(QStringLiteral("Infinity"), Value(std::numeric_limits<double>::infinity()), constant);
    g->defineNative(rt, QStringLiteral("isNaN"), [&rt](Activation& a, Object*, Args& args) -> Value {
        return Value(std::isnan(rt.toNumber(a, Arg(args, 0))));
    });
    g->defineNative(rt, QStringLiteral("isFinite"), [&rt](Activation& a, Object*, Args& args) -> Value {
        // A missing argument counts as NaN, whatever the version says of undefined.
        return Value(!args.empty() && std::isfinite(rt.toNumber(a, args[0])));
    });
    g->defineNative(rt, QStringLiteral("parseInt"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.empty())
            return Value();
        const QString s = rt.toString(a, Arg(args, 0));
        const int radix = args.size() > 1 && !args[1].isUndefined() ? ToInt32(rt.toNumber(a, args[1])) : 0;
        return Value(parseIntImpl(s, radix));
    });
    g->defineNative(rt, QStringLiteral("parseFloat"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.empty())
            return Value();
        return Value(ParseFloat(rt.toString(a, Arg(args, 0))));
    });
    g->defineNative(rt, QStringLiteral("escape"), [&rt](Activation& a, Object*, Args& args) -> Value {
        return Value(Escape(rt.toString(a, Arg(args, 0))));
    });
    g->defineNative(rt, QStringLiteral("unescape"), [&rt](Activation& a, Object*, Args& args) -> Value {
        return Value(Unescape(rt.toString(a, Arg(args, 0)), a.version));
    });
    g->defineNative(rt, QStringLiteral("getTimer"), [&rt](Activation&, Object*, Args&) -> Value {
        return Value(std::floor(rt.nowMs()));
    });
    auto addTimer = [&rt](Activation& a, Args& args, bool repeat) -> Value {
        if (args.size() < 2)
            return Value();
        Runtime::Timer t;
        size_t i = 0;
        Object* first = args[0].asObject();
        if (!first)
            return Value();
        if (first->isFunction()) {
            t.callback = first;
            i = 1;
        } else {
            t.callback = first;
            t.method = rt.toString(a, args[1]);
            i = 2;
        }
        t.interval = i < args.size() ? rt.toNumber(a, args[i]) : 0;
        if (std::isnan(t.interval))
            t.interval = 0;
        for (size_t k = i + 1; k < args.size(); ++k)
            t.args.push_back(args[k]);
        t.repeat = repeat;
        t.next = rt.nowMs() + std::max(t.interval, 0.0);
        t.id = rt.nextTimerId++;
        rt.timers[t.id] = t;
        return Value(double(t.id));
    };
    g->defineNative(rt, QStringLiteral("setInterval"), [addTimer](Activation& a, Object*, Args& args) -> Value {
        return addTimer(a, args, true);
    });
    g->defineNative(rt, QStringLiteral("setTimeout"), [addTimer](Activation& a, Object*, Args& args) -> Value {
        return addTimer(a, args, false);
    });
    auto clear = [&rt](Activation& a, Object*, Args& args) -> Value {
        if (!args.empty())
            rt.timers.erase(ToInt32(rt.toNumber(a, args[0])));
        return Value();
    };
    g->defineNative(rt, QStringLiteral("clearInterval"), clear);
    g->defineNative(rt, QStringLiteral("clearTimeout"), clear);
    g->defineNative(rt, QStringLiteral("updateAfterEvent"), [](Activation&, Object*, Args&) -> Value { return Value(); });
    g->defineNative(rt, QStringLiteral("getVersion"), [](Activation&, Object*, Args&) -> Value {
        return Value(QStringLiteral("LNX 10,0,2,0"));
    });
    g->defineNative(rt, QStringLiteral("ASnative"), [&rt](Activation& a, Object*, Args& args) -> Value {
        // Only the few natives movies call directly are known here.
        const int cls = ToInt32(rt.toNumber(a, Arg(args, 0)));
        const int idx = ToInt32(rt.toNumber(a, Arg(args, 1)));
        Q_UNUSED(cls);
        Q_UNUSED(idx);
        return Value();
    });
    g->defineNative(rt, QStringLiteral("MMExecute"), [](Activation&, Object*, Args&) -> Value { return Value(); });
}

void InstallError(Runtime& rt)
{
    Object* proto = rt.errorProto;
    proto->define(QStringLiteral("name"), Value(QStringLiteral("Error")), kDontEnum);
    proto->define(QStringLiteral("message"), Value(QStringLiteral("Error")), kDontEnum);
    auto make = [&rt, proto](Activation& a, Object*, Args& args) -> Value {
        Object* e = rt.make<Object>(proto);
        if (!args.empty() && !args[0].isUndefined())
            e->set(a, QStringLiteral("message"), args[0]);
        return Value(e);
    };
    FunctionObject* ctor = rt.newClass(QStringLiteral("Error"), make, nullptr, proto, rt.global);
    ctor->constructor = nullptr;
    ctor->native = [&rt, proto](Activation& a, Object* self, Args& args) -> Value {
        Object* e = self && self != rt.global ? self : rt.make<Object>(proto);
        if (!args.empty() && !args[0].isUndefined())
            e->set(a, QStringLiteral("message"), args[0]);
        return Value(e);
    };
    proto->defineNative(rt, QStringLiteral("toString"), [&rt](Activation& a, Object* self, Args&) -> Value {
        if (!self)
            return Value(QStringLiteral("Error"));
        return Value(rt.toString(a, self->get(a, QStringLiteral("message"))));
    });
}

} // namespace plovex::avm1
