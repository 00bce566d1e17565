// TextField and TextFormat as scripts see them: formats by range, htmlText
// read and written in the Flash Player's own form, property conversions,
// and typing into input fields.

#include "avm1/script_run.h"
#include "swf/fixtures.h"

#include <gtest/gtest.h>

#include <variant>

namespace plovex::avm1 {
namespace {

using swf::ActionWriter;
using swf::SwfWriter;
// A variable's value, as an argument.
struct Var {
    QString name;
};
using Arg = std::variant<QString, double, bool, std::nullptr_t, Var>;

// Script pieces on named variables: `obj.prop = v`, trace(obj.prop),
// trace(obj.method(args)[.prop]), var = new TextFormat(args).
struct Script {
    ActionWriter a;

    void push(const Arg& v)
    {
        if (const auto* s = std::get_if<QString>(&v)) a.push(*s);
        else if (const auto* d = std::get_if<double>(&v)) a.push(*d);
        else if (const auto* b = std::get_if<bool>(&v)) a.pushBool(*b);
        else if (const auto* r = std::get_if<Var>(&v)) a.push(r->name).getVariable();
        else a.pushNull();
    }
    void pushArgs(const std::vector<Arg>& args)
    {
        for (auto it = args.rbegin(); it != args.rend(); ++it)
            push(*it);
        a.pushInt(int(args.size()));
    }
    Script& set(const QString& obj, const QString& prop, const Arg& v)
    {
        a.push(obj).getVariable().push(prop);
        push(v);
        a.op(0x4F);
        return *this;
    }
    Script& trace(const QString& obj, const QString& prop)
    {
        a.push(obj).getVariable().push(prop).op(0x4E).trace();
        return *this;
    }
    void call(const QString& obj, const QString& method, const std::vector<Arg>& args)
    {
        pushArgs(args);
        a.push(obj).getVariable().push(method).op(0x52);
    }
    Script& run(const QString& obj, const QString& method, const std::vector<Arg>& args)
    {
        call(obj, method, args);
        a.op(0x17);
        return *this;
    }
    Script& traceCall(const QString& obj, const QString& method, const std::vector<Arg>& args,
                      const QString& prop = QString())
    {
        call(obj, method, args);
        if (!prop.isEmpty())
            a.push(prop).op(0x4E);
        a.trace();
        return *this;
    }
    Script& format(const QString& var, const std::vector<Arg>& args = {})
    {
        a.push(var);
        pushArgs(args);
        a.push(QStringLiteral("TextFormat")).op(0x40).setVariable();
        return *this;
    }
};

const QString F = QStringLiteral("f");
const QString TF = QStringLiteral("tf");
const QString kFont = QStringLiteral("<FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">");

struct Case {
    const char* name;
    std::function<void(Script&)> body;
    QStringList expected;
};

// Each case runs on a field `f` made by createTextField in a version 8
// movie. Traced text is split into lines at '\r'.
QStringList RunCase(const Case& c)
{
    Script s;
    s.run(QStringLiteral("_root"), QStringLiteral("createTextField"), {QStringLiteral("f"), 1.0, 10.0, 10.0, 200.0, 100.0});
    c.body(s);
    SwfWriter w(Options(8));
    w.doAction(s.a);
    w.showFrame();
    auto run = Start(w.finish());
    return run->lines;
}

TEST(Avm1TextField, FormatsHtmlAndConversionsFollowTheFlashPlayer)
{
    const std::vector<Case> cases = {
        {"a new field's text in HTML", [](Script& s) {
             s.set(F, "html", true).set(F, "text", QStringLiteral("hi")).trace(F, "htmlText");
         }, {"<P ALIGN=\"LEFT\">" + kFont + "hi</FONT></P>"}},
        {"a format on part of the text", [](Script& s) {
             s.set(F, "html", true).set(F, "text", QStringLiteral("hello world"));
             s.format(TF).set(TF, "bold", true).run(F, "setTextFormat", {0.0, 5.0, Var{TF}});
             s.trace(F, "htmlText");
             s.traceCall(F, "getTextFormat", {0.0, 5.0}, "bold");
             s.traceCall(F, "getTextFormat", {}, "bold");
             s.traceCall(F, "getTextFormat", {6.0}, "bold");
             s.traceCall(F, "getTextFormat", {3.0, 3.0}, "font");
         }, {"<P ALIGN=\"LEFT\">" + kFont + "<B>hello</B> world</FONT></P>", "true", "null", "false", "null"}},
        {"nested fonts open only what changes", [](Script& s) {
             s.set(F, "html", true).set(F, "text", QStringLiteral("abcdef"));
             s.format(TF).set(TF, "size", 20.0).run(F, "setTextFormat", {2.0, 4.0, Var{TF}});
             s.trace(F, "htmlText");
         }, {"<P ALIGN=\"LEFT\">" + kFont + "ab<FONT SIZE=\"20\">cd</FONT>ef</FONT></P>"}},
        {"HTML read into runs", [](Script& s) {
             s.set(F, "html", true).set(F, "multiline", true);
             s.set(F, "htmlText", QStringLiteral("<p>x &amp; &lt;y&gt;</p><p align='right'><font color='#ff0000' size='20'>red</font></p>"));
             s.trace(F, "text");
             s.traceCall(F, "getTextFormat", {8.0}, "color");
             s.traceCall(F, "getTextFormat", {8.0}, "size");
             s.traceCall(F, "getTextFormat", {8.0}, "align");
             s.traceCall(F, "getTextFormat", {0.0}, "align");
             s.trace(F, "htmlText");
         }, {"x & <y>", "red", "", "16711680", "20", "right", "left",
             "<P ALIGN=\"LEFT\">" + kFont + "x &amp; &lt;y&gt;</FONT></P><P ALIGN=\"RIGHT\"><FONT FACE=\"Times New Roman\" "
             "SIZE=\"20\" COLOR=\"#FF0000\" LETTERSPACING=\"0\" KERNING=\"0\">red</FONT></P>"}},
        {"margins and leading go in TEXTFORMAT", [](Script& s) {
             s.set(F, "html", true).set(F, "htmlText", QStringLiteral("<textformat leftmargin='5' leading='2'>m</textformat>"));
             s.trace(F, "htmlText");
         }, {"<TEXTFORMAT LEFTMARGIN=\"5\" LEADING=\"2\"><P ALIGN=\"LEFT\">" + kFont + "m</FONT></P></TEXTFORMAT>"}},
        {"TextFormat setters round and clamp, the constructor cuts", [](Script& s) {
             s.format(TF, {QStringLiteral("Arial"), 12.7, -1.0});
             s.trace(TF, "font").trace(TF, "size").trace(TF, "color").trace(TF, "bold");
             s.set(TF, "size", 10.5).trace(TF, "size");
             s.set(TF, "size", 11.5).trace(TF, "size");
             s.set(TF, "leftMargin", -3.0).trace(TF, "leftMargin");
             s.set(TF, "align", QStringLiteral("CENTER")).trace(TF, "align");
             s.set(TF, "align", QStringLiteral("bogus")).trace(TF, "align");
             s.set(TF, "font", nullptr).trace(TF, "font");
         }, {"Arial", "12", "4294967295", "null", "10", "12", "0", "center", "center", "null"}},
        {"field properties convert as the Flash Player does", [](Script& s) {
             s.trace(F, "type").set(F, "type", QStringLiteral("INPUT")).trace(F, "type");
             s.set(F, "type", QStringLiteral("other")).trace(F, "type");
             s.set(F, "autoSize", true).trace(F, "autoSize");
             s.set(F, "autoSize", QStringLiteral("bogus")).trace(F, "autoSize");
             s.trace(F, "maxChars").set(F, "maxChars", 5.0).trace(F, "maxChars");
             s.set(F, "restrict", QStringLiteral("")).trace(F, "restrict");
             s.set(F, "restrict", QStringLiteral("a-z")).trace(F, "restrict");
             s.set(F, "variable", QStringLiteral("")).trace(F, "variable");
             s.set(F, "textColor", 255.0).trace(F, "textColor");
             s.traceCall(F, "getNewTextFormat", {}, "color");
         }, {"dynamic", "input", "input", "left", "none", "null", "5", "null", "a-z", "null", "255", "255"}},
        {"newlines become \\r and count in length", [](Script& s) {
             s.set(F, "text", QStringLiteral("a\nb\r\nc")).trace(F, "text").trace(F, "length");
         }, {"a", "b", "c", "5"}},
        {"new text takes the new text format", [](Script& s) {
             s.format(TF).set(TF, "size", 30.0).run(F, "setNewTextFormat", {Var{TF}});
             s.set(F, "text", QStringLiteral("x"));
             s.traceCall(F, "getTextFormat", {0.0}, "size");
             s.format(QStringLiteral("t2")).set(QStringLiteral("t2"), "italic", true).run(F, "setTextFormat", {Var{QStringLiteral("t2")}});
             s.set(F, "text", QStringLiteral("y"));
             s.traceCall(F, "getTextFormat", {0.0}, "italic");
         }, {"30", "false"}},
        {"a field bound to a variable", [](Script& s) {
             s.set(F, "variable", QStringLiteral("v"));
             s.a.push(QStringLiteral("v")).push(QStringLiteral("bound")).setVariable();
             s.trace(F, "text");
             s.set(F, "text", QStringLiteral("back"));
             s.a.push(QStringLiteral("v")).getVariable().trace();
         }, {"bound", "back"}},
        {"_width changes the box, not the scale", [](Script& s) {
             s.set(F, "_width", 50.0).trace(F, "_width").trace(F, "_xscale");
         }, {"50", "100"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunCase(c), c.expected) << c.name;
}

// A field from DefineEditText starts with the tag's format and text.
TEST(Avm1TextField, DefineEditTextGivesTheDefaultFormat)
{
    swf::EditTextCharacter et;
    et.bounds = swf::Rect{0, 2000, 0, 400};
    et.hasColor = true;
    et.color = QColor(0x12, 0x34, 0x56);
    et.align = 2;
    et.leftMargin = 60;
    et.leading = 40;
    et.html = true;
    et.multiline = true;
    et.text = QStringLiteral("<p>one</p><p><b>two</b></p>");
    SwfWriter w(Options(8));
    w.defineEditText(1, et);
    swf::PlaceObject p = swf::PlaceNew(1, 1);
    p.name = QStringLiteral("f");
    w.placeObject2(p);
    Script s;
    s.trace(F, "text");
    s.traceCall(F, "getNewTextFormat", {}, "color");
    s.traceCall(F, "getNewTextFormat", {}, "align");
    s.traceCall(F, "getNewTextFormat", {}, "leftMargin");
    s.traceCall(F, "getTextFormat", {4.0}, "bold");
    s.trace(F, "htmlText");
    w.doAction(s.a);
    w.showFrame();
    auto run = Start(w.finish());
    EXPECT_EQ(run->lines,
              (QStringList{"one", "two", "", "1193046", "center", "3", "true",
                           "<TEXTFORMAT LEFTMARGIN=\"3\" LEADING=\"2\"><P ALIGN=\"CENTER\"><FONT FACE=\"Times New Roman\" "
                           "SIZE=\"12\" COLOR=\"#123456\" LETTERSPACING=\"0\" KERNING=\"0\">one</FONT></P></TEXTFORMAT>"
                           "<TEXTFORMAT LEFTMARGIN=\"3\" LEADING=\"2\"><P ALIGN=\"CENTER\"><FONT FACE=\"Times New Roman\" "
                           "SIZE=\"12\" COLOR=\"#123456\" LETTERSPACING=\"0\" KERNING=\"0\"><B>two</B></FONT></P>"
                           "</TEXTFORMAT>"}));
}

// Typing keeps what `restrict`, `maxChars` and `multiline` allow; the
// variable and onChanged follow each change.
TEST(Avm1TextField, TypingFollowsRestrictMaxCharsAndMultiline)
{
    struct TypeCase {
        const char* name;
        std::vector<std::pair<QString, Arg>> settings;
        QString typed;
        QString expected;
    };
    const std::vector<TypeCase> cases = {
        {"anything", {}, "aB3-", "aB3-"},
        {"a range", {{"restrict", QStringLiteral("a-z")}}, "aB3-c", "abc"},
        {"an upper-case range takes lower case as upper", {{"restrict", QStringLiteral("A-Z")}}, "ab1", "AB"},
        {"all but", {{"restrict", QStringLiteral("^0-9")}}, "a1b2", "ab"},
        {"an escaped dash", {{"restrict", QStringLiteral("0-9\\-")}}, "1-a2", "1-2"},
        {"maxChars", {{"maxChars", 3.0}}, "abcdef", "abc"},
        {"Enter in a single line field", {}, "a\rb", "ab"},
        {"Enter in a multiline field", {{"multiline", true}}, "a\rb", "a\rb"},
    };
    for (const TypeCase& c : cases) {
        Script s;
        s.run(QStringLiteral("_root"), QStringLiteral("createTextField"), {QStringLiteral("f"), 1.0, 0.0, 0.0, 100.0, 50.0});
        s.set(F, "type", QStringLiteral("input")).set(F, "variable", QStringLiteral("v"));
        for (const auto& [prop, value] : c.settings)
            s.set(F, prop, value);
        SwfWriter w(Options(8));
        w.doAction(s.a);
        w.showFrame();
        auto run = Start(w.finish());
        swf::MovieRuntime* rt = run->player->scripts();
        ASSERT_NE(rt, nullptr);
        rt->mouseMove(20, 20);
        rt->mouseButton(true);
        rt->mouseButton(false);
        for (const QChar ch : c.typed) {
            if (ch == u'\r')
                rt->key(true, 13, 13);
            else
                rt->text(QString(ch));
        }
        const swf::DisplayObject& root = rt->root();
        ASSERT_FALSE(root.children.empty()) << c.name;
        ASSERT_TRUE(root.children.front()->textState) << c.name;
        EXPECT_EQ(root.children.front()->textState->text, c.expected) << c.name;
    }
}

// onChanged runs after each character the user enters.
TEST(Avm1TextField, OnChangedHearsTyping)
{
    Script s;
    s.run(QStringLiteral("_root"), QStringLiteral("createTextField"), {QStringLiteral("f"), 1.0, 0.0, 0.0, 100.0, 50.0});
    s.set(F, "type", QStringLiteral("input"));
    ActionWriter handler;
    handler.push(QStringLiteral("f")).getVariable().push(QStringLiteral("text")).op(0x4E).trace();
    s.a.push(F).getVariable().push(QStringLiteral("onChanged"));
    s.a.defineFunction(QString(), {}, handler);
    s.a.op(0x4F);
    SwfWriter w(Options(8));
    w.doAction(s.a);
    w.showFrame();
    auto run = Start(w.finish());
    swf::MovieRuntime* rt = run->player->scripts();
    rt->mouseMove(20, 20);
    rt->mouseButton(true);
    rt->mouseButton(false);
    rt->text(QStringLiteral("ab"));
    rt->key(true, 8, 8);
    EXPECT_EQ(run->lines, (QStringList{"a", "ab", "a"}));
}

} // namespace
} // namespace plovex::avm1
