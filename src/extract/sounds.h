#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace plovex {

// The plain messages shown for a movie the sound extraction refuses.
inline const QString kNotSwfMessage = QStringLiteral("该文件不是Flash SWF文件!");
inline const QString kSwfTooOldMessage =
    QStringLiteral("该SWF文件不是Flash 5以上版本，本程序当前仅识别Flash 5以上格式SWF文件!");

struct SoundExtractionOptions {
    // Also take compressed movies ("CWS" zlib, "ZWS" LZMA), decoding them
    // on the fly. Without it only uncompressed "FWS" movies are accepted.
    bool acceptCompressed = false;
    // Called as the movie file is read: bytes read so far and the file size.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

struct SoundExtractionResult {
    bool refused = false;  // not a SWF or too old; the message was shown
    bool complete = false; // the walk reached the End tag
    QStringList written;   // the files written, in the order they were finished
};

// Writes every event sound (DefineSound) and every stream sound of the main
// timeline of the movie `moviePath` into `outputFolder`, as the movie stores
// them: base_SOUNDid.EXT and base_StreamSoundN.EXT, where base is the
// movie's file name cut at its first '.' and EXT is WAV or MP3 by the
// sound's compression. Existing files are replaced.
//
// A file that is not an uncompressed SWF of version 5 or later is refused
// with a plain message; nothing is written then. A movie whose data ends
// early or holds a damaged tag is walked up to its last whole tag, and the
// stream being collected is still written. Throws PlovexError when the
// movie cannot be read or an output file cannot be written; files finished
// before stay.
//
// Memory use is bounded whatever the movie's size.
// The base of the sound files' names: the movie's file name cut before its
// first '.'.
QString SoundFileBaseName(const QString& moviePath);

SoundExtractionResult ExtractSwfSounds(const QString& moviePath, const QString& outputFolder,
                                       const SoundExtractionOptions& options = {});

} // namespace plovex
