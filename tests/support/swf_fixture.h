#pragma once

// Small SWF movies for the tests, written byte by byte so that a test shows
// the bytes it depends on: a stage with a background colour and a square
// that moves one step to the right on every frame, so that every frame
// draws a different picture.

#include <QByteArray>
#include <QColor>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace plovex::test {

class BitWriter {
public:
    void bits(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            current_ = uint8_t((current_ << 1) | ((value >> i) & 1));
            if (++used_ == 8)
                flush();
        }
    }
    void sbits(int32_t value, int count) { bits(uint32_t(value) & ((count == 32) ? 0xFFFFFFFFu : ((1u << count) - 1)), count); }
    void align()
    {
        if (used_) {
            current_ = uint8_t(current_ << (8 - used_));
            flush();
        }
    }
    void u8(uint8_t v)
    {
        align();
        bytes_.append(char(v));
    }
    void u16(uint16_t v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void raw(const QByteArray& b)
    {
        align();
        bytes_.append(b);
    }
    QByteArray take()
    {
        align();
        return std::exchange(bytes_, {});
    }

    // Bits a signed value needs.
    static int sbitsFor(std::initializer_list<int32_t> values)
    {
        int n = 1;
        for (int32_t v : values) {
            int need = 1;
            while (need < 32 && (v < -(1 << (need - 1)) || v >= (1 << (need - 1))))
                ++need;
            n = std::max(n, need);
        }
        return n;
    }
    void rect(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax)
    {
        const int n = sbitsFor({xmin, xmax, ymin, ymax});
        bits(uint32_t(n), 5);
        sbits(xmin, n);
        sbits(xmax, n);
        sbits(ymin, n);
        sbits(ymax, n);
        align();
    }
    void translateMatrix(int32_t tx, int32_t ty)
    {
        bits(0, 1);
        bits(0, 1);
        const int n = sbitsFor({tx, ty});
        bits(uint32_t(n), 5);
        sbits(tx, n);
        sbits(ty, n);
        align();
    }

private:
    void flush()
    {
        bytes_.append(char(current_));
        current_ = 0;
        used_ = 0;
    }
    QByteArray bytes_;
    uint8_t current_ = 0;
    int used_ = 0;
};

inline QByteArray tag(int code, const QByteArray& body)
{
    BitWriter w;
    if (body.size() < 63) {
        w.u16(uint16_t((code << 6) | body.size()));
    } else {
        w.u16(uint16_t((code << 6) | 63));
        w.u32(uint32_t(body.size()));
    }
    w.raw(body);
    return w.take();
}

// A movie of `frames` frames, 200 x 150 pixels, at `rate` frames per second.
inline QByteArray MovingSquareSwf(int frames, double rate = 12, QColor background = QColor(255, 255, 255),
                                  QColor square = QColor(200, 20, 20))
{
    BitWriter body;
    body.rect(0, 4000, 0, 3000);
    body.u16(uint16_t(rate * 256));
    body.u16(uint16_t(frames));

    BitWriter bg;
    bg.u8(uint8_t(background.red()));
    bg.u8(uint8_t(background.green()));
    bg.u8(uint8_t(background.blue()));
    body.raw(tag(9, bg.take()));

    // DefineShape 1: a 20 x 20 pixel square filled with `square`.
    BitWriter shape;
    shape.u16(1);
    shape.rect(0, 400, 0, 400);
    shape.u8(1);          // one fill style
    shape.u8(0x00);       // solid
    shape.u8(uint8_t(square.red()));
    shape.u8(uint8_t(square.green()));
    shape.u8(uint8_t(square.blue()));
    shape.u8(0);          // no line styles
    shape.bits(1, 4);     // fill bits
    shape.bits(0, 4);     // line bits
    // Style change: fill style 1, move to 0,0.
    shape.bits(0, 1);
    shape.bits(0, 1);     // new styles
    shape.bits(0, 1);     // line style
    shape.bits(1, 1);     // fill style 1
    shape.bits(0, 1);     // fill style 0
    shape.bits(1, 1);     // move to
    shape.bits(2, 5);
    shape.sbits(0, 2);
    shape.sbits(0, 2);
    shape.bits(1, 1);     // fill style 1 = 1
    const int32_t edges[4][2] = {{400, 0}, {0, 400}, {-400, 0}, {0, -400}};
    for (const auto& e : edges) {
        shape.bits(1, 1);  // edge
        shape.bits(1, 1);  // straight
        shape.bits(12 - 2, 4);
        shape.bits(1, 1);  // general line
        shape.sbits(e[0], 12);
        shape.sbits(e[1], 12);
    }
    shape.bits(0, 6);     // end of shape
    body.raw(tag(2, shape.take()));

    for (int f = 0; f < frames; ++f) {
        BitWriter place;
        place.u8(f == 0 ? 0x06 : 0x05);   // character + matrix, then move + matrix
        place.u16(1);                      // depth
        if (f == 0)
            place.u16(1);                  // character id
        place.translateMatrix(200 + f * 100, 1000);
        body.raw(tag(26, place.take()));
        body.raw(tag(1, {}));
    }
    body.raw(tag(0, {}));

    const QByteArray rest = body.take();
    BitWriter file;
    file.raw(QByteArrayLiteral("FWS"));
    file.u8(6);
    file.u32(uint32_t(8 + rest.size()));
    file.raw(rest);
    return file.take();
}

// A projector: any executable bytes, the movie, then the 8-byte trailer.
inline QByteArray Projector(const QByteArray& movie, const QByteArray& program = QByteArray(64, 'M'))
{
    BitWriter w;
    w.raw(program);
    w.raw(movie);
    w.u32(0xFA123456u);
    w.u32(uint32_t(movie.size()));
    return w.take();
}

} // namespace plovex::test
