#pragma once

namespace qv {

// The first-run window that walks the user through the three permissions.
//
// Stand-in until onboarding lands: opening records that it happened and marks the window open; a
// second open while it is open does nothing, as the real window does.
class Onboarding
{
public:
    void showOnboarding()
    {
        if (isOpen)
            return;
        isOpen = true;
        ++openCount;
    }

    bool isOpen = false;
    int openCount = 0;
};

} // namespace qv
