#include "app/shellparts.h"

#include "app/overlaycontroller.h"

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

ShellParts ShellParts::standIns(const Platform &platform, Scheduler &scheduler, SettingsStore &settings)
{
    return {std::make_unique<InPlaceRelocation>(), std::make_unique<OverlayController>(platform, scheduler, settings),
            std::make_unique<NoStatusItem>(), std::make_unique<NoOnboarding>()};
}

} // namespace qv
