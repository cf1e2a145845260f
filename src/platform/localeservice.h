#pragma once

#include <QStringList>

namespace qv {

// The interface languages the user prefers, as the desktop reports them.
//
// Any thread may call it, and it is asked again for every text shown in the system language, so a
// change of the user's languages shows at the next lookup; implementations keep it cheap and never
// block for long.
class LocaleService
{
public:
    virtual ~LocaleService() = default;

    // Language tags in BCP 47 form ("de-AT", "zh-Hans-CN", "en"), most preferred first. An empty list
    // means the desktop states no preference; callers then use English.
    virtual QStringList preferredLanguages() const = 0;
};

} // namespace qv
