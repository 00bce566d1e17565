// The sound walk on arbitrary movie bytes: plain and compressed movies,
// damaged headers, tags and lengths. Beyond the sanitizers' checks, the
// files written from a plain movie can never hold more bytes than it has,
// and only names the walk gives are ever written.

#include "extract/sounds.h"
#include "fuzz_files.h"
#include "platform/errors.h"

#include <QFileInfo>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace plovex;
    const QString movie = fuzz::writeInput("in.movie.swf", data, size);
    const QString out = fuzz::freshFolder("sounds");
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    SoundExtractionResult result;
    try {
        result = ExtractSwfSounds(movie, out, options);
    } catch (const PlovexError&) {
        std::abort(); // the input is readable and the folder writable
    }

    const bool plain = size >= 3 && data[0] == 'F' && data[1] == 'W' && data[2] == 'S';
    qint64 total = 0;
    const QStringList names = QDir(out).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1String("in_SOUND")) && !name.startsWith(QLatin1String("in_StreamSound")))
            std::abort();
        if (!name.endsWith(QLatin1String(".WAV")) && !name.endsWith(QLatin1String(".MP3")))
            std::abort();
        total += QFileInfo(QDir(out).filePath(name)).size();
    }
    if (plain && total > qint64(size))
        std::abort();
    if (result.refused && !names.isEmpty())
        std::abort();
    return 0;
}
