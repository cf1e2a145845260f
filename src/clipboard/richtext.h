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

// Limits of the conversions. Clipboard rich text comes from any web page's copy handler: the text of
// either stops at maxRichTextLength UTF-16 units (ten times the longest text the history keeps); of
// HTML only the first maxHtmlBytes are read, and nesting deeper than maxHtmlDepth ends the reading
// (the parser's cost per stray end tag grows with the depth). Time and memory stay bounded by these,
// whatever the shape of the input.
inline constexpr qsizetype maxRichTextLength = 1000000;
inline constexpr qsizetype maxHtmlBytes = 4000000;
inline constexpr int maxHtmlDepth = 256;

// The text an HTML fragment shows (no markup, entities resolved, block breaks as "\n"), read in one
// streaming pass without building a document; nothing for empty input. Safe on any thread.
std::optional<QString> htmlToPlainText(const QByteArray &html);

} // namespace qv
