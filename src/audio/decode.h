#pragma once

// Decoding of the sound formats a movie stores, through FFmpeg's decoders,
// into the one format the mixer works in: 44.1 kHz, 16-bit, stereo,
// interleaved. Every decoder reads only the bytes it is given; damaged data
// decodes as far as it can and the rest is left out.

#include "swf/movie.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace plovex::audio {

inline constexpr int kOutputRate = 44100;
inline constexpr int kOutputChannels = 2;

// Sound formats as the file codes them.
enum SoundFormat : int {
    kPcmNative = 0, kAdpcm = 1, kMp3 = 2, kPcmLittleEndian = 3,
    kNellymoser16k = 4, kNellymoser8k = 5, kNellymoser = 6, kSpeex = 11,
};

// Interleaved stereo samples at kOutputRate.
struct Pcm {
    std::vector<int16_t> samples;
    qint64 frames() const { return qint64(samples.size() / kOutputChannels); }
};

// The rate a sound plays at, from its format and its rate code.
int SourceRate(int format, int rateCode);

// An event sound (DefineSound), trimmed to its sample count when that count
// is smaller than what the data holds; an MP3 sound loses its leading seek
// samples.
Pcm DecodeSound(const swf::SoundCharacter& sound);

// A stream sound, all its blocks one after the other. blockStart[k] is the
// output frame at which block k's sound begins (nondecreasing; a block
// that decodes to nothing starts where the next one does).
struct DecodedStream {
    Pcm pcm;
    std::vector<qint64> blockStart;
};
DecodedStream DecodeStream(const swf::SoundStream& stream);

// An MP3 file as a script loads it (Sound.loadSound): ID3 tags are
// skipped, the rate and channels are the first frame's. Nothing when no
// frame is found.
Pcm DecodeMp3File(const QByteArray& file);

// The raw decoder under both: one or more packets of the format's own
// framing (each stream block is one packet). packetStart, when given,
// receives the output frame at which each packet's sound begins.
Pcm DecodePackets(int format, int rateCode, bool is16Bit, bool stereo, const std::vector<QByteArray>& packets,
                  std::vector<qint64>* packetStart = nullptr);

} // namespace plovex::audio
