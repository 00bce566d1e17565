// The projector trailer on arbitrary bytes. A conversion that succeeds
// must have copied exactly the L bytes before the trailer; a refusal must
// leave no target; the only error possible here is the read error of a
// length larger than the file.

#include "extract/projector.h"
#include "fuzz_files.h"
#include "platform/errors.h"

#include <QFile>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace plovex;
    const QString source = fuzz::writeInput("in.exe", data, size);
    const QString target = fuzz::freshFolder("projector") + QStringLiteral("/out.swf");
    try {
        const bool ok = ExtractProjectorSwf(source, target, size % 2 == 0);
        QFile out(target);
        if (!ok) {
            if (out.exists())
                std::abort();
            return 0;
        }
        if (size < 8 || !out.open(QIODevice::ReadOnly))
            std::abort();
        const QByteArray got = out.readAll();
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= uint32_t(data[size - 4 + i]) << (8 * i);
        if (uint64_t(got.size()) != length || length > size - 8
            || std::memcmp(got.constData(), data + size - 8 - length, length) != 0)
            std::abort();
    } catch (const PlovexError& e) {
        if (e.text() != QLatin1String("Stream read error"))
            std::abort();
    }
    return 0;
}
