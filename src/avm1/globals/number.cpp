#include "avm1/globals/globals.h"

#include <limits>

namespace plovex::avm1 {

void InstallNumber(Runtime& rt)
{
    Object* proto = rt.numberProto;
    FunctionObject* ctor = rt.newClass(
        QStringLiteral("Number"),
        [&rt](Activation& a, Object*, Args& args) -> Value {
            return Value(args.empty() ? 0.0 : rt.toNumber(a, args[0]));
        },
        [&rt](Activation& a, Object*, Args& args) -> Value {
            return Value(rt.toObject(a, Value(args.empty() ? 0.0 : rt.toNumber(a, args[0]))));
        },
        proto, rt.global);
    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    ctor->define(QStringLiteral("MAX_VALUE"), Value(std::numeric_limits<double>::max()), constant);
    ctor->define(QStringLiteral("MIN_VALUE"), Value(std::numeric_limits<double>::denorm_min()), constant);
    ctor->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), constant);
    ctor->define(QStringLiteral("NEGATIVE_INFINITY"), Value(-std::numeric_limits<double>::infinity()), constant);
    ctor->define(QStringLiteral("POSITIVE_INFINITY"), Value(std::numeric_limits<double>::infinity()), constant);
    proto->defineNative(rt, QStringLiteral("toString"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        const double n = self && self->hasPrimitive ? rt.toNumber(a, self->primitive) : std::nan("");
        const int radix = args.empty() || args[0].isUndefined() ? 10 : ToInt32(rt.toNumber(a, args[0]));
        return Value(NumberToRadix(n, radix));
    });
    proto->defineNative(rt, QStringLiteral("valueOf"), [&rt](Activation& a, Object* self, Args&) -> Value {
        return Value(self && self->hasPrimitive ? rt.toNumber(a, self->primitive) : std::nan(""));
    });
}

void InstallBoolean(Runtime& rt)
{
    Object* proto = rt.booleanProto;
    rt.newClass(
        QStringLiteral("Boolean"),
        [&rt](Activation& a, Object*, Args& args) -> Value {
            return Value(args.empty() ? false : rt.toBool(args[0], a.version));
        },
        [&rt](Activation& a, Object*, Args& args) -> Value {
            return Value(rt.toObject(a, Value(args.empty() ? false : rt.toBool(args[0], a.version))));
        },
        proto, rt.global);
    proto->defineNative(rt, QStringLiteral("toString"), [&rt](Activation& a, Object* self, Args&) -> Value {
        if (!self || !self->hasPrimitive)
            return Value();
        return Value(rt.toString(a, self->primitive));
    });
    proto->defineNative(rt, QStringLiteral("valueOf"), [](Activation&, Object* self, Args&) -> Value {
        if (!self || !self->hasPrimitive)
            return Value();
        return self->primitive;
    });
}

void InstallMath(Runtime& rt)
{
    Object* math = rt.newObject();
    rt.global->define(QStringLiteral("Math"), Value(math), kDontEnum);
    const uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    math->define(QStringLiteral("E"), Value(M_E), constant);
    math->define(QStringLiteral("LN10"), Value(M_LN10), constant);
    math->define(QStringLiteral("LN2"), Value(M_LN2), constant);
    math->define(QStringLiteral("LOG10E"), Value(M_LOG10E), constant);
    math->define(QStringLiteral("LOG2E"), Value(M_LOG2E), constant);
    math->define(QStringLiteral("PI"), Value(M_PI), constant);
    math->define(QStringLiteral("SQRT1_2"), Value(M_SQRT1_2), constant);
    math->define(QStringLiteral("SQRT2"), Value(M_SQRT2), constant);
    auto unary = [&](const char* name, double (*f)(double)) {
        math->defineNative(rt, QString::fromLatin1(name), [&rt, f](Activation& a, Object*, Args& args) -> Value {
            if (args.empty())
                return Value(std::nan(""));
            return Value(f(rt.toNumber(a, args[0])));
        });
    };
    unary("abs", [](double x) { return std::fabs(x); });
    unary("acos", [](double x) { return std::acos(x); });
    unary("asin", [](double x) { return std::asin(x); });
    unary("atan", [](double x) { return std::atan(x); });
    unary("ceil", [](double x) { return std::ceil(x); });
    unary("cos", [](double x) { return std::cos(x); });
    unary("exp", [](double x) { return std::exp(x); });
    unary("floor", [](double x) { return std::floor(x); });
    unary("log", [](double x) { return std::log(x); });
    unary("round", [](double x) { return std::floor(x + 0.5); });
    unary("sin", [](double x) { return std::sin(x); });
    unary("sqrt", [](double x) { return std::sqrt(x); });
    unary("tan", [](double x) { return std::tan(x); });
    math->defineNative(rt, QStringLiteral("atan2"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.size() < 2)
            return Value(std::nan(""));
        return Value(std::atan2(rt.toNumber(a, args[0]), rt.toNumber(a, args[1])));
    });
    math->defineNative(rt, QStringLiteral("pow"), [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.size() < 2)
            return Value(std::nan(""));
        return Value(std::pow(rt.toNumber(a, args[0]), rt.toNumber(a, args[1])));
    });
    auto minmax = [&](const char* name, bool isMax) {
        math->defineNative(rt, QString::fromLatin1(name), [&rt, isMax](Activation& a, Object*, Args& args) -> Value {
            if (args.empty())
                return Value(isMax ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
            if (args.size() < 2) {
                rt.toNumber(a, args[0]);       // its valueOf still runs
                return Value(std::nan(""));   // the Flash Player wants two numbers
            }
            double r = isMax ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
            for (const Value& v : args) {
                const double n = rt.toNumber(a, v);
                if (std::isnan(n))
                    return Value(std::nan(""));
                r = isMax ? std::max(r, n) : std::min(r, n);
            }
            return Value(r);
        });
    };
    minmax("max", true);
    minmax("min", false);
    math->defineNative(rt, QStringLiteral("random"), [&rt](Activation&, Object*, Args&) -> Value {
        return Value(std::uniform_real_distribution<double>(0.0, 1.0)(rt.random));
    });
}

} // namespace plovex::avm1
