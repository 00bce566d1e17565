#pragma once

// Formatted text of a text field: the characters and the runs of format
// that cover them, as the Flash Player keeps them, with its HTML reading
// and writing. Newlines are stored as '\r', one paragraph per line.

#include <QString>

#include <optional>
#include <vector>

namespace plovex::swf {

enum TextAlign { kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2, kAlignJustify = 3 };

// The format of one run of characters: every property has a value.
struct SpanFormat {
    QString font = QStringLiteral("Times New Roman");
    double size = 12;         // pixels
    quint32 color = 0;        // 0xRRGGBB
    int align = kAlignLeft;
    bool bold = false, italic = false, underline = false;
    QString url, target;
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0, leading = 0;   // pixels
    double letterSpacing = 0;
    bool kerning = false, bullet = false;
    std::vector<double> tabStops;
    bool operator==(const SpanFormat&) const = default;
};

// A format with gaps, as scripts see it (TextFormat): a property without a
// value is left alone when applied, and is what a range of differing
// values reads as.
struct TextFormat {
    std::optional<QString> font, url, target;
    std::optional<double> size, leftMargin, rightMargin, indent, blockIndent, leading, letterSpacing;
    std::optional<quint32> color;
    std::optional<int> align;
    std::optional<bool> bold, italic, underline, kerning, bullet;
    std::optional<std::vector<double>> tabStops;

    static TextFormat Of(const SpanFormat& f);
    void applyTo(SpanFormat& f) const;
    // Keeps only the values that `f` shares.
    void intersect(const SpanFormat& f);
    bool operator==(const TextFormat&) const = default;
};

struct TextSpan {
    int length = 0;
    SpanFormat format;
    bool operator==(const TextSpan&) const = default;
};

// How HTML is read into a field: its multiline and condenseWhite settings
// and the movie's version.
struct HtmlOptions {
    bool multiline = false;
    bool condenseWhite = false;
    int version = 8;
};

struct FormattedText {
    QString text;
    std::vector<TextSpan> spans;   // lengths add up to text.size(); adjacent formats differ

    // Makes the spans cover the text exactly, merging equal neighbours;
    // text without spans takes `fallback`.
    void normalize(const SpanFormat& fallback);
    // Replaces [from, to) by `with` in format `format`.
    void replace(int from, int to, const QString& with, const SpanFormat& format);
    // The format shared by [from, to); an empty range reads the character at `from`.
    TextFormat formatOf(int from, int to) const;
    // The full format of the character at `pos` (the last one past the end).
    SpanFormat formatAt(int pos, const SpanFormat& fallback) const;
    void applyFormat(int from, int to, const TextFormat& f);
    // The text as the Flash Player writes it for htmlText.
    QString toHtml() const;
    // Reads HTML as the Flash Player does, formats starting from `base`.
    static FormattedText FromHtml(const QString& html, const SpanFormat& base, const HtmlOptions& options);
    bool operator==(const FormattedText&) const = default;
};

// Plain text as a field stores it: "\r\n" and "\n" become '\r'.
QString FieldNewlines(QString text);
// A number as the HTML attributes write it.
QString FormatHtmlNumber(double v);

} // namespace plovex::swf
