#include "app/shellparts.h"

namespace qv {

namespace {

class InPlaceRelocation final : public Relocator
{
public:
    bool isInApplicationsFolder() override { return true; }
    MoveAnswer askToMoveToApplications() override { return MoveAnswer::notNow; }
    void moveToApplications() override {}
    void terminateOtherInstances() override {}
};

class NoOverlay final : public OverlayPresenter
{
public:
    void setupOverlayWindow() override {}
    void setupGlobalOverlayWindow() override {}
    void setupPeekingWindow() override {}
    void setupBindings(DockMonitor &, WindowEngine &) override {}
    void startMouseCheckTimer() override {}
    void hideOverlay(bool) override {}
};

class NoStatusItem final : public StatusItem
{
public:
    void setupStatusItem() override {}
};

class NoOnboarding final : public OnboardingPresenter
{
public:
    void showOnboarding() override {}
    bool isOpen() const override { return false; }
};

} // namespace

ShellParts ShellParts::standIns()
{
    return {std::make_unique<InPlaceRelocation>(), std::make_unique<NoOverlay>(),
            std::make_unique<NoStatusItem>(), std::make_unique<NoOnboarding>()};
}

} // namespace qv
