#pragma once

#include <QString>

namespace plovex {

// Where the product's home page and its author's mailbox are.
inline const QString kHomePage = QStringLiteral("https://plovex.example.org/");
inline const QString kContactMail = QStringLiteral("plovex@example.org");

} // namespace plovex
