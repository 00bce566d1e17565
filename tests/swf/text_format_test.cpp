// Formatted text of fields: runs of format kept through edits, HTML read
// and written as the Flash Player does, and DefineEditText written and read.

#include "swf/player.h"
#include "swf/text_format.h"
#include "swf/writer.h"

#include <gtest/gtest.h>

namespace plovex::swf {
namespace {

SpanFormat Bold()
{
    SpanFormat f;
    f.bold = true;
    return f;
}

TEST(TextFormat, RunsFollowReplaceAndApply)
{
    FormattedText t;
    t.replace(0, 0, QStringLiteral("hello world"), SpanFormat());
    TextFormat bold;
    bold.bold = true;
    t.applyFormat(0, 5, bold);
    ASSERT_EQ(t.spans.size(), 2u);
    EXPECT_EQ(t.spans[0].length, 5);
    EXPECT_TRUE(t.spans[0].format.bold);
    // Replacing across both runs keeps the outer parts of each.
    t.replace(3, 8, QStringLiteral("XY"), SpanFormat());
    EXPECT_EQ(t.text, QStringLiteral("helXYrld"));
    ASSERT_EQ(t.spans.size(), 2u);
    EXPECT_EQ(t.spans[0].length, 3);
    EXPECT_EQ(t.spans[1].length, 5);
    // Formats that become equal merge again.
    TextFormat plain;
    plain.bold = false;
    t.applyFormat(0, 3, plain);
    EXPECT_EQ(t.spans.size(), 1u);
    // Ranges past the end are cut to the text.
    t.applyFormat(6, 100, bold);
    EXPECT_EQ(t.spans.back().length, 2);
    EXPECT_FALSE(t.formatOf(0, 8).bold.has_value());
    EXPECT_EQ(t.formatOf(7, 8).bold, std::optional<bool>(true));
}

TEST(TextFormat, HtmlReadsAndWritesAsTheFlashPlayer)
{
    struct Case {
        const char* html;
        bool multiline;
        int version;
        const char* text;
        const char* written;
    };
    const char* const font = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";
    const std::vector<Case> cases = {
        {"plain", false, 8, "plain", "<P ALIGN=\"LEFT\">%1plain</FONT></P>"},
        {"<b>b</b><i>i</i><u>u</u>", false, 8, "biu", "<P ALIGN=\"LEFT\">%1<B>b</B><I>i</I><U>u</U></FONT></P>"},
        {"a<br>b", true, 8, "a\rb", "<P ALIGN=\"LEFT\">%1a</FONT></P><P ALIGN=\"LEFT\">%1b</FONT></P>"},
        {"a<br>b", false, 8, "ab", "<P ALIGN=\"LEFT\">%1ab</FONT></P>"},
        {"a<br>b", false, 6, "a\rb", "<P ALIGN=\"LEFT\">%1a</FONT></P><P ALIGN=\"LEFT\">%1b</FONT></P>"},
        {"<a href='u' target='t'>l</a>", false, 8, "l", "<P ALIGN=\"LEFT\">%1<A HREF=\"u\" TARGET=\"t\">l</A></FONT></P>"},
        {"<font size='+2'>s</font>", false, 8, "s",
         "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"14\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">s</FONT></P>"},
        {"&lt;&amp;&gt;&quot;&#65;", false, 8, "<&>\"A", "<P ALIGN=\"LEFT\">%1&lt;&amp;&gt;&quot;A</FONT></P>"},
        {"<b>a</i>b</b>c", false, 8, "abc", "<P ALIGN=\"LEFT\">%1<B>ab</B>c</FONT></P>"},
        {"<li>x</li>", true, 8, "x\r", "<LI>%1x</FONT></LI>"},
        {"  ", false, 7, "", ""},
        {"  ", false, 8, "  ", "<P ALIGN=\"LEFT\">%1  </FONT></P>"},
    };
    for (const Case& c : cases) {
        const FormattedText t = FormattedText::FromHtml(QString::fromUtf8(c.html), SpanFormat(),
                                                        HtmlOptions{c.multiline, false, c.version});
        EXPECT_EQ(t.text, QString::fromUtf8(c.text)) << c.html;
        EXPECT_EQ(t.toHtml(), QString::fromUtf8(c.written).arg(QString::fromUtf8(font))) << c.html;
    }
    // Reading back what was written gives the same runs (a single line
    // field adds no newline for the closing P).
    FormattedText t;
    t.replace(0, 0, QStringLiteral("ab"), SpanFormat());
    t.replace(2, 2, QStringLiteral("cd"), Bold());
    EXPECT_EQ(FormattedText::FromHtml(t.toHtml(), SpanFormat(), HtmlOptions{false, false, 8}).spans, t.spans);
}

TEST(TextFormat, CondenseWhiteFoldsSpaces)
{
    const FormattedText t = FormattedText::FromHtml(QStringLiteral("  a \n  b <b> c</b>"), SpanFormat(),
                                                    HtmlOptions{true, true, 8});
    EXPECT_EQ(t.text, QStringLiteral("a b c"));
}

TEST(SwfWriter, EditTextRoundTrip)
{
    EditTextCharacter c;
    c.bounds = Rect{-40, 2000, 20, 400};
    c.wordWrap = c.multiline = c.html = c.border = c.noSelect = true;
    c.hasFont = true;
    c.fontId = 7;
    c.fontHeight = 300;
    c.hasColor = true;
    c.color = QColor(1, 2, 3, 200);
    c.maxLength = 12;
    c.align = 3;
    c.leftMargin = 20;
    c.rightMargin = 40;
    c.indent = 60;
    c.leading = -20;
    c.variableName = QStringLiteral("name");
    c.text = QStringLiteral("<b>中文</b>");
    SwfWriter w;
    w.defineEditText(5, c);
    w.showFrame();
    const auto movie = LoadMovie(w.finish());
    const auto* r = movie->get<EditTextCharacter>(5);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->bounds, c.bounds);
    EXPECT_TRUE(r->wordWrap && r->multiline && r->html && r->border && r->noSelect && r->hasFont && r->hasColor);
    EXPECT_FALSE(r->password || r->readOnly || r->autoSize || r->useOutlines);
    EXPECT_EQ(r->fontId, 7);
    EXPECT_EQ(r->fontHeight, 300);
    EXPECT_EQ(r->color, c.color);
    EXPECT_EQ(r->maxLength, 12);
    EXPECT_EQ(r->align, 3);
    EXPECT_EQ(r->leftMargin, 20);
    EXPECT_EQ(r->rightMargin, 40);
    EXPECT_EQ(r->indent, 60);
    EXPECT_EQ(r->leading, -20);
    EXPECT_EQ(r->variableName, c.variableName);
    EXPECT_EQ(r->text, c.text);
}

} // namespace
} // namespace plovex::swf
