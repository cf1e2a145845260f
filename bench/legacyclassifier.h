#pragma once

#include <QString>

namespace qv {

// The earlier classifier (regular expressions), for before/after figures.
bool legacyIsSensitiveText(const QString &text);

} // namespace qv
