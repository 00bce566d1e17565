#include "audio/export.h"

#include "audio/decode.h"
#include "audio/render.h"
#include "platform/errors.h"
#include "platform/safefile.h"

#include <QDir>
#include <algorithm>
#include <set>

namespace plovex::audio {

namespace {

void Write(const QString& path, const QByteArray& bytes, QStringList& written)
{
    const QString error = ReplaceFileContents(path, bytes);
    if (!error.isEmpty())
        throw PlovexError(QStringLiteral("%1: %2").arg(path, error));
    written << path;
}

} // namespace

QStringList WriteDecodedSounds(const swf::Movie& movie, const QString& baseName, const QString& folder)
{
    QStringList written;
    const QDir dir(folder);
    std::vector<int> ids;
    for (const auto& [id, character] : movie.dictionary)
        if (character->kind() == swf::CharacterKind::Sound)
            ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    for (int id : ids) {
        const auto* sound = movie.get<swf::SoundCharacter>(id);
        const QString name = baseName + QStringLiteral("_SOUND") + QString::number(id);
        Write(dir.filePath(name + QStringLiteral("_decoded.wav")), WavFile(DecodeSound(*sound)), written);
        if (sound->format == kMp3)
            Write(dir.filePath(name + QStringLiteral("_frames.mp3")), sound->data.mid(2), written);
    }
    // The main timeline's streams, in the order its frames first play them.
    std::vector<int> streams;
    for (const swf::Frame& f : movie.root.frames)
        if (f.stream >= 0 && std::find(streams.begin(), streams.end(), f.stream) == streams.end())
            streams.push_back(f.stream);
    int number = 0;
    for (int index : streams) {
        const swf::SoundStream& s = movie.streams[size_t(index)];
        const QString name = baseName + QStringLiteral("_StreamSound") + QString::number(++number);
        Write(dir.filePath(name + QStringLiteral("_decoded.wav")), WavFile(DecodeStream(s).pcm), written);
        if (s.format == kMp3) {
            QByteArray frames;
            for (const QByteArray& b : s.blocks)
                frames += b.mid(4);
            Write(dir.filePath(name + QStringLiteral("_frames.mp3")), frames, written);
        }
    }
    return written;
}

} // namespace plovex::audio
