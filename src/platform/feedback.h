#pragma once

namespace qv {

// Feedback the user feels or hears when a window snaps into place. Main thread; neither call
// blocks, and both do nothing on a desktop without the hardware or the sound.
class FeedbackService
{
public:
    virtual ~FeedbackService() = default;
    // A short alignment pulse on a haptic trackpad.
    virtual void performAlignmentHaptic() = 0;
    // Whether the desktop has a haptic device to pulse; without one the haptic setting does nothing.
    virtual bool hasHaptics() const = 0;
    // The short "snapped" sound.
    virtual void playSnapSound() = 0;
};

} // namespace qv
