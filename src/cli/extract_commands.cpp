// plovex-cli commands that take material out of projectors and movies.

#include "cli/command.h"
#include "extract/projector.h"

namespace plovex::cli {
namespace {

// The refusal message goes to standard error through the console prompts;
// errors propagate to main, which prints them.
const Command extractProjector(
    "extract-projector", "extract-projector EXE OUT.swf   copy the movie out of a projector",
    [](const QStringList& args) {
        if (args.size() != 2)
            return fail(QStringLiteral("usage: extract-projector EXE OUT.swf"));
        return ExtractProjectorSwf(args[0], args[1], false) ? 0 : 1;
    });

} // namespace
} // namespace plovex::cli
