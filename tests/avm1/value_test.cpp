// Number printing and string reading as the Flash Player does them.

#include "avm1/object.h"
#include "avm1/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plovex::avm1 {
namespace {

TEST(Avm1Value, NumbersPrintAsTheFlashPlayerPrintsThem)
{
    const struct {
        double n;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {42, "42"},
        {-7, "-7"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345, "123456789012345"},
        {1e15, "1e+15"},
        {1e21, "1e+21"},
        {123456789012345680000.0, "1.23456789012346e+20"},
        {0.0001, "0.0001"},
        {0.00001, "0.00001"},
        {0.000001, "1e-6"},
        {-0.0000012345, "-1.2345e-6"},
        {1.5, "1.5"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "Infinity"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToString(c.n), QString::fromLatin1(c.text)) << c.text;
}

TEST(Avm1Value, StringsReadAsNumbersByTheMoviesVersion)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* text;
        int version;
        double n;
    } cases[] = {
        {"12", 7, 12},
        {" 12", 7, 12},
        {" 12 ", 7, nan},
        {"1.5e3", 7, 1500},
        {"0x10", 7, 16},
        {"-0x10", 7, -16},
        {"010", 7, 8},        // a leading zero reads as octal
        {"010", 5, 10},       // but not before version 6
        {"0x10", 5, nan},
        {"019", 7, 19},       // unless a digit is not octal
        {"", 7, nan},
        {"", 4, 0},
        {"150a", 7, nan},
        {"150a", 4, 150},     // version 4 takes the number at the start
        {"ab", 4, 0},
        {"0x96", 4, 0},
        {"Infinity", 7, nan},
        {"1e", 7, nan},
    };
    for (const auto& c : cases) {
        const double v = StringToNumber(QString::fromLatin1(c.text), c.version);
        if (std::isnan(c.n))
            EXPECT_TRUE(std::isnan(v)) << c.text << " v" << c.version;
        else
            EXPECT_EQ(v, c.n) << c.text << " v" << c.version;
    }
}

TEST(Avm1Value, IntegerConversionsWrapAt32Bits)
{
    EXPECT_EQ(ToInt32(4294967295.0), -1);
    EXPECT_EQ(ToInt32(4294967296.0 + 5), 5);
    EXPECT_EQ(ToInt32(-1.9), -1);
    EXPECT_EQ(ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ToUint32(-1), 4294967295u);
    EXPECT_EQ(NumberToRadix(255, 16), QStringLiteral("ff"));
    EXPECT_EQ(NumberToRadix(-5, 2), QStringLiteral("-101"));
}

// Names before version 7 compare through the old player's case table:
// letters Unicode added later keep their case.
TEST(Avm1Value, OldMoviesFoldNamesByTheOldCaseTable)
{
    const struct { const char16_t* a; const char16_t* b; bool same; } cases[] = {
        {u"FoO", u"foo", true},
        {u"\u00c4x", u"\u00e4X", true},            // Latin-1
        {u"\u01f1\u01f2", u"\u01f3\u01f3", true},  // DZ digraphs, all three cases
        {u"\u04e4", u"\u04e5", true},              // Cyrillic
        {u"\u023a", u"\u2c65", false},             // Unicode 4.1 and 5.0
        {u"\u03f7", u"\u03f8", false},             // Unicode 4.0
        {u"ab", u"abc", false},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
        EXPECT_EQ(SameNameFolded(a, b), c.same) << a.toStdString() << " / " << b.toStdString();
        EXPECT_EQ(FoldName(a) == FoldName(b), c.same) << a.toStdString() << " / " << b.toStdString();
    }
}

} // namespace
} // namespace plovex::avm1
