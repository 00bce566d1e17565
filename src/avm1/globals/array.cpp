#include "avm1/globals/globals.h"

#include <algorithm>

namespace plovex::avm1 {

namespace {

enum SortFlag { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

// Generic array view of any object, so the methods work on array-likes too.
int lengthOf(Activation& a, Object* o)
{
    if (auto* arr = dynamic_cast<ArrayObject*>(o))
        return arr->length();
    const double n = a.rt.toNumber(a, o->get(a, QStringLiteral("length")));
    return std::isfinite(n) ? std::clamp(int(n), 0, 1 << 24) : 0;
}

Value elementOf(Activation& a, Object* o, int i)
{
    if (auto* arr = dynamic_cast<ArrayObject*>(o))
        return arr->at(i);
    return o->get(a, QString::number(i));
}

QString joinOf(Activation& a, Object* o, const QString& sep)
{
    const int n = lengthOf(a, o);
    QString out;
    for (int i = 0; i < n; ++i) {
        if (i)
            out += sep;
        const Value v = elementOf(a, o, i);
        if (!v.isUndefined())
            out += a.rt.toString(a, v);
        else if (a.version >= 7)
            out += QStringLiteral("undefined");
        if (out.size() > Runtime::kMaxStringLength)
            throw ScriptAbort{QStringLiteral("A script in this movie built a string too long to keep; its actions were stopped.")};
    }
    return out;
}

int clampIndex(double v, int len)
{
    if (std::isnan(v))
        return 0;
    if (v < 0)
        return int(std::max(0.0, len + std::trunc(v)));
    return int(std::min(double(len), std::trunc(v)));
}

} // namespace

int CompareDefault(Activation& a, const Value& x, const Value& y, bool caseInsensitive, bool numeric)
{
    if (numeric && x.isNumber() && y.isNumber()) {
        const double p = x.asNumber(), q = y.asNumber();
        return p < q ? -1 : p > q ? 1 : 0;
    }
    if (numeric) {
        const double p = a.rt.toNumber(a, x), q = a.rt.toNumber(a, y);
        if (!std::isnan(p) && !std::isnan(q))
            return p < q ? -1 : p > q ? 1 : 0;
    }
    QString s = x.isUndefined() ? QStringLiteral("undefined") : a.rt.toString(a, x);
    QString t = y.isUndefined() ? QStringLiteral("undefined") : a.rt.toString(a, y);
    if (caseInsensitive) {
        s = s.toLower();
        t = t.toLower();
    }
    return s < t ? -1 : s > t ? 1 : 0;
}

void InstallArray(Runtime& rt)
{
    Object* proto = rt.arrayProto;
    auto make = [&rt](Activation& a, Object*, Args& args) -> Value {
        if (args.size() == 1 && args[0].isNumber()) {
            ArrayObject* arr = rt.newArray();
            const double n = args[0].asNumber();
            if (n >= 0 && n <= (1 << 24) && n == std::trunc(n))
                arr->setLength(int(n));
            return Value(arr);
        }
        (void)a;
        return Value(rt.newArray(args));
    };
    rt.arrayCtor = rt.newClass(QStringLiteral("Array"), make, make, proto, rt.global);
    rt.arrayCtor->define(QStringLiteral("CASEINSENSITIVE"), Value(1.0), kDontEnum | kDontDelete | kReadOnly);
    rt.arrayCtor->define(QStringLiteral("DESCENDING"), Value(2.0), kDontEnum | kDontDelete | kReadOnly);
    rt.arrayCtor->define(QStringLiteral("UNIQUESORT"), Value(4.0), kDontEnum | kDontDelete | kReadOnly);
    rt.arrayCtor->define(QStringLiteral("RETURNINDEXEDARRAY"), Value(8.0), kDontEnum | kDontDelete | kReadOnly);
    rt.arrayCtor->define(QStringLiteral("NUMERIC"), Value(16.0), kDontEnum | kDontDelete | kReadOnly);

    proto->defineNative(rt, QStringLiteral("push"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (auto* arr = dynamic_cast<ArrayObject*>(self)) {
            for (const Value& v : args)
                arr->push(v);
            return Value(double(arr->length()));
        }
        if (!self)
            return Value();
        int n = lengthOf(a, self);
        for (const Value& v : args)
            self->set(a, QString::number(n++), v);
        self->set(a, QStringLiteral("length"), Value(double(n)));
        (void)rt;
        return Value(double(n));
    });
    proto->defineNative(rt, QStringLiteral("pop"), [](Activation& a, Object* self, Args&) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        if (!arr || arr->length() == 0)
            return Value();
        (void)a;
        const Value v = arr->elems.back();
        arr->setLength(arr->length() - 1);
        return v;
    });
    proto->defineNative(rt, QStringLiteral("shift"), [](Activation&, Object* self, Args&) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        if (!arr || arr->length() == 0)
            return Value();
        const Value v = arr->elems.front();
        arr->erase(0, 1);
        return v;
    });
    proto->defineNative(rt, QStringLiteral("unshift"), [](Activation&, Object* self, Args& args) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        if (!arr)
            return Value();
        // Every element is made anew: those moved up from the last down,
        // then the new ones from the first.
        const std::vector<Value> old = arr->elems;
        const int n = int(old.size()), k = int(args.size());
        arr->setLength(0);
        for (int i = n - 1; i >= 0; --i)
            arr->renew(i + k, old[size_t(i)]);
        for (int i = 0; i < k; ++i)
            arr->renew(i, args[size_t(i)]);
        return Value(double(arr->length()));
    });
    proto->defineNative(rt, QStringLiteral("join"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        if (!self)
            return Value();
        const QString sep = args.empty() || args[0].isUndefined() ? QStringLiteral(",") : rt.toString(a, args[0]);
        return Value(joinOf(a, self, sep));
    });
    proto->defineNative(rt, QStringLiteral("toString"), [](Activation& a, Object* self, Args&) -> Value {
        if (!self)
            return Value();
        return Value(joinOf(a, self, QStringLiteral(",")));
    });
    proto->defineNative(rt, QStringLiteral("reverse"), [](Activation&, Object* self, Args&) -> Value {
        if (auto* arr = dynamic_cast<ArrayObject*>(self)) {
            // Pairs from the ends inwards change places, each made anew;
            // the middle element stays as it was.
            for (int lo = 0, hi = arr->length() - 1; lo < hi; ++lo, --hi) {
                const Value low = arr->elems[size_t(lo)], high = arr->elems[size_t(hi)];
                arr->renew(lo, high);
                arr->renew(hi, low);
            }
        }
        return Value(self);
    });
    proto->defineNative(rt, QStringLiteral("concat"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        ArrayObject* out = rt.newArray();
        if (self) {
            const int n = lengthOf(a, self);
            for (int i = 0; i < n; ++i)
                out->push(elementOf(a, self, i));
        }
        for (const Value& v : args) {
            if (auto* arr = dynamic_cast<ArrayObject*>(v.asObject())) {
                for (int i = 0; i < arr->length(); ++i)
                    out->push(arr->at(i));
            } else {
                out->push(v);
            }
        }
        return Value(out);
    });
    proto->defineNative(rt, QStringLiteral("slice"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        ArrayObject* out = rt.newArray();
        if (!self)
            return Value(out);
        const int len = lengthOf(a, self);
        const int start = args.empty() ? 0 : clampIndex(rt.toNumber(a, args[0]), len);
        const int end = args.size() < 2 || args[1].isUndefined() ? len : clampIndex(rt.toNumber(a, args[1]), len);
        for (int i = start; i < end; ++i)
            out->push(elementOf(a, self, i));
        return Value(out);
    });
    proto->defineNative(rt, QStringLiteral("splice"), [&rt](Activation& a, Object* self, Args& args) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        // Without a start (undefined counts as none) nothing is done.
        if (!arr || args.empty() || args[0].isUndefined())
            return Value();
        const int len = arr->length();
        const int start = clampIndex(rt.toNumber(a, args[0]), len);
        int count = len - start;
        if (args.size() > 1) {
            // An undefined or negative count does nothing either.
            if (args[1].isUndefined())
                return Value();
            const double c = rt.toNumber(a, args[1]);
            if (c < 0)
                return Value();
            count = std::isnan(c) ? 0 : int(std::clamp(std::trunc(c), 0.0, double(len - start)));
        }
        ArrayObject* removed = rt.newArray();
        for (int i = 0; i < count; ++i)
            removed->push(arr->at(start + i));
        std::vector<Value> kept = arr->elems;
        kept.erase(kept.begin() + start, kept.begin() + start + count);
        if (args.size() > 2)
            kept.insert(kept.begin() + start, args.begin() + 2, args.end());
        arr->assign(std::move(kept));
        return Value(removed);
    });

    auto sortImpl = [&rt](Activation& a, ArrayObject* arr, std::function<int(const Value&, const Value&)> cmp,
                          int flags) -> Value {
        const int n = arr->length();
        std::vector<int> idx(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            idx[size_t(i)] = i;
        const bool desc = flags & kDescending;
        std::stable_sort(idx.begin(), idx.end(), [&](int x, int y) {
            const int c = cmp(arr->elems[size_t(x)], arr->elems[size_t(y)]);
            return desc ? c > 0 : c < 0;
        });
        if (flags & kUniqueSort)
            for (int i = 1; i < n; ++i)
                if (cmp(arr->elems[size_t(idx[size_t(i - 1)])], arr->elems[size_t(idx[size_t(i)])]) == 0)
                    return Value(0.0);
        if (flags & kReturnIndexedArray) {
            ArrayObject* out = rt.newArray();
            for (int i : idx)
                out->push(Value(double(i)));
            return Value(out);
        }
        std::vector<Value> sorted;
        for (int i : idx)
            sorted.push_back(arr->elems[size_t(i)]);
        arr->assign(std::move(sorted));
        (void)a;
        return Value(arr);
    };

    proto->defineNative(rt, QStringLiteral("sort"), [&rt, sortImpl](Activation& a, Object* self, Args& args) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        if (!arr)
            return Value();
        Object* fn = nullptr;
        int flags = 0;
        size_t i = 0;
        if (i < args.size() && args[i].isObject() && args[i].asObject()->isFunction())
            fn = args[i++].asObject();
        else if (i < args.size() && !args[i].isNumber())
            return Value();   // neither a compare function nor flags
        if (i < args.size())
            flags = ToInt32(rt.toNumber(a, args[i]));
        if (fn) {
            return sortImpl(a, arr, [&](const Value& x, const Value& y) {
                Args cargs{x, y};
                const double r = rt.toNumber(a, rt.call(a, Value(fn), Value(), cargs));
                return r < 0 ? -1 : r > 0 ? 1 : 0;
            }, flags);
        }
        return sortImpl(a, arr, [&](const Value& x, const Value& y) {
            return CompareDefault(a, x, y, flags & kCaseInsensitive, flags & kNumeric);
        }, flags);
    });
    proto->defineNative(rt, QStringLiteral("sortOn"), [&rt, sortImpl](Activation& a, Object* self, Args& args) -> Value {
        auto* arr = dynamic_cast<ArrayObject*>(self);
        if (!arr || args.empty())
            return Value();
        std::vector<QString> fields;
        std::vector<int> fieldFlags;
        if (auto* names = dynamic_cast<ArrayObject*>(args[0].asObject())) {
            for (const Value& v : names->elems)
                fields.push_back(rt.toString(a, v));
        } else {
            fields.push_back(rt.toString(a, args[0]));
        }
        int flags = 0;
        if (auto* fl = dynamic_cast<ArrayObject*>(Arg(args, 1).asObject())) {
            for (const Value& v : fl->elems)
                fieldFlags.push_back(ToInt32(rt.toNumber(a, v)));
        } else if (args.size() > 1) {
            flags = ToInt32(rt.toNumber(a, args[1]));
        }
        return sortImpl(a, arr, [&](const Value& x, const Value& y) {
            for (size_t k = 0; k < fields.size(); ++k) {
                const int f = k < fieldFlags.size() ? fieldFlags[k] : flags;
                const Value fx = x.isObject() ? x.asObject()->get(a, fields[k]) : Value();
                const Value fy = y.isObject() ? y.asObject()->get(a, fields[k]) : Value();
                int c = CompareDefault(a, fx, fy, f & kCaseInsensitive, f & kNumeric);
                if (k < fieldFlags.size() && (f & kDescending))
                    c = -c;
                if (c)
                    return c;
            }
            return 0;
        }, fieldFlags.empty() ? flags : (flags & ~kDescending));
    });
}

} // namespace plovex::avm1
