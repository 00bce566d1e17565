#include "avm1/object.h"

#include "avm1/runtime.h"

#include <algorithm>

namespace plovex::avm1 {

bool Property::visibleTo(int version) const
{
    if ((flags & kVersion6) && version < 6)
        return false;
    if ((flags & kVersion7) && version < 7)
        return false;
    if ((flags & kVersion8) && version < 8)
        return false;
    if ((flags & kVersion9) && version < 9)
        return false;
    if ((flags & kVersion10) && version < 10)
        return false;
    if ((flags & kHiddenFrom6) && version == 6)
        return false;
    return true;
}

// --- Property map ----------------------------------------------------------------

namespace {

QChar fold(QChar c)
{
    if (c.unicode() < 0x80)
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
    if (c.unicodeVersion() == QChar::Unicode_Unassigned || c.unicodeVersion() > QChar::Unicode_3_0)
        return c;
    return c.toLower();
}

} // namespace

QString FoldName(const QString& name)
{
    QString out = name;
    for (QChar& c : out)
        c = fold(c);
    return out;
}

bool SameNameFolded(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

Property* PropertyMap::find(const QString& name, bool caseSensitive)
{
    // Small maps (most objects, every function's locals) are searched in
    // place; the indexes exist only past kIndexed properties.
    if (props_.size() <= kIndexed) {
        for (Property& p : props_)
            if (caseSensitive ? p.name == name : SameNameFolded(p.name, name))
                return &p;
        return nullptr;
    }
    const auto& index = caseSensitive ? exact_ : folded_;
    const auto it = index.constFind(key(name, caseSensitive));
    return it == index.constEnd() ? nullptr : &props_[size_t(*it)];
}

const Property* PropertyMap::find(const QString& name, bool caseSensitive) const
{
    return const_cast<PropertyMap*>(this)->find(name, caseSensitive);
}

Property& PropertyMap::insert(const QString& name, bool caseSensitive)
{
    if (Property* p = find(name, caseSensitive))
        return *p;
    props_.push_back(Property{name, Value(), nullptr, nullptr, 0});
    const int i = int(props_.size() - 1);
    if (props_.size() == kIndexed + 1) {
        reindex(caseSensitive);
    } else if (props_.size() > kIndexed) {
        exact_.insert(name, i);
        // The folded index keeps the first property of each folded name.
        const QString f = FoldName(name);
        if (!folded_.contains(f))
            folded_.insert(f, i);
    }
    return props_.back();
}

bool PropertyMap::remove(const QString& name, bool caseSensitive)
{
    Property* p = find(name, caseSensitive);
    if (!p)
        return false;
    props_.erase(props_.begin() + (p - props_.data()));
    reindex(caseSensitive);
    return true;
}

void PropertyMap::reindex(bool)
{
    exact_.clear();
    folded_.clear();
    if (props_.size() <= kIndexed)
        return;
    for (int i = 0; i < int(props_.size()); ++i) {
        exact_.insert(props_[size_t(i)].name, i);
        const QString f = FoldName(props_[size_t(i)].name);
        if (!folded_.contains(f))
            folded_.insert(f, i);
    }
}

// --- Objects --------------------------------------------------------------------------

Property* Object::lookup(Activation& a, const QString& name, Object** owner)
{
    Object* o = this;
    for (int guard = 0; o && guard < 256; ++guard) {
        Property* p = o->props_.find(name, a.caseSensitive());
        if (p && p->visibleTo(a.version)) {
            if (owner)
                *owner = o;
            return p;
        }
        o = o->proto_;
    }
    // A chain that loops back on itself (or runs deeper than any real one)
    // stops the action list, as the Flash Player does.
    if (o)
        throw ScriptAbort{};
    return nullptr;
}

Value Object::get(Activation& a, const QString& name)
{
    if (name == QLatin1String("__proto__"))
        return proto_ ? Value(proto_) : Value();
    Value special;
    if (getSpecial(a, name, special))
        return special;
    Object* o = this;
    for (int guard = 0; o && guard < 256; ++guard) {
        if (o != this && o->getSpecial(a, name, special) && !o->isClip())
            return special;
        Property* p = o->props_.find(name, a.caseSensitive());
        if (p && p->visibleTo(a.version)) {
            if (p->getter) {
                std::vector<Value> args;
                return a.rt.call(a, Value(p->getter), Value(this), args);
            }
            return p->value;
        }
        o = o->proto_;
    }
    // A missing property is asked of __resolve when the object has one.
    if (name != QLatin1String("__resolve")) {
        Property* r = lookup(a, QStringLiteral("__resolve"), nullptr);
        if (r && !r->getter && r->value.isObject() && r->value.asObject()->isFunction()) {
            std::vector<Value> args{Value(name)};
            return a.rt.call(a, r->value, Value(this), args);
        }
    }
    return Value();
}

void Object::set(Activation& a, const QString& name, const Value& v)
{
    if (name.isEmpty())
        return;   // a property without a name is never made
    if (name == QLatin1String("__proto__")) {
        setProto(v.asObject());
        // Keep a plain property too, so enumeration and hasOwnProperty see it.
        return;
    }
    Value value = v;
    if (!watches.isEmpty()) {
        const auto it = watches.find(a.caseSensitive() ? name : name);
        if (it != watches.end() && it->callback) {
            const Watch w = *it;
            Property* own = props_.find(name, a.caseSensitive());
            const Value old = own ? own->value : Value();
            std::vector<Value> args{Value(name), old, v, w.userData};
            watches.erase(it);   // a watcher does not see its own assignments
            value = a.rt.call(a, Value(w.callback), Value(this), args);
            watches.insert(name, w);
        }
    }
    if (setSpecial(a, name, value))
        return;
    Property* own = props_.find(name, a.caseSensitive());
    if (own && own->visibleTo(a.version)) {
        if (own->setter) {
            std::vector<Value> args{value};
            a.rt.call(a, Value(own->setter), Value(this), args);
            return;
        }
        if (own->getter)
            return;   // a property without a setter keeps its value
        if (own->flags & kReadOnly)
            return;
        own->value = value;
        return;
    }
    // A getter/setter further up the prototype chain takes the assignment.
    Object* owner = nullptr;
    if (proto_) {
        Property* inherited = proto_->lookup(a, name, &owner);
        if (inherited && inherited->isVirtual()) {
            if (inherited->setter) {
                std::vector<Value> args{value};
                a.rt.call(a, Value(inherited->setter), Value(this), args);
            }
            return;
        }
    }
    Property& p = props_.insert(name, a.caseSensitive());
    p.value = value;
    p.flags = 0;
}

bool Object::hasProperty(Activation& a, const QString& name)
{
    Value dummy;
    if (getSpecial(a, name, dummy))
        return true;
    return lookup(a, name, nullptr) != nullptr;
}

bool Object::hasOwnProperty(Activation& a, const QString& name)
{
    if (proto_ && name == QLatin1String("__proto__"))
        return true;
    const Property* p = props_.find(name, a.caseSensitive());
    return p && p->visibleTo(a.version);
}

bool Object::deleteProperty(Activation& a, const QString& name)
{
    Property* p = props_.find(name, a.caseSensitive());
    if (!p || (p->flags & kDontDelete))
        return false;
    return props_.remove(name, a.caseSensitive());
}

std::vector<QString> Object::enumerate(Activation& a)
{
    // Names come most recent first, an object's own after its prototypes'
    // (which a for..in loop then visits last); a name the object itself
    // has hides the same name further down the chain.
    std::vector<std::vector<QString>> levels;
    QHash<QString, bool> seen;
    Object* o = this;
    for (int guard = 0; o && guard < 256; ++guard) {
        std::vector<QString>& level = levels.emplace_back();
        const auto& all = o->props_.all();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            const QString k = a.caseSensitive() ? it->name : FoldName(it->name);
            if (seen.contains(k))
                continue;
            seen.insert(k, true);
            if ((it->flags & kDontEnum) || !it->visibleTo(a.version))
                continue;
            level.push_back(it->name);
        }
        o = o->proto_;
    }
    std::vector<QString> out;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        out.insert(out.end(), it->begin(), it->end());
    return out;
}

void Object::define(const QString& name, const Value& v, uint16_t flags)
{
    Property& p = props_.insert(name, true);
    p.value = v;
    p.flags = flags;
}

void Object::defineNative(Runtime& rt, const QString& name, NativeFunction fn, uint16_t flags)
{
    define(name, Value(rt.newNative(std::move(fn))), flags);
}

void Object::trace(Gc& gc)
{
    gc.mark(proto_);
    for (const Property& p : props_.all()) {
        gc.mark(p.value);
        gc.mark(p.getter);
        gc.mark(p.setter);
    }
    gc.mark(primitive);
    for (Object* i : interfaces)
        gc.mark(i);
    for (const Watch& w : watches) {
        gc.mark(w.callback);
        gc.mark(w.userData);
    }
}

void FunctionObject::trace(Gc& gc)
{
    Object::trace(gc);
    gc.mark(scope);
    gc.mark(baseClip);
}

void Scope::trace(Gc& gc)
{
    Object::trace(gc);
    gc.mark(parent);
    gc.mark(target);
}

// --- Arrays -----------------------------------------------------------------------------

int ArrayObject::indexOf(const QString& name)
{
    if (name.isEmpty() || name.size() > 9)
        return -1;
    int v = 0;
    for (QChar c : name) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    if (name.size() > 1 && name[0] == QLatin1Char('0'))
        return -1;
    return v;
}

void ArrayObject::setLength(int n)
{
    n = std::clamp(n, 0, Runtime::kMaxArrayLength);
    elems.resize(size_t(n));
    born_.resize(size_t(n), 0);
}

void ArrayObject::put(int i, const Value& v)
{
    if (i >= length())
        setLength(i + 1);
    elems[size_t(i)] = v;
    if (!born_[size_t(i)])
        born_[size_t(i)] = stamp();
}

void ArrayObject::renew(int i, const Value& v)
{
    if (i >= length())
        setLength(i + 1);
    elems[size_t(i)] = v;
    born_[size_t(i)] = stamp();
}

void ArrayObject::assign(std::vector<Value> values)
{
    elems = std::move(values);
    born_.resize(elems.size());
    for (uint64_t& b : born_)
        b = stamp();
}

void ArrayObject::erase(int from, int count)
{
    elems.erase(elems.begin() + from, elems.begin() + from + count);
    born_.erase(born_.begin() + from, born_.begin() + from + count);
}

// A property added by addProperty (length or an index) stands in for the
// array's own.
bool ArrayObject::scripted(const QString& name) const
{
    const Property* p = props_.find(name, true);
    return p && (p->getter || p->setter);
}

bool ArrayObject::getSpecial(Activation&, const QString& name, Value& out)
{
    if (scripted(name))
        return false;
    if (name == QLatin1String("length")) {
        out = Value(double(elems.size()));
        return true;
    }
    const int i = indexOf(name);
    if (has(i)) {
        out = elems[size_t(i)];
        return true;
    }
    return false;
}

bool ArrayObject::setSpecial(Activation& a, const QString& name, const Value& v)
{
    if (scripted(name))
        return false;
    if (name == QLatin1String("length")) {
        const double n = a.rt.toNumber(a, v);
        if (std::isfinite(n) && n >= 0)
            setLength(int(std::min(n, double(Runtime::kMaxArrayLength))));
        return true;
    }
    const int i = indexOf(name);
    if (i < 0 || i >= Runtime::kMaxArrayLength)
        return false;
    put(i, v);
    return true;
}

bool ArrayObject::hasOwnProperty(Activation& a, const QString& name)
{
    const int i = indexOf(name);
    if (i >= 0 && i < length())
        return has(i);
    return Object::hasOwnProperty(a, name);
}

bool ArrayObject::deleteProperty(Activation& a, const QString& name)
{
    const int i = indexOf(name);
    if (i >= 0 && i < length()) {
        const bool was = has(i);
        remove(i);
        return was;
    }
    return Object::deleteProperty(a, name);
}

std::vector<QString> ArrayObject::enumerate(Activation& a)
{
    // The object's own names close the list, newest first; the elements
    // join them by when they were made.
    std::vector<QString> out = Object::enumerate(a);
    size_t own = 0;
    for (const Property& p : props_.all())
        if (!(p.flags & kDontEnum) && p.visibleTo(a.version))
            ++own;
    own = std::min(own, out.size());
    // (position among named properties, element before property, sequence)
    struct Entry {
        uint64_t key;
        int index;   // -1: the named property at position key >> 33
    };
    std::vector<Entry> entries;
    const auto& all = props_.all();
    for (size_t p = 0; p < all.size(); ++p)
        if (!(all[p].flags & kDontEnum) && all[p].visibleTo(a.version))
            entries.push_back({(uint64_t(p) << 33) | (uint64_t(1) << 32), -1});
    for (int i = 0; i < length(); ++i)
        if (const uint64_t b = born_[size_t(i)])
            entries.push_back({((b >> 32) << 33) | (b & 0xffffffffu), i});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) { return x.key > y.key; });
    std::vector<QString> result(out.begin(), out.end() - long(own));
    for (const Entry& e : entries)
        result.push_back(e.index >= 0 ? QString::number(e.index) : all[size_t(e.key >> 33)].name);
    return result;
}

void ArrayObject::trace(Gc& gc)
{
    Object::trace(gc);
    for (const Value& v : elems)
        gc.mark(v);
}

} // namespace plovex::avm1
