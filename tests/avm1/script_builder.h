#pragma once

// Builds the action bytes of small test scripts: values at variable paths,
// method calls, constructors and traces, for suites that run a movie
// through the frame loop and check what it traces.

#include "swf/writer.h"

#include <QStringList>

#include <functional>
#include <variant>
#include <vector>

namespace plovex::avm1 {

using swf::ActionWriter;

// A script argument: a number, a string, or "@a.b" for the value at a
// variable path.
using Lit = std::variant<double, QString>;

// Builds action bytes for the few expression shapes the cases need.
class Script {
public:
    // Pushes the value at a dotted path: "x.firstChild.nodeValue".
    Script& get(const QString& path)
    {
        const QStringList parts = path.split(QLatin1Char('.'));
        w.push(parts[0]).getVariable();
        for (int i = 1; i < parts.size(); ++i)
            w.push(parts[i]).op(0x4E);
        return *this;
    }
    Script& lit(const Lit& v)
    {
        if (const double* d = std::get_if<double>(&v))
            w.push(*d);
        else if (std::get<QString>(v).startsWith(QLatin1Char('@')))
            get(std::get<QString>(v).mid(1));
        else
            w.push(std::get<QString>(v));
        return *this;
    }
    Script& args(const std::vector<Lit>& a)
    {
        for (auto it = a.rbegin(); it != a.rend(); ++it)
            lit(*it);
        w.pushInt(int(a.size()));
        return *this;
    }
    // object.method(args), its result left on the stack.
    Script& call(const QString& object, const QString& method, const std::vector<Lit>& a = {})
    {
        args(a).get(object);
        w.push(method).op(0x52);
        return *this;
    }
    // new Ctor(args) where Ctor is a path like "flash.geom.Point".
    Script& make(const QString& ctor, const std::vector<Lit>& a = {})
    {
        args(a);
        const int dot = ctor.lastIndexOf(QLatin1Char('.'));
        if (dot < 0) {
            w.push(ctor).op(0x40);
        } else {
            get(ctor.left(dot));
            w.push(ctor.mid(dot + 1)).op(0x53);
        }
        return *this;
    }
    // name = <what `value` pushes>
    Script& let(const QString& name, const std::function<void(Script&)>& value)
    {
        w.push(name);
        value(*this);
        w.setVariable();
        return *this;
    }
    // object.prop = v
    Script& setMember(const QString& object, const QString& prop, const Lit& v)
    {
        get(object);
        w.push(prop);
        lit(v);
        w.op(0x4F);
        return *this;
    }
    Script& trace()
    {
        w.trace();
        return *this;
    }
    Script& traceGet(const QString& path) { return get(path).trace(); }
    Script& pop()
    {
        w.op(0x17);
        return *this;
    }
    ActionWriter w;
};

} // namespace plovex::avm1
