// Decodes arbitrary bytes as every stored sound format, as an event sound
// and as a stream cut into blocks, then loads them as a movie and mixes a
// short track: nothing may crash, hang or read outside the bytes given.

#include "audio/decode.h"
#include "audio/render.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace plovex;
    if (size < 3)
        return 0;
    // The first byte as a DefineSound's format byte, the second as the
    // block length of the stream.
    swf::SoundCharacter sound;
    sound.format = data[0] >> 4;
    sound.rate = (data[0] >> 2) & 3;
    sound.is16Bit = data[0] & 2;
    sound.stereo = data[0] & 1;
    sound.sampleCount = uint32_t(size) * data[1];
    sound.data = QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    (void)audio::DecodeSound(sound);
    swf::SoundStream stream;
    stream.format = sound.format;
    stream.rate = sound.rate;
    stream.is16Bit = sound.is16Bit;
    stream.stereo = sound.stereo;
    const qsizetype block = qsizetype(data[1]) + 1;
    for (qsizetype at = 0; at < sound.data.size(); at += block)
        stream.blocks.push_back(sound.data.mid(at, block));
    (void)audio::DecodeStream(stream);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)audio::RenderMovieAudio(swf::LoadMovie(bytes), audio::kOutputRate / 5);
    return 0;
}
