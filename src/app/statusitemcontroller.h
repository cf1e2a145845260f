#pragma once

namespace qv {

// The status item with its menu and its capture feedback.
//
// Stand-in until the status item lands: setting up only records that it happened; no item is shown.
class StatusItemController
{
public:
    void setupStatusItem() { ++setupCount; }

    int setupCount = 0;
};

} // namespace qv
