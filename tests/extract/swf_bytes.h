#pragma once

// Raw SWF bytes for the extraction suites, tag by tag, so each test shows
// exactly the bytes it depends on.

#include "extract/temp_files.h"

#include <QByteArray>
#include <lzma.h>
#include <zlib.h>

namespace plovex::test {

inline QByteArray le16Bytes(quint16 v)
{
    QByteArray out(2, Qt::Uninitialized);
    out[0] = char(v & 0xFF);
    out[1] = char(v >> 8);
    return out;
}

// One tag: short header when the body is under 63 bytes, else long.
inline QByteArray tag(quint16 code, const QByteArray& body, bool longForm = false)
{
    if (!longForm && body.size() < 0x3F)
        return le16Bytes(quint16((code << 6) | body.size())) + body;
    return le16Bytes(quint16((code << 6) | 0x3F)) + le32Bytes(quint32(body.size())) + body;
}

inline QByteArray endTag() { return tag(0, {}); }

// DefineSound: id, format byte (format in the upper 4 bits), sample count, data.
inline QByteArray defineSoundBody(quint16 id, int format, const QByteArray& data, quint8 lowBits = 0xE)
{
    return le16Bytes(id) + QByteArray(1, char((format << 4) | lowBits)) + le32Bytes(0x11223344) + data;
}
inline QByteArray defineSound(quint16 id, int format, const QByteArray& data)
{
    return tag(14, defineSoundBody(id, format, data));
}
// What the event-sound file holds: the body from the format byte on.
inline QByteArray eventFile(int format, const QByteArray& data, quint8 lowBits = 0xE)
{
    return defineSoundBody(0, format, data, lowBits).mid(2);
}

// SoundStreamHead (18) or SoundStreamHead2 (45) with the stream compression.
inline QByteArray streamHead(int format, quint16 code = 18)
{
    QByteArray body;
    body += char(0x0E);                // playback format
    body += char((format << 4) | 0xE); // stream format
    body += le16Bytes(1152);           // samples per block
    if (format == 2)
        body += le16Bytes(0);          // latency seek
    return tag(code, body);
}

// SoundStreamBlock: 4 leading bytes (samples, seek), then the data.
inline QByteArray streamBlock(const QByteArray& data)
{
    return tag(19, le16Bytes(1152) + le16Bytes(0) + data, data.size() > 40);
}

// A tag the extraction does not act on (ShowFrame, or any code given).
inline QByteArray otherTag(quint16 code = 1, const QByteArray& body = {}) { return tag(code, body); }

// The header and tags of a movie. nbits selects the size of the frame
// rectangle; its remaining bytes hold a pattern the walk must skip.
inline QByteArray swf(const QByteArray& tags, int version = 6, int nbits = 15, const char* signature = "FWS")
{
    const int rectBytes = (5 + 4 * nbits + 7) / 8;
    QByteArray rect(rectBytes, char(0xA5));
    rect[0] = char((nbits << 3) | 0x5);
    const QByteArray rest = rect + le16Bytes(0x0C00) + le16Bytes(10) + tags;
    return QByteArray(signature, 3) + char(version) + le32Bytes(quint32(8 + rest.size())) + rest;
}

// The same movie as "CWS": the bytes after the first 8 deflated.
inline QByteArray compressZlib(const QByteArray& movie)
{
    const QByteArray body = movie.mid(8);
    uLongf size = compressBound(uLong(body.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(body.constData()), uLong(body.size()), 9) != Z_OK)
        ADD_FAILURE() << "compress2 failed";
    packed.resize(qsizetype(size));
    return "CWS" + movie.mid(3, 5) + packed;
}

// The same movie as "ZWS": compressed length, 5 property bytes, raw LZMA1,
// with or without the end marker.
inline QByteArray compressLzma(const QByteArray& movie, bool endMarker)
{
    const QByteArray body = movie.mid(8);
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1 << 16;
    options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&s, filters) != LZMA_OK) {
        ADD_FAILURE() << "lzma_raw_encoder failed";
        return {};
    }
    QByteArray packed(body.size() + body.size() / 2 + 4096, Qt::Uninitialized);
    s.next_in = reinterpret_cast<const uint8_t*>(body.constData());
    s.avail_in = size_t(body.size());
    s.next_out = reinterpret_cast<uint8_t*>(packed.data());
    s.avail_out = size_t(packed.size());
    lzma_ret ret;
    do
        ret = lzma_code(&s, LZMA_FINISH);
    while (ret == LZMA_OK);
    EXPECT_EQ(ret, LZMA_STREAM_END);
    packed.resize(qsizetype(s.total_out));
    lzma_end(&s);

    uint32_t propsSize = 0;
    QByteArray props(5, '\0');
    lzma_filter plain{LZMA_FILTER_LZMA1, &options};
    EXPECT_EQ(lzma_properties_size(&propsSize, &plain), LZMA_OK);
    EXPECT_EQ(propsSize, 5u);
    EXPECT_EQ(lzma_properties_encode(&plain, reinterpret_cast<uint8_t*>(props.data())), LZMA_OK);
    return "ZWS" + movie.mid(3, 5) + le32Bytes(quint32(packed.size())) + props + packed;
}

} // namespace plovex::test
