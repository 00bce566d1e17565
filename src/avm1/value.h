#pragma once

// Values of ActionScript 1 and 2 and the conversions between them, as the
// Flash Player applies them (some rules depend on the movie's version).

#include <QString>
#include <cstdint>

namespace plovex::avm1 {

class Object;
class Runtime;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
public:
    Value() = default;
    Value(bool b) : type_(Type::Boolean), b_(b) {}
    Value(double n) : type_(Type::Number), n_(n) {}
    Value(int n) : type_(Type::Number), n_(n) {}
    Value(const QString& s) : type_(Type::String), s_(s) {}
    Value(const char* s) : type_(Type::String), s_(QString::fromUtf8(s)) {}
    Value(Object* o) : type_(o ? Type::Object : Type::Null), o_(o) {}
    static Value null() { Value v; v.type_ = Type::Null; return v; }

    Type type() const { return type_; }
    bool isUndefined() const { return type_ == Type::Undefined; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNullish() const { return type_ == Type::Undefined || type_ == Type::Null; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isBool() const { return type_ == Type::Boolean; }
    bool isObject() const { return type_ == Type::Object; }

    bool asBool() const { return b_; }
    double asNumber() const { return n_; }
    const QString& asString() const { return s_; }
    Object* asObject() const { return type_ == Type::Object ? o_ : nullptr; }

private:
    Type type_ = Type::Undefined;
    union {
        bool b_;
        double n_ = 0;
        Object* o_;
    };
    QString s_;
};

// The Flash Player's number printing: integers as they are, otherwise 15
// significant digits, exponents from 1e15 and below 1e-5.
QString NumberToString(double n);
// Number printed in a radix (2..36), as Number.prototype.toString does.
QString NumberToRadix(double n, int radix);
// ToNumber of a string by the movie's version.
double StringToNumber(const QString& s, int version);
// ECMA ToInt32 / ToUint32.
int32_t ToInt32(double n);
uint32_t ToUint32(double n);

} // namespace plovex::avm1
