#pragma once

#include <QList>

#include <optional>

#include "core/applanguage.h"
#include "dock/keyboardshortcut.h"
#include "platform/globalinput.h"
#include "views/settings/settingspage.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QVBoxLayout;

namespace qv {

class GlassToggle;
class KeyDownMonitor;
class RevealBox;
class Scheduler;
class SettingsStore;
class SlideButton;
struct RangedSettingKey;

// The Appearance page: sliders for the hover delay, the animation speed and the background blur,
// switches for the glow, peeking and the snap feedback, and the module hotkeys card: its switch,
// and while that is on a recorder for the clipboard and the shelf shortcut each and the popup edge
// picker. Every control writes its setting at once, and follows writes made elsewhere.
//
// A recorder listens for the next key pressed with Ctrl, Alt or Super and stores it at once; keys
// without one (alone or with Shift) pass on, and so does a combination another of our hotkeys
// already takes, with a line naming that hotkey. While one listens "isRecordingShortcut" is set (no
// hotkey fires, the grabs stand aside). Listening ends with the recorded key, with the other
// recorder starting, with the module hotkeys switched off (from anywhere), when the page goes, and
// with a combination another program took before it reached us (the row is back on its stored
// shortcut and the line says that program holds it). Main thread.
class AppearanceSettingsSection : public SettingsPage
{
    Q_OBJECT
public:
    enum class Recorder { none, clipboard, shelf };

    // The settings and the scheduler outlive the page. Without `hasHaptics` (no haptic device, as on
    // X11) the snap haptic switch is left out; its stored value stays as it is.
    AppearanceSettingsSection(SettingsStore &settings, Scheduler &scheduler, AppLanguage language,
                              bool hasHaptics, QWidget *parent = nullptr);
    ~AppearanceSettingsSection() override;

    // The value texts of the three slider cards: "0.2s", "0.5x", "24px". Stored values outside the
    // slider's range, or not finite, show what the readers use.
    static QString hoverDelayText(double seconds);
    static QString speedText(double speed);
    static QString blurText(double blur);

    void startRecording(Recorder recorder);
    void stopRecording();
    // The listening monitor's decision for one key-down: true swallows it.
    bool recordKey(const KeyCombination &pressed);
    void pageWillDisappear() override { stopRecording(); }
    // Another program took the combination pressed while a row listened (see KeyDownMonitor).
    void keyTakenElsewhere();

    Recorder recording() const { return m_recording; }
    bool isMonitoring() const { return m_monitor != nullptr; }

    // What a person sees.
    QStringList valueTexts() const;
    QList<GlassToggle *> toggles() const { return m_toggles; }
    GlassToggle *moduleToggle() const { return m_moduleToggle; }
    bool showsRecorderBlock() const;
    // The recorder row's caps, or {"..."} while it listens.
    QStringList shortcutTexts(Recorder recorder) const;
    SlideButton *recordButton(Recorder recorder) const;
    // The line about a combination another of our hotkeys takes; hidden until one is pressed.
    QLabel *takenLine() const { return m_takenLine; }
    // The four segments Top, Bottom, Left, Right; the checked one, -1 for none.
    QList<QAbstractButton *> edgeSegments() const { return m_edgeSegments; }
    int checkedEdgeSegment() const;
    QList<QSlider *> sliders() const { return m_sliders; }

private:
    struct RecorderRow
    {
        QWidget *display = nullptr;
        SlideButton *record = nullptr;
    };

    QWidget *sliderCard(const RangedSettingKey &key, const char *labelKey, QString (*format)(double),
                        const QColor &accent);
    QWidget *moduleCard();
    QWidget *recorderRow(Recorder recorder, const char *labelKey, const QColor &accent);
    QWidget *edgeRow();
    void refreshRecorders();
    void refreshEdge();

    SettingsStore &m_settings;
    Scheduler &m_scheduler;
    AppLanguage m_language;
    Recorder m_recording = Recorder::none;
    KeyDownMonitor *m_monitor = nullptr;
    // The hotkey that holds the last combination refused while listening.
    std::optional<KeyboardShortcut::Hotkey> m_refusedBy;
    // The last recording ended on a combination another program took; the line says so.
    bool m_heldElsewhere = false;

    QList<QLabel *> m_valueLabels;
    QList<QSlider *> m_sliders;
    QList<GlassToggle *> m_toggles;
    GlassToggle *m_moduleToggle = nullptr;
    // The recorder rows and the edge picker, coming and going with the module hotkeys.
    RevealBox *m_recorderBlock = nullptr;
    RecorderRow m_rows[2];
    QList<QAbstractButton *> m_edgeSegments;
    QLabel *m_takenLine = nullptr;
};

} // namespace qv
