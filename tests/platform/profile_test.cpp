#include "platform/codepage936.h"
#include "platform/errors.h"
#include "platform/profile.h"
#include "platform/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

using plovex::ProfileFile;

namespace {

// Code page 936 bytes of the names the program uses, spelled out so the
// tests do not depend on the converter they check.
const QByteArray kListCount = QByteArray::fromHex("c1d0b1edcafdc4bf"); // 列表数目
const QByteArray kCount = QByteArray::fromHex("cafdc4bf"); // 数目
const QByteArray kPlaylist = QByteArray::fromHex("b2a5b7c5c1d0b1ed"); // 播放列表
const QString kListCountText = QStringLiteral("列表数目");
const QString kCountText = QStringLiteral("数目");
const QString kPlaylistText = QStringLiteral("播放列表");

class ProfileTest : public ::testing::Test {
protected:
    void TearDown() override { plovex::SetWriteLimitForTesting(-1); }

    QString path(const QString& name = QStringLiteral("FileList.ini")) const { return dir.filePath(name); }

    QByteArray bytes(const QString& name = QStringLiteral("FileList.ini")) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path(name).toStdString();
        return f.readAll();
    }

    void put(const QByteArray& content, const QString& name = QStringLiteral("FileList.ini")) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(content), content.size());
    }

    QStringList folderEntries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

TEST_F(ProfileTest, MissingFileReadsDefaultsAndIsNotCreated)
{
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadInteger(kListCountText, kCountText, 0), 0);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("文件夹"), QStringLiteral("显示"), 7), 7);
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("1"), QString()), QString());
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("1"), QStringLiteral("dflt")), QStringLiteral("dflt"));
    EXPECT_FALSE(QFileInfo::exists(path()));
}

TEST_F(ProfileTest, FirstWriteCreatesCodePage936FileWithCrLf)
{
    ProfileFile ini(path());
    ini.WriteInteger(kListCountText, kCountText, 3);
    EXPECT_EQ(bytes(), "[" + kListCount + "]\r\n" + kCount + "=3\r\n");

    ini.WriteString(kPlaylistText, QStringLiteral("1"), QStringLiteral("/home/用户/电影.swf"));
    ini.WriteInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), -1);
    EXPECT_EQ(bytes(),
        "[" + kListCount + "]\r\n" + kCount + "=3\r\n"
        + "[" + kPlaylist + "]\r\n1=/home/" + QByteArray::fromHex("d3c3bba7") + "/"
        + QByteArray::fromHex("b5e7d3b0") + ".swf\r\n"
        + "[" + QByteArray::fromHex("b5b1c7b0c1d0b1edcfeec4bf") + "]\r\n"
        + QByteArray::fromHex("d1a1d6d0") + "=-1\r\n");

    EXPECT_EQ(ini.ReadInteger(kListCountText, kCountText, 0), 3);
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("1"), QString()), QStringLiteral("/home/用户/电影.swf"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), 0), -1);
}

TEST_F(ProfileTest, IntegerValues)
{
    struct Case {
        const char* stored;
        int expected; // with default 42
    };
    const Case cases[] = {
        {"3", 3},
        {"0x3", 3},
        {"0X1f", 31},
        {"-1", -1},
        {" 7 ", 7},
        {"+5", 5},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"0xFFFFFFFF", -1},
        {"abc", 42},
        {"12abc", 42},
        {"", 42},
        {"0x", 42},
        {"-", 42},
        {"1.5", 42},
        {"0x1g", 42},
        {"2147483648", 42},
        {"0x100000000", 42},
        {"99999999999999999999", 42},
    };
    for (const Case& c : cases) {
        put("[" + kListCount + "]\r\n" + kCount + "=" + c.stored + "\r\n");
        EXPECT_EQ(ProfileFile(path()).ReadInteger(kListCountText, kCountText, 42), c.expected) << c.stored;
    }
}

TEST_F(ProfileTest, CountAboveTheKeysPresentReadsMissingKeysAsDefault)
{
    // A hand-edited file: the count says four, only two entries exist.
    put("[" + kListCount + "]\r\n" + kCount + "=4\r\n[" + kPlaylist + "]\r\n1=/a.swf\r\n2=/b.swf\r\n");
    ProfileFile ini(path());
    const int count = ini.ReadInteger(kListCountText, kCountText, 0);
    ASSERT_EQ(count, 4);
    QStringList entries;
    for (int n = 1; n <= count; ++n)
        entries << ini.ReadString(kPlaylistText, QString::number(n), QString());
    EXPECT_EQ(entries, (QStringList{"/a.swf", "/b.swf", "", ""}));
}

TEST_F(ProfileTest, ShorterListLeavesKeysBeyondTheCount)
{
    ProfileFile ini(path());
    for (int n = 1; n <= 5; ++n)
        ini.WriteString(kPlaylistText, QString::number(n), QStringLiteral("/old%1.swf").arg(n));
    ini.WriteInteger(kListCountText, kCountText, 5);

    ini.WriteString(kPlaylistText, QStringLiteral("1"), QStringLiteral("/new1.swf"));
    ini.WriteString(kPlaylistText, QStringLiteral("2"), QStringLiteral("/new2.swf"));
    ini.WriteInteger(kListCountText, kCountText, 2);

    EXPECT_EQ(bytes(),
        "[" + kPlaylist + "]\r\n1=/new1.swf\r\n2=/new2.swf\r\n3=/old3.swf\r\n4=/old4.swf\r\n5=/old5.swf\r\n"
        + "[" + kListCount + "]\r\n" + kCount + "=2\r\n");
    EXPECT_EQ(ini.ReadInteger(kListCountText, kCountText, 0), 2);
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("5"), QString()), QStringLiteral("/old5.swf"));
}

TEST_F(ProfileTest, NamesIgnoreCaseAndSurroundingBlanks)
{
    put("[  Folder\t]\r\n  Show  =1\r\nother=x\r\n");
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("folder"), QStringLiteral("SHOW"), 0), 1);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral(" FOLDER "), QStringLiteral(" show"), 0), 1);
    EXPECT_EQ(ini.ReadString(QStringLiteral("folder"), QStringLiteral("Other"), QString()), QStringLiteral("x"));

    ini.WriteInteger(QStringLiteral("FOLDER"), QStringLiteral("show"), 0);
    EXPECT_EQ(bytes(), "[  Folder\t]\r\nshow=0\r\nother=x\r\n");
}

TEST_F(ProfileTest, WritesPlaceKeysInTheirSectionAndKeepEverythingElse)
{
    // LF-only lines, a comment, lines before any section, a line without
    // '=', blank lines between sections and bytes that are no valid text.
    put("; note\n"
        "loose=1\n"
        "[a]\n"
        "k1=v1\n"
        "junk line \xff\xfe\n"
        "\n"
        "[b]\r\n"
        "k=v\r\n");
    ProfileFile ini(path());
    ini.WriteString(QStringLiteral("a"), QStringLiteral("k2"), QStringLiteral("v2"));
    ini.WriteString(QStringLiteral("b"), QStringLiteral("k"), QStringLiteral("changed"));
    ini.WriteString(QStringLiteral("c"), QStringLiteral("new"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("a"), QStringLiteral("k1"), QStringLiteral("w1"));
    EXPECT_EQ(bytes(),
        "; note\r\n"
        "loose=1\r\n"
        "[a]\r\n"
        "k1=w1\r\n"
        "junk line \xff\xfe\r\n"
        "k2=v2\r\n"
        "\r\n"
        "[b]\r\n"
        "k=changed\r\n"
        "[c]\r\n"
        "new=1\r\n");
    // A key outside any section belongs to none.
    EXPECT_EQ(ini.ReadString(QString(), QStringLiteral("loose"), QStringLiteral("none")), QStringLiteral("none"));
}

TEST_F(ProfileTest, CaseFoldingNeverJoinsDifferentDoubleByteCharacters)
{
    // 丄 is 81 41 and 乤 is 81 61: their second bytes look like the ASCII
    // letters 'A' and 'a'.
    put("[s]\r\n" + QByteArray::fromHex("8141") + "=first\r\n");
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("丄"), QString()), QStringLiteral("first"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("乤"), QStringLiteral("none")), QStringLiteral("none"));
    // Letters outside ASCII still match in the other case.
    put("[s]\r\n" + QByteArray::fromHex("a3c1") + "=wide\r\n" + QByteArray::fromHex("a6a1") + "=greek\r\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("ａ"), QString()), QStringLiteral("wide"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("α"), QString()), QStringLiteral("greek"));
}

TEST_F(ProfileTest, FirstOfDuplicateSectionsAndKeysCounts)
{
    put("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n");
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), 0), 1);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("j"), 0), 0);
    ini.WriteInteger(QStringLiteral("s"), QStringLiteral("k"), 9);
    ini.WriteInteger(QStringLiteral("s"), QStringLiteral("j"), 8);
    EXPECT_EQ(bytes(), "[s]\r\nk=9\r\nk=2\r\nj=8\r\n[S]\r\nk=3\r\nj=4\r\n");
}

TEST_F(ProfileTest, ValueIsTheRestOfTheLineCutAt2047Bytes)
{
    const QByteArray exact(2047, 'a');
    const QByteArray longer(3000, 'b');
    // A double-byte character whose second byte falls past the limit.
    const QByteArray split = QByteArray(2046, 'c') + QByteArray::fromHex("d6d0cec4"); // 中文
    put("[s]\r\neq=a=b\r\nlead= x \r\nexact=" + exact + "\r\nlong=" + longer + "\r\nsplit=" + split + "\r\n");
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("eq"), QString()), QStringLiteral("a=b"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("lead"), QString()), QStringLiteral(" x "));
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("exact"), QString()).toLatin1(), exact);
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("long"), QString()).toLatin1(), longer.left(2047));
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("split"), QString()), QString(2046, u'c'));

    // A long value is written whole; only reading cuts it.
    ini.WriteString(QStringLiteral("s"), QStringLiteral("w"), QString(3000, u'w'));
    EXPECT_TRUE(bytes().contains("w=" + QByteArray(3000, 'w') + "\r\n"));
}

TEST_F(ProfileTest, LineEndsInsideTextCannotAddEntries)
{
    ProfileFile ini(path());
    ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("/x\r\n[s]\nk=evil"));
    EXPECT_EQ(bytes(), "[s]\r\nk=/x  [s] k=evil\r\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("k"), QString()), QStringLiteral("/x  [s] k=evil"));
}

TEST_F(ProfileTest, TextOutsideCodePage936SurvivesAsGb18030)
{
    ProfileFile ini(path());
    const QString value = QStringLiteral("/전자/€/😀/中.swf");
    ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), value);
    EXPECT_EQ(bytes(),
        "[s]\r\nk=/" + QByteArray::fromHex("8333a83783339d31") // Hangul, as GB18030
            + "/\x80/" // the euro sign has its code page 936 byte
            + QByteArray::fromHex("9439fc36") + "/" // an emoji, as GB18030
            + QByteArray::fromHex("d6d0") + ".swf\r\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("s"), QStringLiteral("k"), QString()), value);
}

TEST_F(ProfileTest, InvalidBytesReadAsReplacementCharacters)
{
    put("[s]\r\nk=a\xff" "b\r\n");
    EXPECT_EQ(ProfileFile(path()).ReadString(QStringLiteral("s"), QStringLiteral("k"), QString()),
        QStringLiteral("a\uFFFDb"));
}

TEST_F(ProfileTest, EveryOperationGoesToTheDisk)
{
    ProfileFile first(path());
    ProfileFile second(path());
    first.WriteInteger(QStringLiteral("s"), QStringLiteral("k"), 1);
    EXPECT_EQ(second.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), 0), 1);
    put("[s]\r\nk=2\r\n"); // another program edits the file
    EXPECT_EQ(first.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), 0), 2);
    second.WriteInteger(QStringLiteral("s"), QStringLiteral("j"), 3);
    EXPECT_EQ(bytes(), "[s]\r\nk=2\r\nj=3\r\n");
    QFile::remove(path());
    EXPECT_EQ(first.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), 0), 0);
}

TEST_F(ProfileTest, UnwritableFolderRaisesUnableToWrite)
{
    // Tests may run as root, where permission bits do not stop a write; a
    // "folder" that is a regular file stops everybody.
    put("not a folder", QStringLiteral("plain"));
    const QString file = path(QStringLiteral("plain")) + QStringLiteral("/FileList.ini");
    ProfileFile ini(file);
    try {
        ini.WriteInteger(kListCountText, kCountText, 1);
        FAIL() << "no error raised";
    } catch (const plovex::PlovexError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Unable to write to ") + file);
    }
    EXPECT_EQ(bytes(QStringLiteral("plain")), "not a folder");
    EXPECT_EQ(ini.ReadInteger(kListCountText, kCountText, 5), 5);
}

TEST_F(ProfileTest, ErrorNamesTheFullPath)
{
    // A relative path is reported as the full path it stands for.
    put("x", QStringLiteral("plain"));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    try {
        ProfileFile(QStringLiteral("plain/FileList.ini")).WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
        ADD_FAILURE() << "no error raised";
    } catch (const plovex::PlovexError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Unable to write to ") + QFileInfo(path(QStringLiteral("plain"))).absoluteFilePath()
                + QStringLiteral("/FileList.ini"));
    }
    QDir::setCurrent(saved);
}

TEST_F(ProfileTest, InterruptedWriteLeavesTheOldFileWhole)
{
    ProfileFile ini(path());
    for (int n = 1; n <= 20; ++n)
        ini.WriteString(kPlaylistText, QString::number(n), QStringLiteral("/movies/clip%1.swf").arg(n));
    const QByteArray before = bytes();

    // The disk fills up after part of the new file has been written.
    plovex::SetWriteLimitForTesting(before.size() / 2);
    EXPECT_THROW(ini.WriteString(kPlaylistText, QStringLiteral("3"), QStringLiteral("/elsewhere.swf")),
        plovex::PlovexError);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("FileList.ini")}); // no partial file left

    plovex::SetWriteLimitForTesting(-1);
    ini.WriteString(kPlaylistText, QStringLiteral("3"), QStringLiteral("/elsewhere.swf"));
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("3"), QString()), QStringLiteral("/elsewhere.swf"));
    EXPECT_EQ(ini.ReadString(kPlaylistText, QStringLiteral("20"), QString()), QStringLiteral("/movies/clip20.swf"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("FileList.ini")});
}

TEST_F(ProfileTest, WritingTheSameValueLeavesTheFileAlone)
{
    ProfileFile ini(path());
    ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
    const QByteArray before = bytes();
    // A full disk cannot hurt a write that has nothing to change...
    plovex::SetWriteLimitForTesting(0);
    EXPECT_NO_THROW(ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(bytes(), before);
    // ...but every real change is written.
    EXPECT_THROW(ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("w")), plovex::PlovexError);
    EXPECT_THROW(ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")), plovex::PlovexError);
    plovex::SetWriteLimitForTesting(-1);
    // A file with bare LF line ends is rewritten with CR LF.
    put("[s]\nk=v\n");
    ini.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_EQ(bytes(), "[s]\r\nk=v\r\n");
}

TEST_F(ProfileTest, UnreadableFileIsNeitherReadNorReplaced)
{
    // Something that cannot be read as a file stands at the path.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("FileList.ini")));
    ProfileFile ini(path());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), 6), 6);
    EXPECT_THROW(ini.WriteInteger(QStringLiteral("s"), QStringLiteral("k"), 1), plovex::PlovexError);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST(SafeFileTest, ReplacingKeepsLinksAndPermissions)
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.ini"));
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    {
        QFile f(real);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, link));

    EXPECT_EQ(plovex::ReplaceFileContents(link, "new"), QString());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    QFile f(real);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "new");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SafeFileTest, LongNamesAndDevices)
{
    QTemporaryDir dir;
    // A name of 250 bytes leaves no room for a longer temporary name.
    const QString longName = dir.filePath(QString(250, u'n'));
    EXPECT_EQ(plovex::ReplaceFileContents(longName, "long"), QString());
    QFile f(longName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "long");
    // A device is written to, not replaced.
    EXPECT_EQ(plovex::ReplaceFileContents(QStringLiteral("/dev/null"), "nothing"), QString());
    struct stat st;
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(CodePage936Test, RoundTripsAndEdgeBytes)
{
    struct Case {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QStringLiteral("abc"), "abc"},
        {QStringLiteral("列表数目"), kListCount},
        {QStringLiteral("€"), "\x80"},
        {QStringLiteral("한"), QByteArray::fromHex("83368433")},
        {QString(), QByteArray()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plovex::ToCodePage936(c.text), c.bytes) << c.text.toStdString();
        EXPECT_EQ(plovex::FromCodePage936(c.bytes), c.text) << c.text.toStdString();
    }
    // A lead byte at the end: replaced, or dropped when the text was cut.
    EXPECT_EQ(plovex::FromCodePage936("a\xd6"), QStringLiteral("a\uFFFD"));
    EXPECT_EQ(plovex::FromCodePage936("a\xd6", true), QStringLiteral("a"));
    EXPECT_EQ(plovex::FromCodePage936("a\x83\x36", true), QStringLiteral("a"));
}

} // namespace

namespace {

using plovex::ProfileDocument;

// Read once and written once: the reads see the file as it was, the
// writes reach the disk only at Save, and the result is what the same
// writes one at a time through ProfileFile give.
TEST_F(ProfileTest, DocumentSavesWhatSingleWritesWouldHave)
{
    const QByteArray start = "; note\r\n[" + kPlaylist + "]\r\n1=a\r\n 2 =b\r\n\r\n[other]\r\nx=1\r\n";
    put(start);
    ProfileDocument doc(path());
    EXPECT_EQ(doc.ReadString(kPlaylistText, QStringLiteral("2"), QString()), QStringLiteral("b"));
    doc.WriteString(kPlaylistText, QStringLiteral("2"), QStringLiteral("B"));
    doc.WriteString(kPlaylistText, QStringLiteral("3"), QStringLiteral("c"));
    doc.WriteInteger(kListCountText, kCountText, 3);
    EXPECT_EQ(doc.ReadString(kPlaylistText, QStringLiteral("3"), QString()), QStringLiteral("c"));
    EXPECT_EQ(bytes(), start); // nothing on the disk yet
    doc.Save();
    const QByteArray together = bytes();

    put(start);
    const ProfileFile ini(path());
    ini.WriteString(kPlaylistText, QStringLiteral("2"), QStringLiteral("B"));
    ini.WriteString(kPlaylistText, QStringLiteral("3"), QStringLiteral("c"));
    ini.WriteInteger(kListCountText, kCountText, 3);
    EXPECT_EQ(bytes(), together);
    EXPECT_EQ(together, "; note\r\n[" + kPlaylist + "]\r\n1=a\r\n2=B\r\n3=c\r\n\r\n[other]\r\nx=1\r\n[" + kListCount
                            + "]\r\n" + kCount + "=3\r\n");
}

// Values that are not valid code page 936, or that were cut at the limit,
// read as text that does not give their bytes back; written back as read,
// under their own key or another, they keep their bytes.
TEST_F(ProfileTest, DocumentKeepsTheBytesOfValuesWrittenBackAsRead)
{
    const QByteArray longValue = QByteArray(2100, 'L');
    const QByteArray values[] = {"ok", "bad\x80\xff", "half\xb5", longValue, "\xff", "last"};
    QByteArray start = "[" + kPlaylist + "]\r\n";
    for (int i = 0; i < 6; ++i)
        start += QByteArray::number(i + 1) + '=' + values[i] + "\r\n";
    put(start);

    QStringList read;
    {
        const ProfileDocument doc(path());
        for (int i = 0; i < 6; ++i)
            read << doc.ReadString(kPlaylistText, QString::number(i + 1), QString());
    }
    EXPECT_TRUE(read[1].contains(QChar::ReplacementCharacter));
    EXPECT_EQ(read[3].size(), 2047);

    // Unchanged: the file stays as it was.
    {
        ProfileDocument doc(path());
        for (int i = 0; i < 6; ++i)
            doc.WriteString(kPlaylistText, QString::number(i + 1), read[i]);
        doc.Save();
        EXPECT_EQ(bytes(), start);
    }
    // In reverse order: each keeps its bytes under its new key, by a
    // document that read none of them before.
    ProfileDocument doc(path());
    for (int i = 0; i < 6; ++i)
        doc.WriteString(kPlaylistText, QString::number(i + 1), read[5 - i]);
    doc.Save();
    QByteArray reversed = "[" + kPlaylist + "]\r\n";
    for (int i = 0; i < 6; ++i)
        reversed += QByteArray::number(i + 1) + '=' + values[5 - i] + "\r\n";
    EXPECT_EQ(bytes(), reversed);
}

TEST_F(ProfileTest, HighestNumberedKeyCountsOnlyTheProgramsSpelling)
{
    const QByteArray list = "[" + kPlaylist + "]\r\n";
    struct Case {
        const char* name;
        QByteArray file;
        int highest;
    };
    const Case cases[] = {
        {"no section", "", 0},
        {"no keys", list, 0},
        {"in order", list + "1=a\r\n2=b\r\n3=c\r\n", 3},
        {"gaps and blanks", list + "1=a\r\n 40 =b\r\n7=c\r\n", 40},
        {"leading zero, sign, letters, zero", list + "007=a\r\n+9=b\r\n8x=c\r\n0=d\r\n2=e\r\n", 2},
        {"beyond int", list + "2147483647=a\r\n2147483648=b\r\n99999999999=c\r\n", 2147483647},
        {"in another section only", "[other]\r\n5=a\r\n" + list, 0},
    };
    for (const Case& c : cases) {
        put(c.file);
        EXPECT_EQ(ProfileDocument(path()).HighestNumberedKey(kPlaylistText), c.highest) << c.name;
    }
}

TEST_F(ProfileTest, UnreadableDocumentRefusesToSave)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("FileList.ini")));
    ProfileDocument doc(path());
    EXPECT_FALSE(doc.readable());
    doc.WriteString(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d"));
    EXPECT_EQ(doc.ReadString(QStringLiteral("a"), QStringLiteral("b"), QString()), QStringLiteral("d"));
    EXPECT_THROW(doc.Save(), plovex::PlovexError);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

} // namespace
