#include "avm1/globals/globals.h"

#include <QDateTime>
#include <QTimeZone>

namespace plovex::avm1 {

namespace {

double dateValue(Object* self)
{
    return self && self->hasPrimitive && self->primitive.isNumber() ? self->primitive.asNumber() : std::nan("");
}

QDateTime toDateTime(double ms, bool utc)
{
    QDateTime t = QDateTime::fromMSecsSinceEpoch(qint64(ms), utc ? QTimeZone::utc() : QTimeZone::systemTimeZone());
    return t;
}

double fromParts(double y, double mo, double d, double h, double mi, double s, double ms, bool utc)
{
    if (!std::isfinite(y) || !std::isfinite(mo))
        return std::nan("");
    // Month overflow rolls into years, as in ECMAScript's MakeDay.
    const double ym = y + std::floor(mo / 12);
    const int m = int(mo - std::floor(mo / 12) * 12);
    const QDate base(int(ym), m + 1, 1);
    if (!base.isValid())
        return std::nan("");
    const QDateTime start(base, QTime(0, 0), utc ? QTimeZone::utc() : QTimeZone::systemTimeZone());
    double t = double(start.toMSecsSinceEpoch());
    t += ((d - 1) * 86400000.0) + h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms;
    return t;
}

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

void InstallDate(Runtime& rt)
{
    Object* p = rt.dateProto;
    auto construct = [&rt, p](Activation& a, Object*, Args& args) -> Value {
        Object* d = rt.make<Object>(p);
        d->hasPrimitive = true;
        double t;
        if (args.empty()) {
            t = std::floor(rt.timeSource == TimeSource::Virtual ? double(rt.startMs) + rt.nowMs()
                                                                : double(QDateTime::currentMSecsSinceEpoch()));
        } else if (args.size() == 1) {
            t = rt.toNumber(a, args[0]);
        } else {
            double parts[7] = {0, 0, 1, 0, 0, 0, 0};
            for (size_t i = 0; i < 7 && i < args.size(); ++i)
                parts[i] = rt.toNumber(a, args[i]);
            if (parts[0] >= 0 && parts[0] <= 99)
                parts[0] += 1900;
            t = fromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], false);
        }
        d->primitive = Value(t);
        return Value(d);
    };
    FunctionObject* ctor = rt.newClass(QStringLiteral("Date"), [construct](Activation& a, Object* o, Args&) -> Value {
        Args none;
        const Value d = construct(a, o, none);
        return Value(a.rt.toString(a, d));
    }, construct, p, rt.global);
    ctor->defineNative(rt, QStringLiteral("UTC"), [&rt](Activation& a, Object*, Args& args) -> Value {
        double parts[7] = {0, 0, 1, 0, 0, 0, 0};
        for (size_t i = 0; i < 7 && i < args.size(); ++i)
            parts[i] = rt.toNumber(a, args[i]);
        if (parts[0] >= 0 && parts[0] <= 99)
            parts[0] += 1900;
        return Value(fromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], true));
    });
    auto getter = [&](const char* name, bool utc, std::function<double(const QDateTime&)> f) {
        p->defineNative(rt, QString::fromLatin1(name), [utc, f](Activation&, Object* self, Args&) -> Value {
            const double v = dateValue(self);
            if (std::isnan(v))
                return Value(std::nan(""));
            return Value(f(toDateTime(v, utc)));
        });
    };
    for (bool utc : {false, true}) {
        const QString pre = utc ? QStringLiteral("getUTC") : QStringLiteral("get");
        auto n = [&](const char* s) { return (pre + QString::fromLatin1(s)).toLatin1(); };
        getter(n("FullYear").constData(), utc, [](const QDateTime& t) { return double(t.date().year()); });
        getter(n("Month").constData(), utc, [](const QDateTime& t) { return double(t.date().month() - 1); });
        getter(n("Date").constData(), utc, [](const QDateTime& t) { return double(t.date().day()); });
        getter(n("Day").constData(), utc, [](const QDateTime& t) { return double(t.date().dayOfWeek() % 7); });
        getter(n("Hours").constData(), utc, [](const QDateTime& t) { return double(t.time().hour()); });
        getter(n("Minutes").constData(), utc, [](const QDateTime& t) { return double(t.time().minute()); });
        getter(n("Seconds").constData(), utc, [](const QDateTime& t) { return double(t.time().second()); });
        getter(n("Milliseconds").constData(), utc, [](const QDateTime& t) { return double(t.time().msec()); });
    }
    getter("getYear", false, [](const QDateTime& t) { return double(t.date().year() - 1900); });
    p->defineNative(rt, QStringLiteral("getTime"), [](Activation&, Object* self, Args&) -> Value { return Value(dateValue(self)); });
    p->defineNative(rt, QStringLiteral("valueOf"), [](Activation&, Object* self, Args&) -> Value { return Value(dateValue(self)); });
    p->defineNative(rt, QStringLiteral("getTimezoneOffset"), [](Activation&, Object* self, Args&) -> Value {
        const double v = dateValue(self);
        const QDateTime t = toDateTime(std::isnan(v) ? 0 : v, false);
        return Value(-t.offsetFromUtc() / 60.0);
    });
    p->defineNative(rt, QStringLiteral("setTime"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self) return Value();
        self->hasPrimitive = true;
        self->primitive = Value(rt.toNumber(a, Arg(args, 0)));
        return self->primitive;
    });
    // Setters rebuild the time from its parts with one part replaced.
    auto setter = [&](const char* name, bool utc, int first, int count) {
        p->defineNative(rt, QString::fromLatin1(name), [&rt, utc, first, count](Activation& a, Object* self, Args& args) -> Value {
            if (!self) return Value();
            double v = dateValue(self);
            if (std::isnan(v)) v = 0;
            const QDateTime t = toDateTime(v, utc);
            double parts[7] = {double(t.date().year()), double(t.date().month() - 1), double(t.date().day()),
                               double(t.time().hour()), double(t.time().minute()), double(t.time().second()),
                               double(t.time().msec())};
            for (int i = 0; i < count && size_t(i) < args.size(); ++i)
                parts[first + i] = rt.toNumber(a, args[size_t(i)]);
            self->hasPrimitive = true;
            self->primitive = Value(fromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], utc));
            return self->primitive;
        });
    };
    for (bool utc : {false, true}) {
        const QString pre = utc ? QStringLiteral("setUTC") : QStringLiteral("set");
        auto n = [&](const char* s) { return (pre + QString::fromLatin1(s)).toLatin1(); };
        setter(n("FullYear").constData(), utc, 0, 3);
        setter(n("Month").constData(), utc, 1, 2);
        setter(n("Date").constData(), utc, 2, 1);
        setter(n("Hours").constData(), utc, 3, 4);
        setter(n("Minutes").constData(), utc, 4, 3);
        setter(n("Seconds").constData(), utc, 5, 2);
        setter(n("Milliseconds").constData(), utc, 6, 1);
    }
    p->defineNative(rt, QStringLiteral("toString"), [](Activation&, Object* self, Args&) -> Value {
        const double v = dateValue(self);
        if (std::isnan(v))
            return Value(QStringLiteral("Invalid Date"));
        const QDateTime t = toDateTime(v, false);
        const int off = t.offsetFromUtc() / 60;
        const QString tz = QStringLiteral("GMT%1%2%3")
                               .arg(off < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                               .arg(std::abs(off) / 60, 2, 10, QLatin1Char('0'))
                               .arg(std::abs(off) % 60, 2, 10, QLatin1Char('0'));
        return Value(QStringLiteral("%1 %2 %3 %4 %5 %6")
                         .arg(QString::fromLatin1(kDays[t.date().dayOfWeek() % 7]),
                              QString::fromLatin1(kMonths[t.date().month() - 1]))
                         .arg(t.date().day())
                         .arg(t.time().toString(QStringLiteral("HH:mm:ss")), tz)
                         .arg(t.date().year()));
    });
}

} // namespace plovex::avm1
