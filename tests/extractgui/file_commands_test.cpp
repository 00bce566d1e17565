// The main window's commands that take files out of the movie: its sounds,
// the movie of the last projector, and a copy of the movie that plays.

#include "extract/projector.h"
#include "extract/sounds.h"
#include "extractgui/extract_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <string>
#include <unistd.h>

using namespace plovex;
using namespace plovex::test;

namespace {

const QString kSaveAsFailed = QStringLiteral("出现错误，请检查是否重在！");
const QString kSwfFilter = QStringLiteral("swf文件(*.swf)|*.swf");

// What earlier commands left in the shared save dialog.
void leaveSaveDialogSettings(FileDialog& d)
{
    d.filter = QStringLiteral("jpeg文件(*.jpg)|*.jpg|gif文件(*.gif)|*.gif");
    d.filterIndex = 2;
    d.title = QStringLiteral("earlier title");
    d.defaultExt = QStringLiteral("gif");
}

class FileCommandsTest : public ExtractFixture {
protected:
    // Answers the next file dialog with `path`, recording the dialog's
    // settings as it was shown.
    void answerRecording(const QString& path)
    {
        prompts.fileDialogAnswers.push_back([this, path](FileDialog& d) {
            asShown = d;
            d.fileName = path;
            return true;
        });
    }
    std::vector<ScriptedPrompts::Kind> kindsShown() const
    {
        std::vector<ScriptedPrompts::Kind> out;
        for (const auto& s : prompts.shown)
            out.push_back(s.kind);
        return out;
    }
    FileDialog asShown;
};

using Kinds = std::vector<ScriptedPrompts::Kind>;
constexpr auto kDialogOnly = ScriptedPrompts::Kind::FileDialog;

// ---------------------------------------------------------------- sounds

class SoundCommandTest : public FileCommandsTest {
protected:
    void SetUp() override
    {
        FileCommandsTest::SetUp();
        out = work(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(out));
    }

    // A movie with an MP3 and an ADPCM event sound and one MP3 stream of
    // two blocks, written by the engine's writer.
    QByteArray soundMovie(swf::Compression compression = swf::Compression::None)
    {
        swf::SwfWriter w({.version = 6, .compression = compression, .frameSize = swf::Rect{0, 2000, 0, 2000}});
        w.defineSound(1, 2, 3, true, true, 44100, le16Bytes(0) + mp3);
        w.defineSound(2, 1, 1, true, false, 2000, adpcm);
        w.soundStreamHead(2, 3, true, true, 1152);
        w.soundStreamBlock(le16Bytes(1152) + le16Bytes(0) + block1);
        w.showFrame();
        w.soundStreamBlock(le16Bytes(1152) + le16Bytes(0) + block2);
        w.showFrame();
        return w.finish();
    }

    void expectSoundsOf(const QString& base)
    {
        EXPECT_EQ(filesIn(out), (QStringList{base + "_SOUND1.MP3", base + "_SOUND2.WAV", base + "_StreamSound1.MP3"}));
        // Format byte and sample count first, then the data as stored.
        EXPECT_EQ(readWhole(out + "/" + base + "_SOUND1.MP3").mid(5), le16Bytes(0) + mp3);
        EXPECT_EQ(readWhole(out + "/" + base + "_SOUND2.WAV").mid(5), adpcm);
        EXPECT_EQ(readWhole(out + "/" + base + "_StreamSound1.MP3"), block1 + block2);
    }

    QString out;
    const QByteArray mp3 = pseudoRandomBytes(900, 1);
    const QByteArray adpcm = pseudoRandomBytes(300, 2);
    const QByteArray block1 = pseudoRandomBytes(400, 3);
    const QByteArray block2 = pseudoRandomBytes(500, 4);
};

// The command shows the save dialog as its last user left it, writes the
// sounds into the folder of the chosen name (not the name itself), replaces
// files of an earlier run, shows nothing at the end and leaves the movie
// playing.
TEST_F(SoundCommandTest, WritesTheSoundsIntoTheChosenFolderSilently)
{
    f().OpenMovie(write(QStringLiteral("intro.old.swf"), soundMovie()));
    ASSERT_TRUE(f().FlashMain->Playing());
    writeWhole(out + "/intro_SOUND1.MP3", QByteArray(20000, 'o'));
    leaveSaveDialogSettings(f().SaveD);
    const FileDialog before = f().SaveD;
    answerRecording(out + "/typed name.txt");

    f().mnuCaptureSound->trigger();

    EXPECT_EQ(asShown.kind, FileDialog::Kind::Save);
    EXPECT_EQ(asShown.filter, before.filter);
    EXPECT_EQ(asShown.filterIndex, before.filterIndex);
    EXPECT_EQ(asShown.title, before.title);
    EXPECT_EQ(asShown.defaultExt, before.defaultExt);
    expectSoundsOf(QStringLiteral("intro"));
    EXPECT_EQ(kindsShown(), Kinds{kDialogOnly});
    EXPECT_TRUE(f().FlashMain->Playing());
}

// While a projector plays, the movie is the extracted flash.swf and the
// sounds carry its name.
TEST_F(SoundCommandTest, AProjectorsSoundsAreNamedAfterFlash)
{
    f().OpenMovie(write(QStringLiteral("game.exe"), Projector(soundMovie())));
    ASSERT_EQ(f().FlashMain->Movie(), programFile(QStringLiteral("flash.swf")));
    prompts.answerFile(out + "/x.wav");
    f().mnuCaptureSound->trigger();
    expectSoundsOf(QStringLiteral("flash"));
    EXPECT_EQ(kindsShown(), Kinds{kDialogOnly});
}

// Compressed movies, zlib and LZMA alike, give the same files as an
// uncompressed one, silently.
TEST_F(SoundCommandTest, TakesCompressedMovies)
{
    const struct {
        const char* name;
        swf::Compression compression;
    } cases[] = {{"zlib", swf::Compression::Zlib}, {"lzma", swf::Compression::Lzma}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        for (const QString& name : filesIn(out))
            ASSERT_TRUE(QFile::remove(out + "/" + name));
        const QByteArray movie = soundMovie(c.compression);
        ASSERT_NE(movie.left(3), QByteArray("FWS"));
        f().OpenMovie(write(QStringLiteral("packed.swf"), movie));
        ASSERT_TRUE(f().FlashMain->Playing());
        prompts.answerFile(out + "/x.mp3");
        f().mnuCaptureSound->trigger();
        expectSoundsOf(QStringLiteral("packed"));
        EXPECT_EQ(kindsShown(), Kinds{kDialogOnly});
    }
}

// Cancel writes nothing; a file that is no movie at all, and a movie older
// than version 5, are refused with their messages; a movie file gone since
// it was opened is reported as an error. None of them writes a file.
TEST_F(SoundCommandTest, CancelRefusalAndAMissingMovieWriteNothing)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        bool cancel;
        bool removeMovie;
        Kinds shown;
        QString message;
    };
    QByteArray old = soundMovie(swf::Compression::Zlib);
    old[3] = 4;
    const Case cases[] = {
        {"cancelled", soundMovie(), true, false, {kDialogOnly}, {}},
        {"no movie", QByteArray("CWX\x06 this is a text file, not a movie"), false, false,
         {kDialogOnly, ScriptedPrompts::Kind::Message}, kNotSwfMessage},
        {"compressed version 4", old, false, false, {kDialogOnly, ScriptedPrompts::Kind::Message}, kSwfTooOldMessage},
        {"movie gone", soundMovie(), false, true, {kDialogOnly, ScriptedPrompts::Kind::Error}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        const QString movie = write(QStringLiteral("m.swf"), c.bytes);
        f().OpenMovie(movie);
        if (c.removeMovie)
            ASSERT_TRUE(QFile::remove(movie));
        if (c.cancel)
            prompts.cancelFile();
        else
            prompts.answerFile(out + "/x.mp3");
        f().mnuCaptureSound->trigger();
        EXPECT_TRUE(filesIn(out).isEmpty());
        EXPECT_EQ(kindsShown(), c.shown);
        if (!c.message.isEmpty())
            EXPECT_EQ(prompts.messages(), QStringList{c.message});
    }
}

// ---------------------------------------------------------------- current exe to swf

// The command converts the projector last opened as a movie, silently, into
// the name chosen in the save dialog as its last user left it; before any
// projector was opened it takes the address box's text.
TEST_F(FileCommandsTest, ExeToSwfConvertsTheLastProjectorElseTheAddress)
{
    const QByteArray movieA = MovingSquareSwf(2), movieB = MovingSquareSwf(5);
    const QString a = write(QStringLiteral("a.exe"), Projector(movieA));
    const QString b = write(QStringLiteral("b.exe"), Projector(movieB));
    f().AddressBox->setEditText(b);
    f().EnableCommands(true);
    ASSERT_TRUE(f().mnuexeToswf->isEnabled());
    leaveSaveDialogSettings(f().SaveD);
    const FileDialog before = f().SaveD;

    answerRecording(work(QStringLiteral("from-address.swf")));
    f().mnuexeToswf->trigger();
    EXPECT_EQ(readWhole(work(QStringLiteral("from-address.swf"))), movieB);
    EXPECT_EQ(asShown.filter, before.filter);
    EXPECT_EQ(asShown.title, before.title);
    EXPECT_EQ(asShown.defaultExt, before.defaultExt);

    f().OpenMovie(a);
    ASSERT_TRUE(f().mnuexeToswf->isEnabled());
    prompts.answerFile(work(QStringLiteral("from-last.swf")));
    f().mnuexeToswf->trigger();
    EXPECT_EQ(readWhole(work(QStringLiteral("from-last.swf"))), movieA);

    prompts.cancelFile();
    f().mnuexeToswf->trigger();
    EXPECT_EQ(kindsShown(), (Kinds{kDialogOnly, kDialogOnly, kDialogOnly}));
}

// A plain program opened as a movie keeps the command enabled; converting
// it shows the refusal message again and creates no file.
TEST_F(FileCommandsTest, ExeToSwfOfAPlainProgramShowsTheRefusal)
{
    f().OpenMovie(write(QStringLiteral("plain.exe"), QByteArray(64, 'P')));
    ASSERT_TRUE(f().mnuexeToswf->isEnabled());
    prompts.shown.clear();
    prompts.answerFile(work(QStringLiteral("plain.swf")));
    f().mnuexeToswf->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{kProjectorRefusedMessage});
    EXPECT_FALSE(QFileInfo::exists(work(QStringLiteral("plain.swf"))));
}

// ---------------------------------------------------------------- save as

// With no movie, or a movie that names no file, the command does nothing
// and shows nothing (the script fails on any dialog).
TEST_F(FileCommandsTest, SaveAsWithoutAMovieFileDoesNothing)
{
    for (const QString& movie : {QString(), QStringLiteral(" "), QStringLiteral("http://example.com/a.swf"),
                                 work(QStringLiteral("never-written.swf")), workDir.path()}) {
        SCOPED_TRACE(movie.toStdString());
        f().FlashMain->SetMovie(movie);
        f().mnuFileSaveAs->trigger();
    }
    EXPECT_TRUE(prompts.shown.empty());
}

// The copy goes to the chosen name with the swf filter and an empty default
// extension, replacing a file there; a projector's copy is its movie.
TEST_F(FileCommandsTest, SaveAsCopiesTheMovieFile)
{
    const QByteArray movie = MovingSquareSwf(4);
    f().OpenMovie(write(QStringLiteral("movie.swf"), movie));
    leaveSaveDialogSettings(f().SaveD);
    const QString target = write(QStringLiteral("copy.swf"), QByteArray(100000, 'o'));
    answerRecording(target);
    f().mnuFileSaveAs->trigger();
    EXPECT_EQ(readWhole(target), movie);
    EXPECT_EQ(asShown.filter, kSwfFilter);
    ASSERT_TRUE(asShown.defaultExt.has_value());
    EXPECT_TRUE(asShown.defaultExt->isEmpty());
    EXPECT_EQ(asShown.kind, FileDialog::Kind::Save);
    EXPECT_TRUE(asShown.overwritePrompt);

    const QByteArray carried = MovingSquareSwf(7);
    f().OpenMovie(write(QStringLiteral("game.exe"), Projector(carried)));
    prompts.answerFile(work(QStringLiteral("carried.swf")));
    f().mnuFileSaveAs->trigger();
    EXPECT_EQ(readWhole(work(QStringLiteral("carried.swf"))), carried);
    EXPECT_EQ(kindsShown(), (Kinds{kDialogOnly, kDialogOnly}));
}

// A copy that cannot be made is reported by the command's one message
// and leaves an existing file as it was; saving the movie onto itself
// keeps it whole.
TEST_F(FileCommandsTest, SaveAsReportsAFailedCopyAndNeverHarmsTheMovie)
{
    const QByteArray movie = MovingSquareSwf(4);
    const QString path = write(QStringLiteral("movie.swf"), movie);
    f().OpenMovie(path);

    prompts.answerFile(work(QStringLiteral("no/such/folder/copy.swf")));
    f().mnuFileSaveAs->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{kSaveAsFailed});
    EXPECT_FALSE(QFileInfo::exists(work(QStringLiteral("no/such/folder/copy.swf"))));

    // A folder in the way of the copy: the folder stays as it was.
    const QString folder = work(QStringLiteral("taken.swf"));
    ASSERT_TRUE(QDir().mkpath(folder + "/inside"));
    prompts.shown.clear();
    prompts.answerFile(folder);
    f().mnuFileSaveAs->trigger();
    EXPECT_EQ(prompts.messages(), QStringList{kSaveAsFailed});
    EXPECT_TRUE(QFileInfo(folder + "/inside").isDir());

    prompts.shown.clear();
    prompts.answerFile(path);
    f().mnuFileSaveAs->trigger();
    EXPECT_EQ(readWhole(path), movie);
    EXPECT_EQ(kindsShown(), Kinds{kDialogOnly});
}

// ---------------------------------------------------------------- the movie itself

// No command that writes a file writes over the movie that plays, whatever
// name leads to it: the movie's own path, a hard link or a symbolic link.
// Each is refused with the error box naming the file, and the movie stays
// byte for byte as it was.
TEST_F(SoundCommandTest, NoCommandWritesOverTheMoviePlaying)
{
    const QByteArray bytes = soundMovie();
    const QString movie = write(QStringLiteral("m.swf"), bytes);
    f().OpenMovie(movie);
    ASSERT_EQ(f().FlashMain->Movie(), movie);

    f().mnuCaptureShow->trigger(); // the region frame, for its capture command

    enum class Link { SamePath, Hard, Symbolic };
    struct Command {
        const char* name;
        QAction* action;
        QString target;       // the link the command is given, in the folder it writes to
        bool linkRefused;     // a link to the movie is refused with the error box
        bool samePathRefused; // so is the movie's own path (else nothing is written)
    };
    const Command commands[] = {
        // A ".swf" name chooses no picture format: nothing is written.
        {"frame capture", f().mnuCaptureSave, work(QStringLiteral("shot.jpg")), true, false},
        // Always a BMP, whatever the name.
        {"region capture", f().mnuCaptureCutRectImg, work(QStringLiteral("region.bmp")), true, true},
        {"sounds", f().mnuCaptureSound, out + QStringLiteral("/m_SOUND1.MP3"), true, false},
        // Save As has nothing to copy when the name leads to the movie.
        {"save as", f().mnuFileSaveAs, work(QStringLiteral("copy.swf")), false, false},
    };
    for (const Command& c : commands) {
        for (Link link : {Link::SamePath, Link::Hard, Link::Symbolic}) {
            SCOPED_TRACE(std::string(c.name) + " link kind " + std::to_string(int(link)));
            QFile::remove(c.target);
            if (link == Link::Hard) {
                ASSERT_EQ(::link(QFile::encodeName(movie).constData(), QFile::encodeName(c.target).constData()), 0);
            }
            if (link == Link::Symbolic) {
                ASSERT_TRUE(QFile::link(movie, c.target));
            }
            prompts.shown.clear();
            prompts.answerFile(link == Link::SamePath && c.action != f().mnuCaptureSound ? movie : c.target);
            c.action->trigger();
            EXPECT_EQ(readWhole(movie), bytes);
            if (link == Link::SamePath ? c.samePathRefused : c.linkRefused) {
                ASSERT_EQ(prompts.errors().size(), 1);
                EXPECT_TRUE(prompts.errors().front().contains(QStringLiteral("is the movie being read")))
                    << prompts.errors().front().toStdString();
            } else {
                EXPECT_TRUE(prompts.errors().isEmpty());
                EXPECT_TRUE(prompts.messages().isEmpty());
            }
        }
    }
}

} // namespace
