#include "extract/sounds.h"
#include "extract/swf_bytes.h"
#include "platform/errors.h"
#include "support/scripted_prompts.h"

#include <QFileInfo>
#include <map>

namespace plovex::test {
namespace {

using Files = std::map<QString, QByteArray>;

Files folderContents(const QString& folder)
{
    Files out;
    for (const QString& name : filesIn(folder))
        out[name] = readWhole(QDir(folder).filePath(name));
    return out;
}

// Names and sizes, for failure messages.
std::string describe(const Files& files)
{
    std::string out = "{";
    for (const auto& [name, bytes] : files)
        out += " " + name.toStdString() + ":" + std::to_string(bytes.size()) + "B";
    return out + " }";
}

// Sound data with recognisable contents.
QByteArray data(int n, quint32 seed) { return pseudoRandomBytes(n, seed); }

struct WalkCase {
    const char* what;
    const char* movieName;
    QByteArray tags;
    Files expected;
    bool complete;
};

WalkCase walkCase(const char* what, QByteArray tags, Files expected, const char* movieName = "intro.swf",
                  bool complete = true)
{
    return {what, movieName, std::move(tags), std::move(expected), complete};
}

std::vector<WalkCase> walkCases()
{
    const QByteArray a = data(300, 1), b = data(17, 2), c = data(1000, 3), d = data(5, 4), e = data(70, 5);
    std::vector<WalkCase> cases;

    cases.push_back(walkCase("no sound tags", otherTag(9, "\xff\xff\xff") + otherTag(1) + tag(2, data(200, 9)) + endTag(), {}));

    cases.push_back(walkCase(
        "event sounds named by id with the extension of their format",
        defineSound(12, 2, a) + otherTag() + defineSound(3, 0, b) + defineSound(40000, 1, c) + endTag(),
        {{"intro_SOUND12.MP3", eventFile(2, a)},
         {"intro_SOUND3.WAV", eventFile(0, b)},
         {"intro_SOUND40000.WAV", eventFile(1, c)}}));

    cases.push_back(walkCase(
        "event formats 3 and up keep the extension of the sound before",
        defineSound(1, 3, a) + defineSound(2, 2, b) + defineSound(3, 6, c) + defineSound(4, 1, d)
            + defineSound(5, 15, e) + endTag(),
        {{"intro_SOUND1.WAV", eventFile(3, a)},
         {"intro_SOUND2.MP3", eventFile(2, b)},
         {"intro_SOUND3.MP3", eventFile(6, c)},
         {"intro_SOUND4.WAV", eventFile(1, d)},
         {"intro_SOUND5.WAV", eventFile(15, e)}}));

    cases.push_back(walkCase(
        "an event sound with no data past its sample count",
        defineSound(7, 2, {}) + endTag(), {{"intro_SOUND7.MP3", eventFile(2, {})}}));

    cases.push_back(walkCase(
        "the same id twice keeps the later sound",
        defineSound(7, 2, a) + defineSound(7, 2, b) + endTag(), {{"intro_SOUND7.MP3", eventFile(2, b)}}));

    cases.push_back(walkCase(
        "two streams: the first written at the second head, the second at the end",
        streamHead(2) + streamBlock(a) + otherTag() + streamBlock(b) + otherTag() + streamHead(1)
            + streamBlock(c) + streamBlock(d) + endTag(),
        {{"intro_StreamSound1.MP3", a + b}, {"intro_StreamSound2.WAV", c + d}}));

    cases.push_back(walkCase(
        "SoundStreamHead2 starts a stream like SoundStreamHead",
        streamHead(0, 45) + streamBlock(a) + streamHead(2, 45) + streamBlock(b) + endTag(),
        {{"intro_StreamSound1.WAV", a}, {"intro_StreamSound2.MP3", b}}));

    cases.push_back(walkCase(
        "blocks before any head are stream 1 as WAV, the head's stream number 2",
        streamBlock(a) + streamBlock(b) + streamHead(2) + streamBlock(c) + endTag(),
        {{"intro_StreamSound1.WAV", a + b}, {"intro_StreamSound2.MP3", c}}));

    cases.push_back(walkCase(
        "blocks without any head are written at the end",
        streamBlock(a) + otherTag() + streamBlock(b) + endTag(), {{"intro_StreamSound1.WAV", a + b}}));

    cases.push_back(walkCase(
        "a head without blocks uses up no number",
        streamHead(2) + otherTag() + streamHead(1) + streamBlock(a) + streamHead(2) + endTag(),
        {{"intro_StreamSound1.WAV", a}}));

    cases.push_back(walkCase(
        "blocks of only their 4 leading bytes add nothing",
        streamHead(2) + streamBlock({}) + streamBlock({}) + streamHead(2) + streamBlock(b) + endTag(),
        {{"intro_StreamSound1.MP3", b}}));

    cases.push_back(walkCase(
        "stream compression 3 and up keeps the extension of the stream before",
        streamHead(4) + streamBlock(a) + streamHead(2) + streamBlock(b) + streamHead(3) + streamBlock(c)
            + streamHead(11) + streamBlock(d) + endTag(),
        {{"intro_StreamSound1.WAV", a},
         {"intro_StreamSound2.MP3", b},
         {"intro_StreamSound3.MP3", c},
         {"intro_StreamSound4.MP3", d}}));

    cases.push_back(walkCase(
        "event and stream extensions are independent",
        defineSound(1, 2, a) + streamHead(0) + streamBlock(b) + defineSound(2, 9, c) + endTag(),
        {{"intro_SOUND1.MP3", eventFile(2, a)},
         {"intro_SOUND2.MP3", eventFile(9, c)},
         {"intro_StreamSound1.WAV", b}}));

    cases.push_back(walkCase(
        "sounds inside a sprite are skipped with it",
        tag(39, le16Bytes(5) + le16Bytes(1) + defineSound(8, 2, a) + streamHead(2) + streamBlock(b) + endTag())
            + defineSound(9, 2, c) + endTag(),
        {{"intro_SOUND9.MP3", eventFile(2, c)}}));

    cases.push_back(walkCase(
        "long-form headers for short bodies",
        tag(14, defineSoundBody(2, 2, d), true) + tag(18, QByteArray("\x0e\x2e\x80\x04\0\0", 6), true)
            + tag(19, QByteArray(4, '\0') + e, true) + tag(1, {}, true) + endTag(),
        {{"intro_SOUND2.MP3", eventFile(2, d)}, {"intro_StreamSound1.MP3", e}}));

    cases.push_back(walkCase(
        "tags after the End tag are not read",
        defineSound(1, 2, a) + endTag() + defineSound(2, 2, b) + streamBlock(c),
        {{"intro_SOUND1.MP3", eventFile(2, a)}}));

    cases.push_back(walkCase(
        "base name cut at the first dot", defineSound(1, 2, a) + streamBlock(b) + endTag(),
        {{"intro_SOUND1.MP3", eventFile(2, a)}, {"intro_StreamSound1.WAV", b}}, "intro.old.swf"));

    cases.push_back(walkCase(
        "a name starting with a dot gives an empty base", defineSound(1, 2, a) + streamBlock(b) + endTag(),
        {{"_SOUND1.MP3", eventFile(2, a)}, {"_StreamSound1.WAV", b}}, ".hidden.swf"));

    cases.push_back(walkCase(
        "a name without extension is the base", defineSound(1, 0, a) + endTag(),
        {{"movie_SOUND1.WAV", eventFile(0, a)}}, "movie"));

    // Damaged tails: the walk ends at the last whole tag, the stream being
    // collected is still written, and nothing past the data is read.
    cases.push_back(walkCase(
        "no End tag", defineSound(1, 2, a) + streamHead(2) + streamBlock(b),
        {{"intro_SOUND1.MP3", eventFile(2, a)}, {"intro_StreamSound1.MP3", b}}, "intro.swf", false));

    cases.push_back(walkCase(
        "data ends inside a tag header", streamBlock(b) + QByteArray(1, '\x3f'),
        {{"intro_StreamSound1.WAV", b}}, "intro.swf", false));

    cases.push_back(walkCase(
        "data ends inside a long length", streamBlock(b) + QByteArray("\x3f\x03\x10\x00", 4),
        {{"intro_StreamSound1.WAV", b}}, "intro.swf", false));

    cases.push_back(walkCase(
        "an event sound running past the end is not written",
        defineSound(1, 2, a) + streamBlock(b) + defineSound(2, 2, c).chopped(1),
        {{"intro_SOUND1.MP3", eventFile(2, a)}, {"intro_StreamSound1.WAV", b}}, "intro.swf", false));

    cases.push_back(walkCase(
        "a stream block running past the end is left out",
        streamHead(2) + streamBlock(a) + streamBlock(c).chopped(10), {{"intro_StreamSound1.MP3", a}},
        "intro.swf", false));

    cases.push_back(walkCase(
        "a first stream block running past the end leaves no stream",
        streamHead(2) + streamBlock(c).chopped(1), {}, "intro.swf", false));

    cases.push_back(walkCase(
        "a length far past the end stops the walk",
        streamBlock(a) + le16Bytes(quint16((14 << 6) | 0x3F)) + le32Bytes(0xFFFFFFFF) + defineSoundBody(3, 2, b)
            + endTag(),
        {{"intro_StreamSound1.WAV", a}}, "intro.swf", false));

    cases.push_back(walkCase(
        "an event sound shorter than its fixed fields stops the walk",
        defineSound(1, 2, a) + tag(14, le16Bytes(2) + "\x2e\x01\x02\x03") + defineSound(3, 2, b) + endTag(),
        {{"intro_SOUND1.MP3", eventFile(2, a)}}, "intro.swf", false));

    cases.push_back(walkCase(
        "a stream block shorter than its 4 leading bytes stops the walk",
        streamHead(2) + streamBlock(a) + tag(19, "\x01\x02\x03") + streamBlock(b) + endTag(),
        {{"intro_StreamSound1.MP3", a}}, "intro.swf", false));

    cases.push_back(walkCase(
        "a stream head shorter than its fixed fields stops the walk",
        streamBlock(a) + tag(18, "\x0e\x2e") + streamBlock(b) + endTag(), {{"intro_StreamSound1.WAV", a}},
        "intro.swf", false));

    cases.push_back(walkCase("data ends inside the header", {}, {}, "intro.swf", false));

    return cases;
}

void PrintTo(const WalkCase& c, std::ostream* os)
{
    *os << c.what;
}

class SoundsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QTemporaryDir out;
    ScriptedPrompts prompts;

    QString moviePath(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    SoundExtractionResult extract(const char* name, const QByteArray& bytes, const SoundExtractionOptions& options = {})
    {
        writeWhole(moviePath(name), bytes);
        return ExtractSwfSounds(moviePath(name), out.path(), options);
    }

    QString errorOf(const QString& movie, const QString& folder)
    {
        try {
            ExtractSwfSounds(movie, folder);
        } catch (const PlovexError& e) {
            return e.text();
        }
        ADD_FAILURE() << "no error raised";
        return {};
    }
};

class SoundWalkTest : public SoundsTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(SoundWalkTest, WritesExactlyTheExpectedFiles)
{
    const WalkCase& c = GetParam();
    QByteArray movie = swf(c.tags);
    if (c.tags.isEmpty())
        movie.truncate(10); // inside the frame rectangle
    const SoundExtractionResult result = extract(c.movieName, movie);
    EXPECT_FALSE(result.refused);
    EXPECT_EQ(result.complete, c.complete);
    const Files got = folderContents(out.path());
    EXPECT_TRUE(got == c.expected) << c.what << "\n got " << describe(got) << "\n expected " << describe(c.expected);
    QStringList distinct = result.written; // a file written twice is listed twice
    distinct.removeDuplicates();
    EXPECT_EQ(qsizetype(distinct.size()), qsizetype(c.expected.size()));
    for (const QString& path : result.written)
        EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(out.path()).absoluteFilePath());
    EXPECT_TRUE(prompts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Movies, SoundWalkTest, ::testing::ValuesIn(walkCases()),
                         [](const ::testing::TestParamInfo<WalkCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

TEST_F(SoundsTest, ResultListsFilesInTheOrderTheyWereFinished)
{
    const QByteArray tags = streamBlock("s1") + defineSound(4, 2, "e1") + streamHead(2) + defineSound(5, 0, "e2")
        + streamBlock("s2") + endTag();
    const auto result = extract("m.swf", swf(tags));
    QStringList names;
    for (const QString& p : result.written)
        names << QFileInfo(p).fileName();
    EXPECT_EQ(names, (QStringList{"m_SOUND4.MP3", "m_StreamSound1.WAV", "m_SOUND5.WAV", "m_StreamSound2.MP3"}));
}

TEST_F(SoundsTest, FrameRectangleSizeFollowsNbits)
{
    const QByteArray tags = defineSound(1, 2, "sound") + endTag();
    for (const int nbits : {0, 1, 2, 7, 15, 16, 31}) {
        const auto result = extract("r.swf", swf(tags, 6, nbits));
        EXPECT_TRUE(result.complete) << nbits;
        EXPECT_EQ(folderContents(out.path()), (Files{{"r_SOUND1.MP3", eventFile(2, "sound")}})) << nbits;
        QFile::remove(out.filePath("r_SOUND1.MP3"));
    }
}

TEST_F(SoundsTest, VersionFiveAndAboveAreAccepted)
{
    const QByteArray tags = defineSound(1, 2, "sound") + endTag();
    for (const int version : {5, 6, 10, 43, 255}) {
        const auto result = extract("v.swf", swf(tags, version));
        EXPECT_FALSE(result.refused) << version;
        EXPECT_TRUE(QFileInfo::exists(out.filePath("v_SOUND1.MP3"))) << version;
        QFile::remove(out.filePath("v_SOUND1.MP3"));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SoundsTest, OlderVersionsAreRefusedWithTheirMessage)
{
    for (const int version : {0, 1, 4}) {
        prompts.shown.clear();
        const auto result = extract("old.swf", swf(defineSound(1, 2, "sound") + streamBlock("x") + endTag(), version));
        EXPECT_TRUE(result.refused);
        EXPECT_EQ(prompts.messages(), QStringList{kSwfTooOldMessage});
        EXPECT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(filesIn(out.path()).isEmpty());
    }
}

TEST_F(SoundsTest, NonSwfFilesAreRefusedWithTheirMessage)
{
    const QByteArray movie = swf(defineSound(1, 2, "sound") + endTag());
    const QByteArray files[] = {
        compressZlib(movie),                       // compressed movies need the option
        compressLzma(movie, true),
        "MZ" + pseudoRandomBytes(500, 3),          // an executable
        QByteArray(),                              // empty
        "FW",                                      // too short for the signature
        "FWS",                                     // signature without version
        "fws" + movie.mid(3),                      // case matters
    };
    for (const QByteArray& bytes : files) {
        prompts.shown.clear();
        const auto result = extract("x.swf", bytes);
        EXPECT_TRUE(result.refused) << bytes.left(3).toStdString();
        EXPECT_EQ(prompts.messages(), QStringList{kNotSwfMessage});
        EXPECT_EQ(prompts.shown.size(), 1u);
        EXPECT_TRUE(filesIn(out.path()).isEmpty());
    }
}

TEST_F(SoundsTest, RunningTwiceReplacesTheFiles)
{
    writeWhole(out.filePath("t_SOUND1.MP3"), pseudoRandomBytes(5000, 8));
    writeWhole(out.filePath("t_StreamSound1.MP3"), pseudoRandomBytes(5000, 9));
    const QByteArray movie = swf(defineSound(1, 2, "abc") + streamHead(2) + streamBlock("def") + endTag());
    const Files expected{{"t_SOUND1.MP3", eventFile(2, "abc")}, {"t_StreamSound1.MP3", "def"}};
    extract("t.swf", movie);
    EXPECT_EQ(folderContents(out.path()), expected);
    extract("t.swf", movie);
    EXPECT_EQ(folderContents(out.path()), expected);
}

TEST_F(SoundsTest, LargeSoundsAreCopiedWhole)
{
    // Larger than the read and write buffers, in one tag and in many blocks.
    const QByteArray big = pseudoRandomBytes(3 << 20, 21);
    QByteArray tags = defineSound(1, 2, big) + streamHead(2);
    QByteArray stream;
    for (int i = 0; i < 800; ++i) {
        const QByteArray block = pseudoRandomBytes(417 + i * 3, quint32(100 + i));
        tags += streamBlock(block);
        stream += block;
    }
    const auto result = extract("big.swf", swf(tags + endTag()));
    EXPECT_TRUE(result.complete);
    const Files files = folderContents(out.path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files.at("big_SOUND1.MP3") == eventFile(2, big));
    EXPECT_TRUE(files.at("big_StreamSound1.MP3") == stream);
}

TEST_F(SoundsTest, ProgressReachesTheEndOfTheFile)
{
    const QByteArray movie = swf(defineSound(1, 2, pseudoRandomBytes(1 << 20, 3)) + endTag());
    std::uint64_t last = 0, total = 0;
    SoundExtractionOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t all) {
        EXPECT_GE(done, last);
        last = done;
        total = all;
    };
    extract("p.swf", movie, options);
    EXPECT_EQ(total, std::uint64_t(movie.size()));
    EXPECT_EQ(last, std::uint64_t(movie.size()));
}

TEST_F(SoundsTest, UnreadableMovieIsAnErrorNamingIt)
{
    const QString missing = moviePath("gone.swf");
    QString text = errorOf(missing, out.path());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot open file \"%1\"").arg(missing))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("No such file or directory")));

    text = errorOf(dir.path(), out.path());
    EXPECT_TRUE(text.contains(QStringLiteral("Is a directory"))) << text.toStdString();

    EXPECT_TRUE(errorOf(QString(), out.path()).startsWith(QStringLiteral("Cannot open file")));
    EXPECT_TRUE(errorOf(QStringLiteral("http://example.com/a.swf"), out.path()).startsWith(QStringLiteral("Cannot open file")));
    EXPECT_TRUE(filesIn(out.path()).isEmpty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SoundsTest, UnwritableOutputEndsTheWalkKeepingEarlierFiles)
{
    writeWhole(moviePath("w.swf"),
               swf(defineSound(1, 2, "one") + streamBlock("pending") + defineSound(2, 2, "two") + defineSound(3, 2, "three") + endTag()));
    // A folder in the way of the second sound's file.
    ASSERT_TRUE(QDir(out.path()).mkdir("w_SOUND2.MP3"));
    const QString text = errorOf(moviePath("w.swf"), out.path());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot create file \"%1\"").arg(out.filePath("w_SOUND2.MP3"))))
        << text.toStdString();
    // The first sound stays; the stream never finished and the walk ended.
    EXPECT_EQ(folderContents(out.path()), (Files{{"w_SOUND1.MP3", eventFile(2, "one")}}));

    const QString noFolder = out.filePath("missing/folder");
    EXPECT_TRUE(errorOf(moviePath("w.swf"), noFolder).startsWith(QStringLiteral("Cannot create file \"%1/w_SOUND1.MP3\"").arg(noFolder)));
}

// Compressed movies with the option give the same files as the plain movie.
class CompressedTest : public SoundsTest, public ::testing::WithParamInterface<int> {
protected:
    QByteArray pack(const QByteArray& movie) const
    {
        switch (GetParam()) {
        case 0: return compressZlib(movie);
        case 1: return compressLzma(movie, true);
        default: return compressLzma(movie, false);
        }
    }
};

TEST_P(CompressedTest, SameFilesAsThePlainMovie)
{
    QByteArray tags = defineSound(3, 2, pseudoRandomBytes(400000, 1)) + streamHead(2);
    QByteArray stream;
    for (int i = 0; i < 300; ++i) {
        const QByteArray block = pseudoRandomBytes(1000 + i, quint32(i + 7));
        tags += streamBlock(block);
        stream += block;
    }
    tags += streamHead(0) + streamBlock("last") + endTag();
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    const auto result = extract("c.swf", pack(swf(tags)), options);
    EXPECT_TRUE(result.complete);
    const Files files = folderContents(out.path());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files.at("c_SOUND3.MP3") == eventFile(2, pseudoRandomBytes(400000, 1)));
    EXPECT_TRUE(files.at("c_StreamSound1.MP3") == stream);
    EXPECT_EQ(files.at("c_StreamSound2.WAV"), QByteArray("last"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_P(CompressedTest, DamagedDataKeepsWholeTagsOnly)
{
    // Cut the compressed data in the middle of the second stream, far past
    // the write buffer, so that a partly written block is cut back.
    QByteArray tags = defineSound(1, 0, "event") + streamHead(2);
    QByteArray stream;
    for (int i = 0; i < 400; ++i) {
        const QByteArray block = pseudoRandomBytes(2000, quint32(i + 1));
        tags += streamBlock(block);
        stream += block;
    }
    tags += endTag();
    const QByteArray packed = pack(swf(tags));
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    const auto result = extract("d.swf", packed.left(packed.size() * 3 / 4), options);
    EXPECT_FALSE(result.complete);
    const Files files = folderContents(out.path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("d_SOUND1.WAV"), eventFile(0, "event"));
    const QByteArray got = files.at("d_StreamSound1.MP3");
    EXPECT_GT(got.size(), 200000);
    EXPECT_LT(got.size(), stream.size());
    EXPECT_EQ(got.size() % 2000, 0);
    EXPECT_TRUE(got == stream.left(got.size()));

    // Garbage in place of compressed data ends the movie before any tag.
    QByteArray garbage = packed;
    for (qsizetype i = 20; i < garbage.size(); ++i)
        garbage[i] = char(garbage[i] ^ 0x5A);
    for (const QString& f : filesIn(out.path()))
        QFile::remove(out.filePath(f));
    const auto damaged = extract("g.swf", garbage, options);
    EXPECT_FALSE(damaged.complete);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_P(CompressedTest, LargeBlockCutShortIsTakenBackFromTheFile)
{
    // The cut block is far larger than the write buffer, so part of it has
    // reached the file before the data ends.
    const QByteArray first = pseudoRandomBytes(1000, 1), huge = pseudoRandomBytes(1 << 20, 2);
    const QByteArray movie = swf(streamHead(2) + streamBlock(first) + streamBlock(huge) + endTag());
    const QByteArray packed = pack(movie);
    // Compressed random data is about as long as the data: cut near its end.
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    const auto result = extract("b.swf", packed.left(packed.size() - 50000), options);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(folderContents(out.path()), (Files{{"b_StreamSound1.MP3", first}}));
}

std::string kindName(const ::testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"zlib", "lzma_end_marker", "lzma_no_end_marker"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Kinds, CompressedTest, ::testing::Values(0, 1, 2), kindName);

} // namespace
} // namespace plovex::test
