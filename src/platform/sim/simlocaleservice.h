#pragma once

#include <QMutex>

#include "platform/localeservice.h"

namespace qv {

// A user whose preferred languages the test writes. Starts as a US English user.
class SimLocaleService final : public LocaleService
{
public:
    QStringList preferredLanguages() const override;

    // Takes effect at the next lookup, from any thread.
    void setPreferredLanguages(const QStringList &languages);

private:
    mutable QMutex m_mutex;
    QStringList m_languages{QStringLiteral("en-US")};
};

} // namespace qv
