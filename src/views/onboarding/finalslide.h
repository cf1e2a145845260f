#pragma once

#include "views/onboarding/buttonslide.h"

namespace qv {

class Scheduler;

// The last slide: a rocket, "all set" and the button that ends the walk-through.
class FinalSlide : public ButtonSlide
{
    Q_OBJECT
public:
    FinalSlide(Scheduler &scheduler, std::function<void()> action, QWidget *parent = nullptr);
};

} // namespace qv
