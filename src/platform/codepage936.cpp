#include "platform/codepage936.h"

#include <cerrno>
#include <iconv.h>

namespace plovex {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can, appending to `out`.
    // Returns 0 when everything was converted, otherwise errno (EILSEQ or
    // EINVAL) with `in`/`inLeft` at the offending byte.
    int run(const char*& in, size_t& inLeft, QByteArray& out)
    {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            char* src = const_cast<char*>(in);
            const size_t r = ::iconv(cd_, &src, &inLeft, &dst, &dstLeft);
            const int error = r == size_t(-1) ? errno : 0;
            in = src;
            out.append(buffer, dst - buffer);
            if (error == E2BIG)
                continue;
            if (error)
                return error;
        }
        return 0;
    }

    // Converts exactly the `size` bytes at `in`, or nothing.
    bool convertWhole(const char* in, size_t size, QByteArray& out)
    {
        QByteArray piece;
        size_t left = size;
        if (run(in, left, piece) != 0 || left != 0)
            return false;
        out += piece;
        return true;
    }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with `lead`.
int utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

// Opening a converter loads the system's conversion tables, which costs
// far more than converting a line; each thread keeps its own four.
struct Converters {
    Converter toCp936{"CP936", "UTF-8"};
    Converter toGb18030{"GB18030", "UTF-8"};
    Converter fromCp936{"UTF-8", "CP936"};
    Converter fromGb18030{"UTF-8", "GB18030"};
};

Converters& converters()
{
    thread_local Converters instance;
    return instance;
}

} // namespace

namespace {

bool asciiOnly(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool asciiOnly(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

QByteArray ToCodePage936(const QString& text)
{
    // ASCII is the same in code page 936; most names and numbers are.
    if (asciiOnly(text))
        return text.toLatin1();
    const QByteArray utf8 = text.toUtf8();
    Converter& cp936 = converters().toCp936;
    Converter& gb18030 = converters().toGb18030;
    QByteArray out;
    if (!cp936.valid() || !gb18030.valid()) {
        // No converters installed: ASCII survives, the rest cannot.
        for (const QChar c : text)
            out += c.unicode() < 0x80 ? char(c.unicode()) : '?';
        return out;
    }
    const char* in = utf8.constData();
    size_t left = size_t(utf8.size());
    while (left > 0) {
        if (cp936.run(in, left, out) == 0)
            break;
        const size_t length = std::min<size_t>(utf8Length(static_cast<unsigned char>(*in)), left);
        if (!gb18030.convertWhole(in, length, out))
            out += '?';
        in += length;
        left -= length;
    }
    return out;
}

QString FromCodePage936(const QByteArray& bytes, bool dropIncompleteTail)
{
    if (asciiOnly(bytes))
        return QString::fromLatin1(bytes);
    Converter& cp936 = converters().fromCp936;
    Converter& gb18030 = converters().fromGb18030;
    if (!cp936.valid() || !gb18030.valid())
        return QString::fromLatin1(bytes);
    QByteArray utf8;
    const char* in = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const int error = cp936.run(in, left, utf8);
        if (error == 0)
            break;
        if (dropIncompleteTail) {
            // A character cut in half by the byte limit: in code page 936
            // a lone lead byte, in GB18030 the start of a four-byte one.
            if (error == EINVAL)
                break;
            QByteArray ignored;
            const char* rest = in;
            size_t restLeft = left;
            if (left < 4 && gb18030.run(rest, restLeft, ignored) == EINVAL)
                break;
        }
        if (left >= 4 && gb18030.convertWhole(in, 4, utf8)) {
            in += 4;
            left -= 4;
            continue;
        }
        utf8 += "\xEF\xBF\xBD";
        ++in;
        --left;
    }
    return QString::fromUtf8(utf8);
}

} // namespace plovex
