#pragma once

#include <QPointer>

#include <optional>

#include "core/applanguage.h"
#include "dock/keyboardshortcut.h"
#include "platform/globalinput.h"
#include "views/settings/settingspage.h"

class QLabel;
class QVBoxLayout;

namespace qv {

class DockMonitor;
class KeyDownMonitor;
class SettingsStore;
class SlideButton;

// The Shortcuts page: the global switcher's shortcut as large keycaps, a recorder that listens for
// the next key pressed with Ctrl, Alt or Super, shows it for review and stores it only on Confirm, and a
// card of tips. While it listens or waits for Confirm, "isRecordingShortcut" is set, so no hotkey
// fires and the desktop's grabs stand aside: the combination reaches this window. Keys pressed
// without one (Tab, Esc, Return alone or with Shift) pass on and the page keeps listening; so does a
// combination another of our hotkeys already takes, with a line naming that hotkey. Leaving the
// page is Cancel. When another program holds the stored combination, so it can never reach us, a
// line says so; the same line ends a recording whose combination another program took before it
// reached us, back on the stored shortcut. Main thread.
class ShortcutsSettingsSection : public SettingsPage
{
    Q_OBJECT
public:
    enum class State { idle, listening, review };

    // The settings outlive the page; the Dock monitor, which knows the refused combinations, may
    // be null (no line is shown then).
    ShortcutsSettingsSection(SettingsStore &settings, DockMonitor *dockMonitor, AppLanguage language,
                             QWidget *parent = nullptr);
    ~ShortcutsSettingsSection() override;

    void startRecording();
    // The listening monitor's decision for one key-down: true swallows it.
    bool handleKeyDown(const KeyCombination &pressed);
    void confirmShortcut();
    void stopRecording();
    void pageWillDisappear() override { stopRecording(); }
    // Another program took the combination pressed while listening.
    void keyTakenElsewhere();

    State state() const;
    bool isMonitoring() const { return m_monitor != nullptr; }
    // The texts of the keycaps shown now (empty while listening).
    QStringList keycapTexts() const;
    // The line about a combination another program holds; hidden while that is not so.
    QLabel *heldElsewhereLine() const { return m_heldLine; }
    // The line about a combination another of our hotkeys takes; hidden until one is pressed.
    QLabel *takenLine() const { return m_takenLine; }
    SlideButton *recordButton() const { return m_recordButton; }
    SlideButton *confirmButton() const { return m_confirmButton; }
    SlideButton *cancelButton() const { return m_cancelButton; }

private:
    void refresh();

    SettingsStore &m_settings;
    QPointer<DockMonitor> m_dockMonitor;
    AppLanguage m_language;
    bool m_isRecording = false;
    std::optional<KeyCombination> m_temp;
    // The hotkey that holds the last combination refused while listening.
    std::optional<KeyboardShortcut::Hotkey> m_refusedBy;
    // The last recording ended on a combination another program took.
    bool m_heldElsewhere = false;
    KeyDownMonitor *m_monitor = nullptr;

    QVBoxLayout *m_upper = nullptr;
    QWidget *m_caps = nullptr;
    QLabel *m_prompt = nullptr;
    SlideButton *m_recordButton = nullptr;
    QWidget *m_review = nullptr;
    SlideButton *m_confirmButton = nullptr;
    SlideButton *m_cancelButton = nullptr;
    QLabel *m_heldLine = nullptr;
    QLabel *m_takenLine = nullptr;
};

} // namespace qv
