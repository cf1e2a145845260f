#pragma once

#include "platform/localeservice.h"

namespace qv {

// The session's interface languages as Qt reads them from the environment (LANGUAGE, then LC_ALL,
// LC_MESSAGES and LANG). Qt takes them in once per process and nothing on X11 tells a running
// program that they changed, so the list is read once, when the service is made; that keeps a
// lookup in the system language as cheap as one in a fixed language (Qt expands the list anew on
// every call, about 2 µs). The C/POSIX locale gives a tag that matches no translation, hence English.
class X11LocaleService final : public LocaleService
{
public:
    X11LocaleService();

    QStringList preferredLanguages() const override { return m_languages; }

private:
    const QStringList m_languages;
};

} // namespace qv
