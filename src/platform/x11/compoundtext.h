#pragma once

#include <QByteArray>
#include <QString>

namespace qv {

// Text of an X11 COMPOUND_TEXT value, as older toolkits and terminals put it on the clipboard: ASCII
// and the Latin-1 right half by default, other ISO 8859 right halves, GB 2312, JIS X 0208 and KS C 5601
// as designated by escape sequences, and UTF-8 segments (ESC % G ... ESC % @). Characters of a set it
// cannot decode come out as U+FFFD; direction and other control sequences, and extended segments,
// are skipped. Never fails; pure, safe from any thread.
QString decodeCompoundText(const QByteArray &bytes);

} // namespace qv
