#include "views/settings/shortcutssettingssection.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "dock/keyboardshortcut.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/onboarding/slidebutton.h"
#include "views/settings/keydownmonitor.h"
#include "views/settings/settingsview.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

// The recorder card's inner width: the window's page column less the card's padding.
constexpr int cardContentWidth = SettingsView::contentWidth - SettingsView::sidebarWidth - 2 * 40 - 2 * 20;

// Room beside a button's text where a language's text is wider than the button's usual frame.
constexpr QMargins buttonPadding(16, 0, 16, 0);

// The button's usual frame, widened where its text needs more.
void atLeast(QWidget *button, QSize frame)
{
    button->setMinimumSize(frame);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

} // namespace

ShortcutsSettingsSection::ShortcutsSettingsSection(SettingsStore &settings, DockMonitor *dockMonitor,
                                                   AppLanguage language, QWidget *parent)
    : SettingsPage(parent), m_settings(settings), m_dockMonitor(dockMonitor), m_language(language)
{
    const auto text = [language](const char *key) { return settingsText(key, language); };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(32);

    auto *header = new QVBoxLayout;
    header->setSpacing(8);
    QLabel *title = settingsLabel(text("shortcut_title"), 28, QFont::Bold, Qt::white, this);
    title->setWordWrap(true);
    header->addWidget(title);
    QLabel *desc = settingsLabel(text("shortcut_desc"), 15, QFont::Normal, Theme::white(0.6), this);
    desc->setWordWrap(true);
    header->addWidget(desc);
    layout->addLayout(header);

    auto *card = new CardFrame(Theme::white(0.03), Theme::white(0.08), 20, this);
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(20, 40, 20, 40);
    cardLayout->setSpacing(30);
    m_upper = new QVBoxLayout;
    cardLayout->addLayout(m_upper);
    m_prompt = settingsLabel(text("shortcut_recording"), 18, QFont::Medium, Color::neonCyan(), card);
    m_prompt->setAlignment(Qt::AlignCenter);
    m_prompt->setContentsMargins(0, 30, 0, 30);
    m_upper->addWidget(m_prompt);

    m_recordButton = new SlideButton({Theme::systemFont(15, QFont::Bold), Qt::white, Theme::white(0.05),
                                      Theme::white(0.2), 10, buttonPadding, QColor(), 0},
                                     card);
    m_recordButton->setText(text("shortcut_record_btn"));
    atLeast(m_recordButton, QSize(200, 44));
    connect(m_recordButton, &SlideButton::clicked, this, &ShortcutsSettingsSection::startRecording);
    cardLayout->addWidget(m_recordButton, 0, Qt::AlignHCenter);

    m_review = new QWidget(card);
    auto *reviewLayout = new QHBoxLayout(m_review);
    reviewLayout->setContentsMargins(0, 0, 0, 0);
    reviewLayout->setSpacing(20);
    m_confirmButton = new SlideButton({Theme::systemFont(15, QFont::Bold), Color::neonGreen(),
                                       withAlpha(Color::neonGreen(), 0.2), Color::neonGreen(), 8,
                                       buttonPadding, QColor(), 0},
                                      m_review);
    m_confirmButton->setText(text("shortcut_confirm"));
    atLeast(m_confirmButton, QSize(140, 40));
    connect(m_confirmButton, &SlideButton::clicked, this, &ShortcutsSettingsSection::confirmShortcut);
    m_cancelButton = new SlideButton({Theme::systemFont(15, QFont::Medium), Qt::white, Theme::white(0.1),
                                      QColor(), 8, buttonPadding, QColor(), 0},
                                     m_review);
    m_cancelButton->setText(text("shortcut_cancel"));
    atLeast(m_cancelButton, QSize(140, 40));
    connect(m_cancelButton, &SlideButton::clicked, this, &ShortcutsSettingsSection::stopRecording);
    reviewLayout->addWidget(m_confirmButton);
    reviewLayout->addWidget(m_cancelButton);
    cardLayout->addWidget(m_review, 0, Qt::AlignHCenter);

    m_heldLine = settingsLabel(text("shortcut_held_elsewhere"), 13, QFont::Medium, Color::neonRed(), card);
    m_heldLine->setWordWrap(true);
    m_heldLine->setAlignment(Qt::AlignCenter);
    cardLayout->addWidget(m_heldLine);
    m_takenLine = qv::takenLine(card);
    cardLayout->addWidget(m_takenLine);
    layout->addWidget(card);

    auto *tips = new CardFrame(Theme::white(0.02), Theme::white(0.05), 20, this);
    auto *tipsLayout = new QVBoxLayout(tips);
    tipsLayout->setContentsMargins(30, 30, 30, 30);
    tipsLayout->setSpacing(16);
    auto *tipsTitle = new QHBoxLayout;
    auto *bulb = new QLabel(tips);
    bulb->setPixmap(Symbols::pixmap(QStringLiteral("lightbulb.fill"), 20, Theme::systemYellow(),
                                    devicePixelRatioF()));
    tipsTitle->addWidget(bulb);
    tipsTitle->addWidget(settingsLabel(text("shortcut_tips_title"), 18, QFont::Bold, Qt::white, tips));
    tipsTitle->addStretch();
    tipsTitle->setContentsMargins(0, 0, 0, 4);
    tipsLayout->addLayout(tipsTitle);
    for (const char *key : {"shortcut_tips_1", "shortcut_tips_2", "shortcut_tips_3"}) {
        QLabel *tip = settingsLabel(text(key), 14, QFont::Normal, Theme::white(0.7), tips);
        tip->setWordWrap(true);
        tipsLayout->addWidget(tip);
    }
    layout->addWidget(tips);
    layout->addStretch();

    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::customKeyCode.key() || key == Settings::customFlags.key())
            refresh();
    });
    if (m_dockMonitor)
        connect(m_dockMonitor, &DockMonitor::refusedShortcutsChanged, this, &ShortcutsSettingsSection::refresh);
    refresh();
}

ShortcutsSettingsSection::~ShortcutsSettingsSection()
{
    KeyDownMonitor::remove(m_monitor);
}

ShortcutsSettingsSection::State ShortcutsSettingsSection::state() const
{
    if (m_isRecording)
        return State::listening;
    return m_temp ? State::review : State::idle;
}

void ShortcutsSettingsSection::startRecording()
{
    KeyDownMonitor::remove(m_monitor);
    m_isRecording = true;
    m_temp.reset();
    m_refusedBy.reset();
    // From here until stopRecording() no hotkey fires and the grabs stand aside, so pressing the
    // current shortcut records it instead of opening the Super Panel.
    m_settings.set(Settings::isRecordingShortcut, true);
    m_heldElsewhere = false;
    m_monitor = new KeyDownMonitor([this](const KeyCombination &pressed) { return handleKeyDown(pressed); }, this);
    m_monitor->setOnTakenElsewhere([this] { keyTakenElsewhere(); });
    refresh();
}

void ShortcutsSettingsSection::keyTakenElsewhere()
{
    // The combination pressed belongs to another program (the window manager's bindings): it never
    // reaches this window and could never open the Super Panel. Listening on would wait for ever.
    if (!m_isRecording)
        return;
    stopRecording();
    m_heldElsewhere = true;
    refresh();
}

bool ShortcutsSettingsSection::handleKeyDown(const KeyCombination &pressed)
{
    // A key without Ctrl, Alt or Super (alone or with Shift) passes on and the recorder listens on.
    if (!m_isRecording || !KeyboardShortcut::holdsCommandModifier(pressed))
        return false;
    // A combination another of our hotkeys takes would never open the Super Panel: refused the same
    // way, with a line saying which hotkey has it.
    m_refusedBy = KeyboardShortcut::takenBy(m_settings, pressed, KeyboardShortcut::Hotkey::switcher);
    if (m_refusedBy) {
        refresh();
        return false;
    }
    m_temp = KeyCombination{pressed.keyCode, pressed.flags & keyModifierMask};
    m_isRecording = false;
    KeyDownMonitor::remove(m_monitor);
    refresh();
    return true;
}

void ShortcutsSettingsSection::confirmShortcut()
{
    // "isRecordingShortcut" is still set while the pair is written, so no half-written pair can
    // fire; the new one is in force once stopRecording() clears it.
    if (m_temp)
        KeyboardShortcut::write(m_settings, KeyboardShortcut::switcherKeys(), *m_temp);
    stopRecording();
}

void ShortcutsSettingsSection::stopRecording()
{
    m_isRecording = false;
    m_temp.reset();
    m_refusedBy.reset();
    m_settings.set(Settings::isRecordingShortcut, false);
    KeyDownMonitor::remove(m_monitor);
    refresh();
}

QStringList ShortcutsSettingsSection::keycapTexts() const
{
    QStringList texts;
    if (!m_caps || m_caps->isHidden())
        return texts;
    for (const auto *cap : m_caps->findChildren<KeycapView *>(QString(), Qt::FindDirectChildrenOnly))
        texts << cap->text();
    return texts;
}

void ShortcutsSettingsSection::refresh()
{
    const State now = state();
    const KeyCombination stored = KeyboardShortcut::read(m_settings, KeyboardShortcut::switcherKeys());
    delete m_caps;
    m_caps = new QWidget(this);
    auto *caps = new QHBoxLayout(m_caps);
    caps->setContentsMargins(0, 20, 0, 20);
    caps->setSpacing(16);
    caps->addStretch();
    QList<KeycapView *> views;
    int natural = 0;
    for (const QString &part :
         KeyboardShortcut::keycapParts(m_temp.value_or(stored), KeyboardShortcut::KeycapSize::large)) {
        views << new KeycapView(part, KeyboardShortcut::KeycapSize::large, m_caps);
        natural += views.last()->sizeHint().width() + caps->spacing();
        caps->addWidget(views.last());
    }
    caps->addStretch();
    // Spelled-out modifiers make five caps wider than the card: the row shrinks as a whole, so no
    // cap is cut.
    if (natural > cardContentWidth) {
        for (KeycapView *view : std::as_const(views))
            view->setScale(double(cardContentWidth) / natural);
    }
    m_upper->insertWidget(0, m_caps);
    m_caps->setVisible(now != State::listening);
    m_prompt->setVisible(now == State::listening);
    m_recordButton->setVisible(now == State::idle);
    m_review->setVisible(now == State::review);
    const bool held = now == State::idle && (m_heldElsewhere || (m_dockMonitor && m_dockMonitor->refusedShortcuts().contains(stored)));
    m_heldLine->setVisible(held);
    showTaken(m_takenLine, now == State::listening ? m_refusedBy : std::nullopt, m_language);
}

} // namespace qv
