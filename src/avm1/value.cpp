#include "avm1/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace plovex::avm1 {

QString NumberToString(double n)
{
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (n == 0)
        return QStringLiteral("0");
    if (n == std::trunc(n) && std::fabs(n) < 1e15)
        return QString::number(qint64(n));
    // Round to 15 significant digits first; the decimal exponent decides
    // between plain and exponential notation.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", n);
    // buf: [-]d.dddddddddddddde[+-]xx
    QString s = QString::fromLatin1(buf);
    const int e = s.indexOf(QLatin1Char('e'));
    const int exp = s.mid(e + 1).toInt();
    QString mant = s.left(e);
    const bool neg = mant.startsWith(QLatin1Char('-'));
    if (neg)
        mant.remove(0, 1);
    QString digits = mant.left(1) + mant.mid(2);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    QString out;
    if (exp >= 15 || exp < -5) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += QLatin1Char('.') + digits.mid(1);
        out += QLatin1Char('e') + QString(exp >= 0 ? QStringLiteral("+") : QStringLiteral("-")) + QString::number(std::abs(exp));
    } else if (exp < 0) {
        out = QStringLiteral("0.") + QString(-exp - 1, QLatin1Char('0')) + digits;
    } else {
        if (digits.size() <= exp + 1)
            out = digits + QString(exp + 1 - digits.size(), QLatin1Char('0'));
        else
            out = digits.left(exp + 1) + QLatin1Char('.') + digits.mid(exp + 1);
    }
    return neg ? QLatin1Char('-') + out : out;
}

QString NumberToRadix(double n, int radix)
{
    if (radix == 10 || radix < 2 || radix > 36)
        return NumberToString(n);
    if (std::isnan(n))
        return QStringLiteral("NaN");
    if (std::isinf(n))
        return n > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    // Other radixes print the 32-bit integer value.
    qint64 v = ToInt32(n);
    const bool neg = v < 0;
    quint64 u = neg ? quint64(-v) : quint64(v);
    QString out;
    do {
        const int d = int(u % quint64(radix));
        out.prepend(QLatin1Char(d < 10 ? char('0' + d) : char('a' + d - 10)));
        u /= quint64(radix);
    } while (u);
    return neg ? QLatin1Char('-') + out : out;
}

namespace {

bool isSpace(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\v' || u == '\f';
}

} // namespace

double StringToNumber(const QString& str, int version)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int i = 0;
    const int n = int(str.size());
    while (i < n && isSpace(str[i]))
        ++i;
    if (i == n)
        return version >= 5 ? nan : 0.0;
    if (version < 5) {
        // Version 4 reads the decimal number at the start and ignores the
        // rest; no number at all reads as 0.
        QByteArray digits;
        int k = i;
        if (k < n && (str[k] == QLatin1Char('-') || str[k] == QLatin1Char('+')))
            digits += char(str[k++].unicode());
        bool any = false, dot = false;
        for (; k < n; ++k) {
            const ushort c = str[k].unicode();
            if (c >= '0' && c <= '9') {
                any = true;
                digits += char(c);
            } else if (c == '.' && !dot) {
                dot = true;
                digits += '.';
            } else {
                break;
            }
        }
        if (any && k < n && (str[k] == QLatin1Char('e') || str[k] == QLatin1Char('E'))) {
            int e = k + 1;
            QByteArray exp = "e";
            if (e < n && (str[e] == QLatin1Char('-') || str[e] == QLatin1Char('+')))
                exp += char(str[e++].unicode());
            if (e < n && str[e].isDigit()) {
                while (e < n && str[e].isDigit())
                    exp += char(str[e++].unicode());
                digits += exp;
            }
        }
        return any ? std::strtod(digits.constData(), nullptr) : 0.0;
    }
    // Hexadecimal: 0x... with an optional sign before it (version 6 on).
    if (version >= 6) {
        int j = i;
        bool neg = false;
        if (j < n && (str[j] == QLatin1Char('-') || str[j] == QLatin1Char('+'))) {
            neg = str[j] == QLatin1Char('-');
            ++j;
        }
        if (j + 1 < n && str[j] == QLatin1Char('0') && (str[j + 1] == QLatin1Char('x') || str[j + 1] == QLatin1Char('X'))) {
            j += 2;
            double v = 0;
            int digits = 0;
            for (; j < n; ++j, ++digits) {
                const int d = QChar(str[j]).isDigit() ? str[j].unicode() - '0'
                              : (str[j].toLower().unicode() >= 'a' && str[j].toLower().unicode() <= 'f')
                                  ? str[j].toLower().unicode() - 'a' + 10 : -1;
                if (d < 0)
                    return nan;
                v = v * 16 + d;
            }
            if (!digits)
                return nan;
            // The Flash Player reads hex as a signed 32-bit value.
            v = double(int32_t(uint32_t(std::fmod(v, 4294967296.0))));
            return neg ? -v : v;
        }
    }
    QByteArray ascii;
    int j = i;
    if (j < n && (str[j] == QLatin1Char('-') || str[j] == QLatin1Char('+')))
        ascii += char(str[j++].unicode());
    // A leading zero followed by octal digits only reads as octal (version 6 on).
    if (version >= 6 && j + 1 < n && str[j] == QLatin1Char('0')) {
        bool octal = true;
        double v = 0;
        for (int k = j; k < n; ++k) {
            const ushort c = str[k].unicode();
            if (c < '0' || c > '7') {
                octal = false;
                break;
            }
            v = v * 8 + (c - '0');
        }
        if (octal)
            return ascii == "-" ? -v : v;
    }
    bool digits = false, dot = false, exp = false;
    for (; j < n; ++j) {
        const ushort c = str[j].unicode();
        if (c >= '0' && c <= '9') {
            digits = true;
            ascii += char(c);
        } else if (c == '.' && !dot && !exp) {
            dot = true;
            ascii += '.';
        } else if ((c == 'e' || c == 'E') && digits && !exp) {
            exp = true;
            ascii += 'e';
            if (j + 1 < n && (str[j + 1] == QLatin1Char('-') || str[j + 1] == QLatin1Char('+')))
                ascii += char(str[++j].unicode());
            if (j + 1 >= n || !str[j + 1].isDigit())
                return nan;
        } else {
            break;
        }
    }
    if (!digits || j != n)
        return nan;   // trailing blanks make it no number either
    return std::strtod(ascii.constData(), nullptr);
}

int32_t ToInt32(double n)
{
    if (!std::isfinite(n))
        return 0;
    double t = std::trunc(n);
    t = std::fmod(t, 4294967296.0);
    if (t < 0)
        t += 4294967296.0;
    return int32_t(uint32_t(t));
}

uint32_t ToUint32(double n)
{
    return uint32_t(ToInt32(n));
}

} // namespace plovex::avm1
