#pragma once

#include <QByteArray>
#include <QString>

namespace plovex {

// The files that other programs read as code page 936 (GBK) are converted
// here and only here.
//
// Text is written in code page 936 wherever it can be. A character that
// code page 936 lacks (Hangul, emoji and many more that Linux file names
// may hold) is written as its four-byte GB18030 sequence instead of being
// lost; GB18030 is the national superset of code page 936, so such text
// still reads back whole.
QByteArray ToCodePage936(const QString& text);

// Reads code page 936 bytes, with GB18030 four-byte sequences, back into
// text. A byte that starts no valid character becomes U+FFFD. When
// `dropIncompleteTail` is set, a double-byte character cut in half at the
// end is dropped rather than replaced (values cut at a byte limit).
QString FromCodePage936(const QByteArray& bytes, bool dropIncompleteTail = false);

} // namespace plovex
