#pragma once

// Objects of the script machine: properties in creation order, the
// prototype link, functions (native or compiled from action bytes) and
// arrays. Every object belongs to the runtime's heap, which frees the
// unreachable ones between frames (mark and sweep).

#include "avm1/value.h"

#include <QByteArray>
#include <QHash>
#include <functional>
#include <memory>
#include <vector>

namespace plovex::avm1 {

class Activation;
class Runtime;
class Object;

// ASSetPropFlags bits.
enum PropertyFlag : uint16_t {
    kDontEnum = 1 << 0,
    kDontDelete = 1 << 1,
    kReadOnly = 1 << 2,
    kVersion6 = 1 << 7,    // hidden from movies before version 6
    kHiddenFrom6 = 1 << 8,  // hidden from version 6 movies alone
    kVersion7 = 1 << 10,
    kVersion8 = 1 << 12,
    kVersion9 = 1 << 13,
    kVersion10 = 1 << 14,
};

struct Property {
    QString name;
    Value value;
    Object* getter = nullptr;   // addProperty
    Object* setter = nullptr;
    uint16_t flags = 0;
    bool isVirtual() const { return getter != nullptr; }
    bool visibleTo(int version) const;
};

// A name as movies before version 7 compare it: letters folded to lower
// case by the Flash Player's own case table, which knows the letters of
// Unicode 3.0 and no later ones.
QString FoldName(const QString& name);
bool SameNameFolded(const QString& a, const QString& b);

// Properties in creation order with a lookup by name; names compare
// without case for movies before version 7.
class PropertyMap {
public:
    Property* find(const QString& name, bool caseSensitive);
    const Property* find(const QString& name, bool caseSensitive) const;
    Property& insert(const QString& name, bool caseSensitive);
    bool remove(const QString& name, bool caseSensitive);
    std::vector<Property>& all() { return props_; }
    const std::vector<Property>& all() const { return props_; }
    size_t size() const { return props_.size(); }

private:
    static constexpr size_t kIndexed = 8;
    static QString key(const QString& name, bool caseSensitive) { return caseSensitive ? name : FoldName(name); }
    void reindex(bool caseSensitive);
    std::vector<Property> props_;
    QHash<QString, int> exact_;
    QHash<QString, int> folded_;
};

class Gc;

class Object {
public:
    explicit Object(Object* proto = nullptr) : proto_(proto) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Object* proto() const { return proto_; }
    void setProto(Object* p) { proto_ = p; }

    // Own properties, without prototypes or special names.
    PropertyMap& props() { return props_; }
    const PropertyMap& props() const { return props_; }

    // Property access with prototypes, getters and setters.
    virtual Value get(Activation& a, const QString& name);
    virtual void set(Activation& a, const QString& name, const Value& v);
    virtual bool hasProperty(Activation& a, const QString& name);
    virtual bool hasOwnProperty(Activation& a, const QString& name);
    virtual bool deleteProperty(Activation& a, const QString& name);
    // Names a for-in loop lists, most recent first.
    virtual std::vector<QString> enumerate(Activation& a);

    // Own value without getters or prototypes (for built-ins).
    void define(const QString& name, const Value& v, uint16_t flags = kDontEnum);
    void defineNative(Runtime& rt, const QString& name,
                      std::function<Value(Activation&, Object*, std::vector<Value>&)> fn, uint16_t flags = kDontEnum);

    // Overridden by objects with values outside their property map
    // (display objects, arrays). Return true when handled.
    virtual bool getSpecial(Activation&, const QString&, Value&) { return false; }
    virtual bool setSpecial(Activation&, const QString&, const Value&) { return false; }

    virtual bool isFunction() const { return false; }
    virtual bool isArray() const { return false; }
    virtual bool isClip() const { return false; }
    // What Object.prototype.toString and typeof see.
    virtual QString typeName() const { return QStringLiteral("object"); }
    // Boxed primitive (Number, String, Boolean objects), or undefined.
    Value primitive;
    bool hasPrimitive = false;
    // Interfaces (implementsOp) of a constructor's prototype.
    std::vector<Object*> interfaces;
    // Watchpoints.
    struct Watch {
        Object* callback = nullptr;
        Value userData;
    };
    QHash<QString, Watch> watches;

    virtual void trace(Gc& gc);
    bool marked = false;

protected:
    Object* proto_ = nullptr;
    PropertyMap props_;
    // Finds name on this object or its prototypes; sets owner.
    Property* lookup(Activation& a, const QString& name, Object** owner);
};

using NativeFunction = std::function<Value(Activation&, Object* self, std::vector<Value>& args)>;

class Scope;

// A function compiled from DefineFunction or DefineFunction2.
struct ScriptFunction {
    QString name;
    std::shared_ptr<const QByteArray> code;   // the whole action block the body sits in
    int start = 0, end = 0;                    // body range in code
    int version = 0;                           // of the movie that defined it
    bool v2 = false;
    int registerCount = 4;
    uint16_t flags = 0;                        // DefineFunction2's preload and suppress flags
    struct Param {
        int reg = 0;
        QString name;
    };
    std::vector<Param> params;
    std::shared_ptr<const std::vector<QString>> constants;
};

class FunctionObject : public Object {
public:
    FunctionObject(Object* proto, NativeFunction fn) : Object(proto), native(std::move(fn)) {}
    FunctionObject(Object* proto, std::shared_ptr<ScriptFunction> fn, Scope* scope, Object* base)
        : Object(proto), script(std::move(fn)), scope(scope), baseClip(base) {}
    bool isFunction() const override { return true; }
    QString typeName() const override { return QStringLiteral("function"); }
    void trace(Gc& gc) override;

    NativeFunction native;
    // Called by `new` when set; otherwise `native` is.
    NativeFunction constructor;
    std::shared_ptr<ScriptFunction> script;
    Scope* scope = nullptr;    // the scope chain the function closed over
    Object* baseClip = nullptr;   // the timeline it was defined on
};

// A scope chain link: an object whose properties are variables.
class Scope : public Object {
public:
    Scope(Scope* parent, Object* target, bool isWith = false) : parent(parent), target(target), isWith(isWith) {}
    void trace(Gc& gc) override;
    Scope* parent;
    Object* target;
    bool isWith;
};

class ArrayObject : public Object {
public:
    explicit ArrayObject(Object* proto) : Object(proto) {}
    bool isArray() const override { return true; }
    bool getSpecial(Activation& a, const QString& name, Value& out) override;
    bool setSpecial(Activation& a, const QString& name, const Value& v) override;
    bool hasOwnProperty(Activation& a, const QString& name) override;
    bool deleteProperty(Activation& a, const QString& name) override;
    std::vector<QString> enumerate(Activation& a) override;
    void trace(Gc& gc) override;

    int length() const { return int(elems.size()); }
    void setLength(int n);
    bool scripted(const QString& name) const;
    Value at(int i) const { return i >= 0 && i < length() ? elems[size_t(i)] : Value(); }
    bool has(int i) const { return i >= 0 && i < length() && born_[size_t(i)] != 0; }
    void push(const Value& v) { elems.push_back(v); born_.push_back(stamp()); }
    // Sets element i, which keeps its place in the creation order if it
    // is there already.
    void put(int i, const Value& v);
    // Element i made anew: it becomes the newest, as if deleted and set.
    void renew(int i, const Value& v);
    // Every element anew, in index order.
    void assign(std::vector<Value> values);
    void erase(int from, int count);
    void remove(int i) { born_[size_t(i)] = 0; elems[size_t(i)] = Value(); }
    std::vector<Value> elems;
    static int indexOf(const QString& name);   // -1 when not an array index

private:
    // Elements and named properties are enumerated newest first, together:
    // an element's stamp is the count of named properties when it was made
    // (above), then its own sequence number; 0 when it is missing.
    uint64_t stamp() { return (uint64_t(props_.size()) << 32) | ++sequence_; }
    std::vector<uint64_t> born_;
    uint32_t sequence_ = 0;
};

// Collects reachable objects.
class Gc {
public:
    void mark(Object* o)
    {
        if (o && !o->marked) {
            o->marked = true;
            pending_.push_back(o);
        }
    }
    void mark(const Value& v) { mark(v.asObject()); }
    void drain()
    {
        while (!pending_.empty()) {
            Object* o = pending_.back();
            pending_.pop_back();
            o->trace(*this);
        }
    }

private:
    std::vector<Object*> pending_;
};

} // namespace plovex::avm1
