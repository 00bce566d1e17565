#include "extract/projector.h"
#include "extract/temp_files.h"
#include "platform/errors.h"
#include "support/scripted_prompts.h"

#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plovex::test {
namespace {

QByteArray projector(const QByteArray& prefix, const QByteArray& movie, quint32 claimedLength)
{
    return prefix + movie + le32Bytes(kProjectorMagic) + le32Bytes(claimedLength);
}

QByteArray projector(const QByteArray& prefix, const QByteArray& movie)
{
    return projector(prefix, movie, quint32(movie.size()));
}

class ProjectorTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Runs the extraction expecting an error; returns its text.
    QString errorOf(const QString& source, const QString& target)
    {
        try {
            ExtractProjectorSwf(source, target, true);
        } catch (const PlovexError& e) {
            return e.text();
        }
        ADD_FAILURE() << "no error raised";
        return {};
    }
};

struct CopyCase {
    qsizetype prefix;
    qsizetype movie;
};

class ProjectorCopyTest : public ProjectorTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(ProjectorCopyTest, OutputIsExactlyTheCarriedMovie)
{
    const auto [prefixSize, movieSize] = GetParam();
    const QByteArray prefix = pseudoRandomBytes(prefixSize, 7);
    QByteArray movie = pseudoRandomBytes(movieSize, 11);
    // A trailer look-alike inside the movie must be copied like any byte.
    if (movieSize >= 8)
        movie.replace(0, 8, projector({}, {}, 0x01020304));
    writeWhole(path("game.exe"), projector(prefix, movie));

    EXPECT_TRUE(ExtractProjectorSwf(path("game.exe"), path("game.swf"), false));
    const QByteArray out = readWhole(path("game.swf"));
    EXPECT_EQ(out.size(), movie.size());
    EXPECT_TRUE(out == movie);
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProjectorCopyTest,
                         ::testing::Values(CopyCase{4096, 5000}, CopyCase{0, 5000}, CopyCase{100, 0},
                                           CopyCase{1, 1}, CopyCase{333, 1 << 20},
                                           CopyCase{70000, (3 << 20) + 17}));

TEST_F(ProjectorTest, SuccessIsAnnouncedOnlyWhenAsked)
{
    writeWhole(path("a.exe"), projector("MZ", "FWS\x05movie"));

    EXPECT_TRUE(ExtractProjectorSwf(path("a.exe"), path("quiet.swf"), false));
    EXPECT_TRUE(prompts.shown.empty());

    EXPECT_TRUE(ExtractProjectorSwf(path("a.exe"), path("loud.swf"), true));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Kind::Box);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("文件转换成功"));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("文件转换成功。"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(readWhole(path("loud.swf")), QByteArray("FWS\x05movie"));
}

TEST_F(ProjectorTest, FileWithoutTrailerIsRefusedWhateverTheAnnounceFlag)
{
    // An ordinary file, a SWF, and the magic in the wrong place of the trailer.
    const QByteArray sources[] = {
        pseudoRandomBytes(10000, 3),
        QByteArray("FWS\x06") + pseudoRandomBytes(200, 5),
        pseudoRandomBytes(100, 9) + le32Bytes(100) + le32Bytes(kProjectorMagic),
    };
    for (const QByteArray& bytes : sources) {
        for (const bool announce : {false, true}) {
            prompts.shown.clear();
            writeWhole(path("plain.exe"), bytes);
            EXPECT_FALSE(ExtractProjectorSwf(path("plain.exe"), path("out.swf"), announce));
            EXPECT_EQ(prompts.messages(), QStringList{kProjectorRefusedMessage});
            EXPECT_EQ(prompts.shown.size(), 1u);
            EXPECT_FALSE(QFileInfo::exists(path("out.swf")));
        }
    }
}

TEST_F(ProjectorTest, SourcesShorterThanTheTrailerAreRefused)
{
    // Even the first bytes of the magic at the start of a short file do not
    // make it a projector: a short file carries no trailer at all.
    const QByteArray magicStart = le32Bytes(kProjectorMagic) + QByteArray(4, '\0');
    for (int size = 0; size < 8; ++size) {
        prompts.shown.clear();
        writeWhole(path("short.exe"), magicStart.left(size));
        EXPECT_FALSE(ExtractProjectorSwf(path("short.exe"), path("out.swf"), true)) << size;
        EXPECT_EQ(prompts.messages(), QStringList{kProjectorRefusedMessage}) << size;
        EXPECT_FALSE(QFileInfo::exists(path("out.swf"))) << size;
    }
}

TEST_F(ProjectorTest, ExistingTargetIsReplaced)
{
    writeWhole(path("out.swf"), pseudoRandomBytes(100000, 1));
    writeWhole(path("p.exe"), projector("prefix", "short movie"));
    EXPECT_TRUE(ExtractProjectorSwf(path("p.exe"), path("out.swf"), false));
    EXPECT_EQ(readWhole(path("out.swf")), QByteArray("short movie"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProjectorTest, MissingSourceIsAnOpenErrorNamingTheFile)
{
    const QString text = errorOf(path("missing.exe"), path("out.swf"));
    EXPECT_TRUE(text.contains(path("missing.exe"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("No such file or directory"))) << text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("out.swf")));
    EXPECT_TRUE(prompts.shown.empty());

    EXPECT_TRUE(errorOf(QString(), path("out.swf")).startsWith(QStringLiteral("Cannot open file")));
    const QString folder = errorOf(dir.path(), path("out.swf"));
    EXPECT_EQ(folder, QStringLiteral("Cannot open file \"%1\". Is a directory").arg(dir.path()));
    EXPECT_FALSE(QFileInfo::exists(path("out.swf")));
}

TEST_F(ProjectorTest, SourceHeldByAnotherProgramCannotBeOpened)
{
    writeWhole(path("p.exe"), projector("MZ", "movie"));
    const int other = ::open(QFile::encodeName(path("p.exe")).constData(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    const QString text = errorOf(path("p.exe"), path("out.swf"));
    ::close(other);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot open file \"%1\"").arg(path("p.exe")))) << text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path("out.swf")));

    // Once released, the same file converts.
    EXPECT_TRUE(ExtractProjectorSwf(path("p.exe"), path("out.swf"), false));
}

TEST_F(ProjectorTest, TargetThatCannotBeCreatedIsAnErrorNamingIt)
{
    writeWhole(path("p.exe"), projector("MZ", "movie"));
    const QString targets[] = {path("no/such/folder/out.swf"), QString(), dir.path()};
    for (const QString& target : targets) {
        const QString text = errorOf(path("p.exe"), target);
        EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file \"%1\"").arg(target))) << text.toStdString();
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProjectorTest, TargetNamingTheSourceLeavesTheProjectorIntact)
{
    const QByteArray bytes = projector("MZ-prefix", "the movie");
    writeWhole(path("p.exe"), bytes);
    const QString text = errorOf(path("p.exe"), path("p.exe"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file"))) << text.toStdString();
    EXPECT_EQ(readWhole(path("p.exe")), bytes);
}

TEST_F(ProjectorTest, LengthBeyondTheFileIsAReadErrorLeavingAnEmptyTarget)
{
    writeWhole(path("out.swf"), "old contents");
    // One byte more than there is before the trailer, and the largest length.
    for (const quint32 claimed : {quint32(12), 0xFFFFFFFFu}) {
        writeWhole(path("p.exe"), projector("MZ", "123456789", claimed));
        EXPECT_EQ(errorOf(path("p.exe"), path("out.swf")), QStringLiteral("Stream read error"));
        EXPECT_TRUE(QFileInfo::exists(path("out.swf")));
        EXPECT_EQ(QFileInfo(path("out.swf")).size(), 0);
    }
    // The exact length still converts.
    writeWhole(path("p.exe"), projector("MZ", "123456789", 11));
    EXPECT_TRUE(ExtractProjectorSwf(path("p.exe"), path("out.swf"), false));
    EXPECT_EQ(readWhole(path("out.swf")), QByteArray("MZ123456789"));
    EXPECT_TRUE(prompts.shown.empty());
}

} // namespace
} // namespace plovex::test
