#pragma once

#include <QThreadPool>

#include "platform/feedback.h"

namespace qv {

// Snap feedback on Linux. There is no haptic trackpad to drive. The sound is the freedesktop sound
// theme's "complete" event played through libcanberra, which is loaded when first needed (it is
// optional at run time: without it, or without a sound server, nothing is heard). Loading, the
// sound server connection and playback all happen on one worker thread, never on the caller's.
class X11Feedback final : public FeedbackService
{
public:
    X11Feedback();
    ~X11Feedback() override;

    void performAlignmentHaptic() override {}
    bool hasHaptics() const override { return false; }
    void playSnapSound() override;

private:
    struct Canberra;
    // Only touched on the worker (at most one thread) and in the destructor after it has stopped.
    Canberra *m_canberra = nullptr;
    QThreadPool m_worker;
};

} // namespace qv
