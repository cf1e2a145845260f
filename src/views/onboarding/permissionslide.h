#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

#include "ui/animation.h"

class QGraphicsOpacityEffect;
class QLabel;

namespace qv {

class Scheduler;
class SlideButton;
class SlideSymbol;

// One slide per permission: its symbol, title and description, an optional privacy note, and
// either the granted state with Continue, or the open-settings button (with the restart block once
// it was pressed, where the slide has a restart hint) and Skip. Passive: texts arrive localised and
// every button runs a closure it was given; the only state it keeps is whether the open-settings
// button was pressed. Main thread.
class PermissionSlide : public QWidget
{
    Q_OBJECT
public:
    struct Texts
    {
        QString title;
        QString desc;
        QString grantedText;
        QString continueText;
        QString openSettingsText;
        QString skipText;
        std::optional<QString> privacyNote;
        std::optional<QString> restartHint;
        std::optional<QString> restartButtonText;
    };
    struct Actions
    {
        // Absent: the desktop has no settings page to open, and no button offers one.
        std::function<void()> buttonAction;
        std::function<void()> restartAction;
        std::function<void()> nextAction;
        std::function<void()> skipAction;
    };

    PermissionSlide(Scheduler &scheduler, const QString &icon, Actions actions, QWidget *parent = nullptr);

    void setTexts(const Texts &texts);
    bool isGranted() const { return m_granted; }
    // Shows the granted state or the buttons; a change bounces the symbol.
    void setGranted(bool granted);
    bool hasClickedSettings() const { return m_hasClickedSettings; }

    QString title() const;
    QString shownSymbol() const;
    SlideButton *openSettingsButton() const { return m_openSettings; }
    SlideButton *restartButton() const { return m_restartButton; }
    SlideButton *continueButton() const { return m_continue; }
    SlideButton *skipButton() const { return m_skip; }
    // Visible here means shown whenever the slide is (widgets report false on a hidden slide).
    bool showsRestartBlock() const;
    bool showsPrivacyNote() const;
    bool showsGrantedState() const;
    // A block that just appeared fades in over this long: the granted state or the buttons when
    // the permission changes, the restart block once the settings button was pressed. (Their scale
    // from nothing is not drawn: widgets in a layout cannot be scaled without laying them out
    // again; the fade carries the change alone, and leaving blocks go at once.)
    static constexpr double blockFadeDuration = 0.35;
    // The opacity the block is drawn with now: below 1 while it fades in.
    double blockOpacity(const QWidget *block) const;
    QWidget *grantedBlock() const { return m_grantedBlock; }
    QWidget *restartBlock() const { return m_restartBlock; }

private:
    void updateState();
    // Fades `block` in when it was hidden and is shown now.
    void fadeIn(QWidget *block, bool wasShown);

    QString m_icon;
    Actions m_actions;
    Texts m_texts;
    bool m_granted = false;
    bool m_hasClickedSettings = false;

    SlideSymbol *m_symbol;
    QLabel *m_title;
    QLabel *m_desc;
    QWidget *m_privacyRow;
    QLabel *m_privacyNote;
    QWidget *m_grantedBlock;
    QLabel *m_grantedText;
    SlideButton *m_continue;
    QWidget *m_missingBlock;
    SlideButton *m_openSettings = nullptr;
    QWidget *m_restartBlock;
    QLabel *m_restartHint;
    SlideButton *m_restartButton = nullptr;
    SlideButton *m_skip = nullptr;
    QWidget *m_fadingBlock = nullptr;
    QGraphicsOpacityEffect *m_fadingOpacity = nullptr; // owned by m_fadingBlock
    Animation m_blockFade;
};

} // namespace qv
