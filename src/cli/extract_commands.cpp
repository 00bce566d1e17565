// plovex-cli commands that take material out of projectors and movies.
// Refusal messages reach standard error through the console prompts;
// errors propagate to main, which prints them.

#include "cli/command.h"
#include "extract/projector.h"
#include "extract/sounds.h"
#include "audio/export.h"
#include "swf/player.h"
#include "swf/movie.h"

#include <cstdio>

namespace plovex::cli {
namespace {

const Command extractProjector(
    "extract-projector", "extract-projector EXE OUT.swf   copy the movie out of a projector",
    [](const QStringList& args) {
        if (args.size() != 2)
            return fail(QStringLiteral("usage: extract-projector EXE OUT.swf"));
        return ExtractProjectorSwf(args[0], args[1], false) ? 0 : 1;
    });

// Prints the files it wrote on standard output, one a line.
const Command extractSounds(
    "extract-sounds",
    "extract-sounds MOVIE OUTDIR [--any-swf] [--decode]   write the movie's sounds into OUTDIR "
    "(--any-swf also takes compressed movies; --decode also writes each sound and stream as a WAV, "
    "each MP3 as its frames)",
    [](const QStringList& args) {
        QStringList paths;
        SoundExtractionOptions options;
        bool decode = false;
        for (const QString& arg : args) {
            if (arg == QLatin1String("--any-swf"))
                options.acceptCompressed = true;
            else if (arg == QLatin1String("--decode"))
                decode = true;
            else if (arg.startsWith(QLatin1String("--")))
                return fail(QStringLiteral("unknown option %1").arg(arg));
            else
                paths << arg;
        }
        if (paths.size() != 2)
            return fail(QStringLiteral("usage: extract-sounds MOVIE OUTDIR [--any-swf] [--decode]"));
        const SoundExtractionResult result = ExtractSwfSounds(paths[0], paths[1], options);
        if (result.refused)
            return 1;
        for (const QString& file : result.written)
            std::printf("%s\n", file.toUtf8().constData());
        if (decode) {
            const auto movie = swf::LoadMovieFile(paths[0]);
            for (const QString& file : audio::WriteDecodedSounds(*movie, SoundFileBaseName(paths[0]), paths[1]))
                std::printf("%s\n", file.toUtf8().constData());
        }
        if (!result.complete)
            std::fprintf(stderr, "plovex-cli: the movie ends before its End tag; sounds up to its last whole tag were written\n");
        return 0;
    });

} // namespace
} // namespace plovex::cli
