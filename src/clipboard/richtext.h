#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qv {

// Plain text of a rich-text document, for the clipboard history. Neither trims. Both work without
// recursion, so deeply nested input cannot exhaust the stack.

// The text of an RTF document; nothing when the bytes are not RTF. Skips font, colour and style
// tables, pictures and other ignorable destinations; paragraph and line breaks become "\n".
std::optional<QString> rtfToPlainText(const QByteArray &rtf);

// The text an HTML fragment renders to (no markup, entities resolved, block breaks as "\n");
// nothing for empty input.
std::optional<QString> htmlToPlainText(const QByteArray &html);

} // namespace qv
