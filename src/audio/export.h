#pragma once

#include "swf/movie.h"

#include <QStringList>

namespace plovex::audio {

// Writes the movie's sounds decoded into `folder`, beside the raw files
// the sound extraction writes: every event sound as
// base_SOUNDid_decoded.wav, every stream of the main timeline as
// base_StreamSoundN_decoded.wav (N counting the streams that have blocks,
// from 1), all 44.1 kHz 16-bit stereo; and each MP3 as a clean .mp3 of
// its frames (base_SOUNDid_frames.mp3, base_StreamSoundN_frames.mp3).
// Returns the files written, in order. Throws PlovexError when a file
// cannot be written; the files before it stay.
QStringList WriteDecodedSounds(const swf::Movie& movie, const QString& baseName, const QString& folder);

} // namespace plovex::audio
