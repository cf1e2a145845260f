#include "platform/sim/simlocaleservice.h"

#include <QMutexLocker>

namespace qv {

QStringList SimLocaleService::preferredLanguages() const
{
    QMutexLocker lock(&m_mutex);
    return m_languages;
}

void SimLocaleService::setPreferredLanguages(const QStringList &languages)
{
    QMutexLocker lock(&m_mutex);
    m_languages = languages;
}

} // namespace qv
