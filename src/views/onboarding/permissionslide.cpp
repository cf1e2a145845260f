#include "views/onboarding/permissionslide.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "core/color.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/onboarding/slidebutton.h"
#include "views/onboarding/slidesymbol.h"
#include "views/onboarding/slidetext.h"

namespace qv {

namespace {

const QString grantedSymbol = QStringLiteral("checkmark.circle.fill");

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// A small symbol followed by a note; the caller sets the spacing, colour and insets.
QWidget *noteRow(const QString &symbolName, QLabel *&note, int spacing, double opacity, int inset,
                 QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(inset, 0, inset, 0);
    layout->setSpacing(spacing);
    layout->addStretch();
    auto *symbol = new QLabel(row);
    symbol->setPixmap(Symbols::pixmap(symbolName, 11, Theme::white(opacity), row->devicePixelRatioF()));
    note = SlideText::label(Theme::systemFont(12), Theme::white(opacity), row);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(note);
    layout->addStretch();
    return row;
}

// A wrapping label beside a symbol gets only its narrowest width: a note is given the width of its
// text, up to what the row leaves, so it wraps only when it must.
void setNote(QLabel *note, const QString &text, int widest)
{
    note->setText(text);
    note->setMinimumWidth(std::min(note->fontMetrics().horizontalAdvance(text) + 2, widest));
}

} // namespace

PermissionSlide::PermissionSlide(Scheduler &scheduler, const QString &icon, Actions actions, QWidget *parent)
    : QWidget(parent), m_icon(icon), m_actions(std::move(actions)), m_blockFade(scheduler)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(24);
    layout->addStretch();

    m_symbol = new SlideSymbol(scheduler, 60, this);
    layout->addWidget(m_symbol, 0, Qt::AlignHCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(8);
    m_title = SlideText::label(Theme::systemFont(26, QFont::Bold), Qt::white, this);
    m_desc = SlideText::label(SlideText::body(), Theme::white(0.7), this);
    m_desc->setContentsMargins(40, 0, 40, 0);
    texts->addWidget(m_title);
    texts->addWidget(m_desc);
    m_privacyRow = noteRow(QStringLiteral("lock.shield"), m_privacyNote, 5, 0.45, 50, this);
    m_privacyRow->setContentsMargins(0, 2, 0, 0);
    texts->addWidget(m_privacyRow);
    layout->addLayout(texts);

    m_grantedBlock = new QWidget(this);
    auto *granted = new QVBoxLayout(m_grantedBlock);
    granted->setContentsMargins(0, 0, 0, 0);
    granted->setSpacing(12);
    m_grantedText = SlideText::label(SlideText::headline(), Theme::systemGreen(), m_grantedBlock);
    m_continue = new SlideButton({SlideText::headline(), Qt::black, Color::neonCyan(), QColor(), 20,
                                  QMargins(30, 10, 30, 10), QColor(), 0},
                                 m_grantedBlock);
    connect(m_continue, &SlideButton::clicked, this, [this] {
        if (m_actions.nextAction)
            m_actions.nextAction();
    });
    granted->addWidget(m_grantedText);
    granted->addWidget(m_continue, 0, Qt::AlignHCenter);
    layout->addWidget(m_grantedBlock);

    m_missingBlock = new QWidget(this);
    auto *missing = new QVBoxLayout(m_missingBlock);
    missing->setContentsMargins(0, 0, 0, 0);
    missing->setSpacing(10);
    if (m_actions.buttonAction) {
        m_openSettings = new SlideButton({SlideText::headline(), Qt::white, Theme::white(0.1),
                                          Theme::white(0.2), 10, QMargins(20, 10, 20, 10), QColor(), 0},
                                         m_missingBlock);
        connect(m_openSettings, &SlideButton::clicked, this, [this] {
            m_hasClickedSettings = true;
            updateState();
            m_actions.buttonAction();
        });
        missing->addWidget(m_openSettings, 0, Qt::AlignHCenter);
    }
    m_restartBlock = new QWidget(m_missingBlock);
    auto *restart = new QVBoxLayout(m_restartBlock);
    restart->setContentsMargins(0, 0, 0, 0);
    restart->setSpacing(8);
    restart->addWidget(
        noteRow(QStringLiteral("arrow.clockwise"), m_restartHint, 4, 0.55, 40, m_restartBlock));
    if (m_actions.restartAction) {
        m_restartButton = new SlideButton(
            {Theme::systemFont(12, QFont::Medium), Qt::white, withAlpha(Color::neonCyan(), 0.3),
             withAlpha(Color::neonCyan(), 0.5), 8, QMargins(14, 6, 14, 6), QColor(), 0},
            m_restartBlock);
        connect(m_restartButton, &SlideButton::clicked, this, [this] { m_actions.restartAction(); });
        restart->addWidget(m_restartButton, 0, Qt::AlignHCenter);
    }
    missing->addWidget(m_restartBlock);
    if (m_actions.skipAction) {
        m_skip = new SlideButton({Theme::systemFont(12), Theme::white(0.4), Qt::transparent, QColor(), 0,
                                  QMargins(4, 4, 4, 2), QColor(), 0},
                                 m_missingBlock);
        connect(m_skip, &SlideButton::clicked, this, [this] { m_actions.skipAction(); });
        missing->addSpacing(2);
        missing->addWidget(m_skip, 0, Qt::AlignHCenter);
    }
    layout->addWidget(m_missingBlock);
    layout->addStretch();
    updateState();
}

void PermissionSlide::setTexts(const Texts &texts)
{
    m_texts = texts;
    m_title->setText(texts.title);
    m_desc->setText(texts.desc);
    setNote(m_privacyNote, texts.privacyNote.value_or(QString()), 430);
    m_grantedText->setText(texts.grantedText);
    m_continue->setText(texts.continueText);
    if (m_openSettings)
        m_openSettings->setText(texts.openSettingsText);
    setNote(m_restartHint, texts.restartHint.value_or(QString()), 460);
    // The restart button needs both its text and its action.
    if (m_restartButton) {
        m_restartButton->setText(texts.restartButtonText.value_or(QString()));
        m_restartButton->setVisible(texts.restartButtonText.has_value());
    }
    if (m_skip)
        m_skip->setText(texts.skipText);
    updateState();
}

void PermissionSlide::setGranted(bool granted)
{
    if (granted == m_granted)
        return;
    m_granted = granted;
    updateState();
    m_symbol->bounce();
}

void PermissionSlide::updateState()
{
    m_symbol->setSymbol(m_granted ? grantedSymbol : m_icon,
                        m_granted ? Theme::systemGreen() : QColor(Qt::white));
    m_privacyRow->setVisible(m_texts.privacyNote.has_value());
    const bool grantedWasShown = !m_grantedBlock->isHidden();
    const bool missingWasShown = !m_missingBlock->isHidden();
    const bool restartWasShown = !m_restartBlock->isHidden();
    m_grantedBlock->setVisible(m_granted);
    m_missingBlock->setVisible(!m_granted);
    m_restartBlock->setVisible(m_hasClickedSettings && m_texts.restartHint.has_value());
    fadeIn(m_grantedBlock, grantedWasShown);
    fadeIn(m_missingBlock, missingWasShown);
    fadeIn(m_restartBlock, restartWasShown);
}

void PermissionSlide::fadeIn(QWidget *block, bool wasShown)
{
    if (wasShown || block->isHidden())
        return;
    // One fade at a time; one still running ends where it was going.
    if (m_fadingBlock) {
        m_blockFade.cancel();
        m_fadingBlock->setGraphicsEffect(nullptr);
    }
    m_fadingBlock = block;
    m_fadingOpacity = new QGraphicsOpacityEffect(block);
    m_fadingOpacity->setOpacity(0);
    block->setGraphicsEffect(m_fadingOpacity);
    m_blockFade.start(
        0, 1, blockFadeDuration, Animation::easeInOut(blockFadeDuration),
        [this](double opacity) { m_fadingOpacity->setOpacity(opacity); },
        [this] {
            m_fadingBlock->setGraphicsEffect(nullptr); // deletes the effect
            m_fadingBlock = nullptr;
            m_fadingOpacity = nullptr;
        });
}

double PermissionSlide::blockOpacity(const QWidget *block) const
{
    return block == m_fadingBlock && m_fadingOpacity ? m_fadingOpacity->opacity() : 1.0;
}

QString PermissionSlide::title() const
{
    return m_title->text();
}

QString PermissionSlide::shownSymbol() const
{
    return m_symbol->symbolName();
}

bool PermissionSlide::showsRestartBlock() const
{
    return !m_granted && m_restartBlock->isVisibleTo(this);
}

bool PermissionSlide::showsPrivacyNote() const
{
    return m_privacyRow->isVisibleTo(this);
}

bool PermissionSlide::showsGrantedState() const
{
    return m_grantedBlock->isVisibleTo(this);
}

} // namespace qv
