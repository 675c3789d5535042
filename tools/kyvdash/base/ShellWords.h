#pragma once
// A command given as one text, split into words as a POSIX shell splits them, without
// running one: blanks separate words; 'single quotes' keep everything literally; "double
// quotes" keep everything but \" \\ \$ \` (a backslash before anything else stays); a
// backslash outside quotes keeps the next character. Nothing is expanded.
#include <QString>
#include <QStringList>
#include <optional>

namespace kyvdash {

// The words of `text`; nothing, with the reason in `problem`, when a quote is not closed or
// the text ends in a lone backslash.
std::optional<QStringList> splitShellWords(const QString& text, QString* problem);

}  // namespace kyvdash
