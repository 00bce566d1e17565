#include "audio/decode.h"

#include "swf/sound_events.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace plovex::audio {

namespace {

// Decoded sound never grows past this many frames per channel (about three
// hours at 44.1 kHz), whatever a hostile file claims or holds.
constexpr qint64 kMaxFrames = qint64(kOutputRate) * 60 * 60 * 3;

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ParserDeleter {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

AVCodecID CodecFor(int format, bool is16Bit)
{
    switch (format) {
    case kPcmNative:
    case kPcmLittleEndian: return is16Bit ? AV_CODEC_ID_PCM_S16LE : AV_CODEC_ID_PCM_U8;
    case kAdpcm: return AV_CODEC_ID_ADPCM_SWF;
    case kMp3: return AV_CODEC_ID_MP3;
    case kNellymoser16k:
    case kNellymoser8k:
    case kNellymoser: return AV_CODEC_ID_NELLYMOSER;
    case kSpeex: return AV_CODEC_ID_SPEEX;
    default: return AV_CODEC_ID_NONE;
    }
}

int ChannelsFor(int format, bool stereo)
{
    // Nellymoser and Speex are mono whatever the flags say.
    if (format == kNellymoser16k || format == kNellymoser8k || format == kNellymoser || format == kSpeex)
        return 1;
    return stereo ? 2 : 1;
}

int16_t ToS16(float v)
{
    if (std::isnan(v))
        return 0;   // a damaged stream can decode to NaN
    const float s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    return int16_t(s);
}

// Appends one decoded frame as interleaved 16-bit samples of `channels`
// channels (extra decoder channels are dropped, missing ones repeated).
void AppendFrame(const AVFrame& f, int channels, std::vector<int16_t>& out)
{
    const int fc = std::max(1, f.ch_layout.nb_channels);
    const int n = f.nb_samples;
    if (n <= 0)
        return;
    const auto fmt = AVSampleFormat(f.format);
    const bool planar = av_sample_fmt_is_planar(fmt);
    const size_t base = out.size();
    out.resize(base + size_t(n) * size_t(channels));
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
            const int src = std::min(c, fc - 1);
            const int plane = planar ? src : 0;
            const int index = planar ? i : i * fc + src;
            int16_t v = 0;
            switch (av_get_packed_sample_fmt(fmt)) {
            case AV_SAMPLE_FMT_U8: v = int16_t((int(f.extended_data[plane][index]) - 128) << 8); break;
            case AV_SAMPLE_FMT_S16: v = reinterpret_cast<const int16_t*>(f.extended_data[plane])[index]; break;
            case AV_SAMPLE_FMT_S32: v = int16_t(reinterpret_cast<const int32_t*>(f.extended_data[plane])[index] >> 16); break;
            case AV_SAMPLE_FMT_FLT: v = ToS16(reinterpret_cast<const float*>(f.extended_data[plane])[index]); break;
            case AV_SAMPLE_FMT_DBL: v = ToS16(float(reinterpret_cast<const double*>(f.extended_data[plane])[index])); break;
            default: break;
            }
            out[base + size_t(i) * size_t(channels) + size_t(c)] = v;
        }
    }
}

// Decodes packets at the source rate into interleaved 16-bit samples.
class SourceDecoder {
public:
    SourceDecoder(AVCodecID id, int rate, int channels) : channels_(channels)
    {
        // Damaged sound data is common in real movies; the decoders' notes
        // about it are of no use on standard error.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
        const AVCodec* codec = avcodec_find_decoder(id);
        if (!codec)
            return;
        ctx_.reset(avcodec_alloc_context3(codec));
        if (!ctx_)
            return;
        ctx_->sample_rate = rate;
        av_channel_layout_default(&ctx_->ch_layout, channels);
        if (id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_U8)
            ctx_->block_align = channels * (id == AV_CODEC_ID_PCM_S16LE ? 2 : 1);
        if (avcodec_open2(ctx_.get(), codec, nullptr) < 0) {
            ctx_.reset();
            return;
        }
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (id == AV_CODEC_ID_MP3)
            parser_.reset(av_parser_init(id));
    }
    bool ok() const { return ctx_ && frame_ && packet_; }
    qint64 frames() const { return qint64(out_.size()) / channels_; }
    std::vector<int16_t>& samples() { return out_; }

    // Feeds bytes; a parser splits MP3 data into frames first, so a frame
    // cut across two blocks still decodes.
    void feed(const uint8_t* data, int size)
    {
        if (!ok())
            return;
        if (!parser_) {
            decode(data, size);
            return;
        }
        // The parser, like the decoder, reads past its input by up to the
        // padding: it parses a padded copy.
        if (size <= 0)
            return;
        padded_.assign(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::copy(data, data + size, padded_.begin());
        data = padded_.data();
        while (size > 0) {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser_.get(), ctx_.get(), &out, &outSize, data, size, AV_NOPTS_VALUE,
                                              AV_NOPTS_VALUE, 0);
            if (used < 0)
                break;
            data += used;
            size -= used;
            if (outSize > 0)
                decode(out, outSize);
            if (used == 0 && outSize == 0)
                break;
        }
    }

    void finish()
    {
        if (!ok())
            return;
        if (parser_) {
            uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser_.get(), ctx_.get(), &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (outSize > 0)
                decode(out, outSize);
        }
        avcodec_send_packet(ctx_.get(), nullptr);
        drain();
    }

private:
    void decode(const uint8_t* data, int size)
    {
        if (size <= 0)
            return;
        // The decoder reads past the end by up to the padding, so each
        // packet is copied into a padded buffer of its own.
        if (av_new_packet(packet_.get(), size) < 0)
            return;
        std::copy(data, data + size, packet_->data);
        const int rc = avcodec_send_packet(ctx_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (rc < 0 && rc != AVERROR(EAGAIN))
            return;   // a damaged packet: left out
        drain();
    }
    void drain()
    {
        while (avcodec_receive_frame(ctx_.get(), frame_.get()) >= 0) {
            if (frames() + frame_->nb_samples <= kMaxFrames)
                AppendFrame(*frame_, channels_, out_);
            av_frame_unref(frame_.get());
        }
    }

    int channels_;
    std::vector<uint8_t> padded_;   // the parser's input
    std::unique_ptr<AVCodecContext, CodecContextDeleter> ctx_;
    std::unique_ptr<AVFrame, FrameDeleter> frame_;
    std::unique_ptr<AVPacket, PacketDeleter> packet_;
    std::unique_ptr<AVCodecParserContext, ParserDeleter> parser_;
    std::vector<int16_t> out_;
};

// Converts interleaved samples of `channels` channels at `rate` to the
// output format.
Pcm ToOutput(const std::vector<int16_t>& in, int channels, int rate)
{
    Pcm pcm;
    const qint64 inFrames = qint64(in.size()) / channels;
    if (inFrames <= 0)
        return pcm;
    std::vector<int16_t> resampled;
    if (rate == kOutputRate) {
        resampled.assign(in.begin(), in.begin() + inFrames * channels);
    } else {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_S16, kOutputRate, &layout, AV_SAMPLE_FMT_S16, rate, 0,
                                nullptr) < 0)
            return pcm;
        std::unique_ptr<SwrContext, SwrDeleter> swr(raw);
        if (swr_init(swr.get()) < 0)
            return pcm;
        const qint64 expected = av_rescale_rnd(inFrames, kOutputRate, rate, AV_ROUND_UP) + 256;
        resampled.resize(size_t(expected) * size_t(channels));
        const uint8_t* src = reinterpret_cast<const uint8_t*>(in.data());
        uint8_t* dst = reinterpret_cast<uint8_t*>(resampled.data());
        int got = swr_convert(swr.get(), &dst, int(expected), &src, int(inFrames));
        if (got < 0)
            got = 0;
        uint8_t* rest = reinterpret_cast<uint8_t*>(resampled.data() + size_t(got) * size_t(channels));
        int more = swr_convert(swr.get(), &rest, int(expected - got), nullptr, 0);
        if (more < 0)
            more = 0;
        // The output holds exactly the input's duration at the new rate.
        const qint64 frames = std::min<qint64>(got + more, av_rescale_rnd(inFrames, kOutputRate, rate, AV_ROUND_NEAR_INF));
        resampled.resize(size_t(frames) * size_t(channels));
    }
    if (channels == kOutputChannels) {
        pcm.samples = std::move(resampled);
    } else {
        pcm.samples.resize(resampled.size() * 2);
        for (size_t i = 0; i < resampled.size(); ++i)
            pcm.samples[2 * i] = pcm.samples[2 * i + 1] = resampled[i];
    }
    return pcm;
}

qint64 ToOutputFrames(qint64 frames, int rate)
{
    return rate == kOutputRate ? frames : av_rescale_rnd(frames, kOutputRate, rate, AV_ROUND_NEAR_INF);
}

// Decodes at the source rate; also gives each packet's first frame.
std::vector<int16_t> DecodeSource(int format, int rate, int channels, bool is16Bit,
                                  const std::vector<QByteArray>& packets, std::vector<qint64>* starts)
{
    const AVCodecID id = CodecFor(format, is16Bit);
    if (starts)
        starts->clear();
    if (id == AV_CODEC_ID_NONE) {
        if (starts)
            starts->assign(packets.size(), 0);
        return {};
    }
    SourceDecoder decoder(id, rate, channels);
    const int frameBytes = channels * (is16Bit ? 2 : 1);
    for (const QByteArray& p : packets) {
        if (starts)
            starts->push_back(decoder.frames());
        int size = int(p.size());
        const auto* data = reinterpret_cast<const uint8_t*>(p.constData());
        if (id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_U8)
            size -= size % frameBytes;   // a cut sample is left out
        else if (id == AV_CODEC_ID_NELLYMOSER)
            size -= size % 64;           // whole 64-byte blocks only
        // Each block is one packet of its format's own framing (an ADPCM
        // block starts with its code size); MP3 goes through the parser.
        decoder.feed(data, size);
    }
    decoder.finish();
    return std::move(decoder.samples());
}

} // namespace

int SourceRate(int format, int rateCode)
{
    return swf::SoundSampleRate(format, rateCode);
}

Pcm DecodePackets(int format, int rateCode, bool is16Bit, bool stereo, const std::vector<QByteArray>& packets,
                  std::vector<qint64>* packetStart)
{
    const int rate = SourceRate(format, rateCode);
    const int channels = ChannelsFor(format, stereo);
    std::vector<qint64> starts;
    const std::vector<int16_t> source = DecodeSource(format, rate, channels, is16Bit, packets, packetStart ? &starts : nullptr);
    Pcm pcm = ToOutput(source, channels, rate);
    if (packetStart) {
        packetStart->clear();
        for (qint64 s : starts)
            packetStart->push_back(std::min(ToOutputFrames(s, rate), pcm.frames()));
    }
    return pcm;
}

Pcm DecodeSound(const swf::SoundCharacter& sound)
{
    QByteArray data = sound.data;
    qint64 skip = 0;
    if (sound.format == kMp3) {
        if (data.size() >= 2)
            skip = std::max(0, int(int16_t(uint8_t(data[0]) | uint8_t(data[1]) << 8)));
        data = data.mid(2);
    }
    const int rate = SourceRate(sound.format, sound.rate);
    const int channels = ChannelsFor(sound.format, sound.stereo);
    std::vector<int16_t> source = DecodeSource(sound.format, rate, channels, sound.is16Bit, {data}, nullptr);
    const qint64 have = qint64(source.size()) / channels;
    skip = std::min(skip, have);
    qint64 keep = have - skip;
    // The sample count trims the padding of the last block; a count larger
    // than the data (a lying header) is not made up with silence.
    if (sound.sampleCount > 0)
        keep = std::min<qint64>(keep, sound.sampleCount);
    std::vector<int16_t> trimmed(source.begin() + skip * channels, source.begin() + (skip + keep) * channels);
    return ToOutput(trimmed, channels, rate);
}

DecodedStream DecodeStream(const swf::SoundStream& stream)
{
    DecodedStream out;
    std::vector<QByteArray> packets;
    packets.reserve(stream.blocks.size());
    for (const QByteArray& b : stream.blocks)
        // An MP3 block starts with its sample count and seek samples.
        packets.push_back(stream.format == kMp3 ? b.mid(4) : b);
    out.pcm = DecodePackets(stream.format, stream.rate, stream.is16Bit, stream.stereo, packets, &out.blockStart);
    return out;
}

Pcm DecodeMp3File(const QByteArray& file)
{
    const auto byte = [&file](qsizetype i) { return i < file.size() ? uint8_t(file[i]) : uint8_t(0); };
    // An ID3v2 tag comes first: its size is four 7-bit bytes, and a footer
    // adds ten more.
    qsizetype at = 0;
    if (file.startsWith("ID3") && file.size() >= 10) {
        const qsizetype size = (qsizetype(byte(6) & 0x7f) << 21) | (qsizetype(byte(7) & 0x7f) << 14) |
                               (qsizetype(byte(8) & 0x7f) << 7) | qsizetype(byte(9) & 0x7f);
        at = 10 + size + ((byte(5) & 0x10) ? 10 : 0);
    }
    // The first frame header gives the rate and the channels.
    static constexpr int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    for (; at + 4 <= file.size(); ++at) {
        const uint8_t b1 = byte(at + 1), b2 = byte(at + 2);
        const int version = (b1 >> 3) & 3, layer = (b1 >> 1) & 3, bitrate = b2 >> 4, rateIndex = (b2 >> 2) & 3;
        if (byte(at) != 0xff || (b1 & 0xe0) != 0xe0 || version == 1 || layer == 0 || bitrate == 0 || bitrate == 15 ||
            rateIndex == 3)
            continue;
        const int rate = kRates[version][rateIndex];
        const int channels = (byte(at + 3) >> 6) == 3 ? 1 : 2;
        const std::vector<int16_t> source = DecodeSource(kMp3, rate, channels, true, {file.mid(at)}, nullptr);
        return ToOutput(source, channels, rate);
    }
    return {};
}

} // namespace plovex::audio
