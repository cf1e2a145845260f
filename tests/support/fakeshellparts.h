#pragma once

#include <QStringList>

#include "app/shellparts.h"

namespace qv {

// Recording fakes of the shell parts the start-up drives. Each keeps the names of the calls made to
// it, in order, and answers what its public fields say.

class FakeRelocator : public Relocator
{
public:
    bool isInApplicationsFolder() override { return record("isInApplicationsFolder"), inApplicationsFolder; }
    MoveAnswer askToMoveToApplications() override { return record("askToMoveToApplications"), answer; }
    void moveToApplications() override { record("moveToApplications"); }
    void terminateOtherInstances() override { record("terminateOtherInstances"); }
    QString restartApp() override { return record("restartApp"), QString(); }

    bool inApplicationsFolder = true;
    MoveAnswer answer = MoveAnswer::notNow;
    QStringList calls;

private:
    void record(const char *name) { calls.append(QString::fromLatin1(name)); }
};

class FakeOverlayPresenter : public OverlayPresenter
{
public:
    void setupOverlayWindow() override { calls.append(QStringLiteral("setupOverlayWindow")); }
    void setupGlobalOverlayWindow() override { calls.append(QStringLiteral("setupGlobalOverlayWindow")); }
    void setupPeekingWindow() override { calls.append(QStringLiteral("setupPeekingWindow")); }
    void setupBindings(DockMonitor &monitor, WindowEngine &engine) override
    {
        boundMonitor = &monitor;
        boundEngine = &engine;
        calls.append(QStringLiteral("setupBindings"));
    }
    void startMouseCheckTimer() override { calls.append(QStringLiteral("startMouseCheckTimer")); }
    void hideOverlay(bool force) override
    {
        calls.append(force ? QStringLiteral("hideOverlay(force)") : QStringLiteral("hideOverlay"));
    }

    QStringList calls;
    DockMonitor *boundMonitor = nullptr;
    WindowEngine *boundEngine = nullptr;
};

class FakeStatusItem : public StatusItem
{
public:
    void setupStatusItem() override { ++setupCount; }
    int setupCount = 0;
};

class FakeOnboarding : public OnboardingPresenter
{
public:
    void showOnboarding() override
    {
        if (!open)
            ++openCount;
        open = true;
    }
    bool isOpen() const override { return open; }

    bool open = false;
    int openCount = 0;
};

// A set of fakes handed to the delegate, with pointers kept for the test to inspect.
struct FakeShellParts
{
    FakeRelocator *relocation = new FakeRelocator;
    FakeOverlayPresenter *overlay = new FakeOverlayPresenter;
    FakeStatusItem *statusItem = new FakeStatusItem;
    FakeOnboarding *onboarding = new FakeOnboarding;

    // Hands ownership over; call once.
    ShellParts take()
    {
        return {std::unique_ptr<Relocator>(relocation), std::unique_ptr<OverlayPresenter>(overlay),
                std::unique_ptr<StatusItem>(statusItem), std::unique_ptr<OnboardingPresenter>(onboarding)};
    }
};

} // namespace qv
