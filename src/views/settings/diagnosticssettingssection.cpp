#include "views/settings/diagnosticssettingssection.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/diagnostics/mainthreadwatchdog.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "runtime/scheduler.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

// The desktop's standard switch, not the glass toggle of the other pages: a capsule filled with the
// accent colour when on and a light grey when off, with a white knob at its end, legible on the
// dark page. The whole switch takes the click.
class StandardSwitch : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;
    QSize sizeHint() const override { return QSize(40, 24); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
        const double radius = track.height() / 2;
        painter.setPen(isChecked() ? Qt::NoPen : QPen(Theme::white(0.35), 1));
        painter.setBrush(isChecked() ? Theme::systemBlue() : Theme::white(0.22));
        painter.drawRoundedRect(track, radius, radius);
        const double knob = track.height() - 4;
        const QPointF centre(isChecked() ? track.right() - 2 - knob / 2 : track.left() + 2 + knob / 2,
                             track.center().y());
        painter.setPen(QPen(Theme::black(0.25), 0.5));
        painter.setBrush(isEnabled() ? QColor(Qt::white) : QColor(200, 200, 200));
        painter.drawEllipse(centre, knob / 2, knob / 2);
        if (hasFocus()) {
            painter.setPen(QPen(withAlpha(Theme::systemBlue(), 0.6), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(track.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
        }
    }
};

} // namespace

DiagnosticsSettingsSection::DiagnosticsSettingsSection(SettingsStore &settings,
                                                       DiagnosticsManager &diagnostics, Scheduler &scheduler,
                                                       AppLanguage language, QWidget *parent)
    : SettingsPage(parent), m_settings(settings), m_diagnostics(diagnostics), m_scheduler(scheduler)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(24);

    auto *title = new QHBoxLayout;
    title->setSpacing(10);
    title->addWidget(settingsSymbol(QStringLiteral("stethoscope"), 22, Color::neonCyan(), this));
    title->addWidget(
        settingsLabel(settingsText("tab_diagnostics", language), 20, QFont::Bold, Qt::white, this));
    title->addStretch();
    column->addLayout(title);

    auto *card = new CardFrame(Theme::white(0.04), Theme::white(0.08), 12, this);
    auto *rows = new QVBoxLayout(card);
    rows->setContentsMargins(20, 20, 20, 20);
    rows->setSpacing(16);

    auto *switchRow = new QHBoxLayout;
    auto *labels = new QVBoxLayout;
    labels->setSpacing(2);
    labels->addWidget(
        settingsLabel(settingsText("diag_toggle", language), 14, QFont::DemiBold, Qt::white, card));
    QLabel *desc =
        settingsLabel(settingsText("diag_desc", language), 11, QFont::Normal, Theme::white(0.5), card);
    desc->setWordWrap(true);
    labels->addWidget(desc);
    switchRow->addLayout(labels, 1);
    m_switch = new StandardSwitch(card);
    m_switch->setObjectName(QStringLiteral("diagnosticsSwitch"));
    m_switch->setCursor(Qt::PointingHandCursor);
    switchRow->addWidget(m_switch, 0, Qt::AlignVCenter);
    rows->addLayout(switchRow);

    m_counts = new QWidget(card);
    m_counts->setObjectName(QStringLiteral("counts"));
    auto *counts = new QHBoxLayout(m_counts);
    counts->setContentsMargins(0, 4, 0, 4);
    counts->setSpacing(20);
    const auto countItem = [&](const QString &symbol, const char *key) {
        auto *item = new QHBoxLayout;
        item->setSpacing(6);
        item->addWidget(settingsSymbol(symbol, 12, withAlpha(Color::neonCyan(), 0.7), m_counts));
        item->addWidget(
            settingsLabel(settingsText(key, language), 11, QFont::Normal, Theme::white(0.5), m_counts));
        QLabel *value = settingsLabel(QStringLiteral("0"), 13, QFont::Bold, Theme::white(0.8), m_counts);
        value->setFont(Theme::monospaced(value->font()));
        item->addWidget(value);
        counts->addLayout(item);
        return value;
    };
    m_logFilesValue = countItem(QStringLiteral("doc.text"), "diag_log_files");
    m_eventsValue = countItem(QStringLiteral("list.bullet.rectangle"), "diag_buffered_events");
    counts->addStretch();
    rows->addWidget(m_counts);
    rows->addWidget(settingsDivider(card));

    m_export = new QPushButton(settingsText("diag_export", language), card);
    m_export->setObjectName(QStringLiteral("export"));
    m_export->setIcon(
        QIcon(Symbols::pixmap(QStringLiteral("square.and.arrow.up"), 13, Qt::white, devicePixelRatioF())));
    m_export->setFont(Theme::systemFont(13, QFont::Medium));
    m_export->setCursor(Qt::PointingHandCursor);
    m_export->setStyleSheet(QStringLiteral("QPushButton { color: white; background: rgba(255,255,255,26); "
                                           "border: 1px solid rgba(255,255,255,38);"
                                           " border-radius: 8px; padding: 8px 16px; }"
                                           "QPushButton:disabled { color: rgba(255,255,255,110); }"));
    rows->addWidget(m_export, 0, Qt::AlignLeft);
    // A fixed English line, as support reads it.
    QLabel *footnote = settingsLabel(
        QStringLiteral(
            "Exports log files, recent events, and sanitized settings into a ZIP archive for support."),
        11, QFont::Normal, Theme::white(0.4), card);
    footnote->setWordWrap(true);
    rows->addWidget(footnote);
    column->addWidget(card);
    column->addStretch();

    connect(m_switch, &QCheckBox::toggled, this, [this](bool on) {
        if (on != diagnosticsEnabled())
            setDiagnosticsEnabled(on);
    });
    connect(m_export, &QPushButton::clicked, this, &DiagnosticsSettingsSection::exportDiagnostics);
    refreshStats();
}

bool DiagnosticsSettingsSection::diagnosticsEnabled() const
{
    return m_settings.get(Settings::diagnosticsEnabled);
}

bool DiagnosticsSettingsSection::countsShown() const
{
    return !m_counts->isHidden();
}

void DiagnosticsSettingsSection::setDiagnosticsEnabled(bool enabled)
{
    if (!m_settings.set(Settings::diagnosticsEnabled, enabled)) {
        // Not saved, so not made: the switch shows what is stored and recording stays as it was.
        m_switch->setChecked(diagnosticsEnabled());
        return;
    }
    if (enabled) {
        m_diagnostics.enable();
        if (MainThreadWatchdog *watchdog = m_diagnostics.watchdog())
            watchdog->start();
    } else {
        m_diagnostics.disable();
    }
    refreshStats();
}

void DiagnosticsSettingsSection::refreshStats()
{
    m_eventCount = m_diagnostics.bufferedEventCount();
    m_logFileCount = int(m_diagnostics.logFileURLs().size());
    sync();
}

void DiagnosticsSettingsSection::exportDiagnostics()
{
    if (m_isExporting)
        return;
    m_isExporting = true;
    sync();
    m_diagnostics.exportDiagnostics();
    // Counted from the press: a save dialog left open does not keep the button resting.
    m_scheduler.after(exportRestSeconds, [self = QPointer<DiagnosticsSettingsSection>(this)] {
        if (!self)
            return;
        self->m_isExporting = false;
        self->sync();
    });
}

void DiagnosticsSettingsSection::sync()
{
    const bool on = diagnosticsEnabled();
    {
        const QSignalBlocker quiet(m_switch);
        m_switch->setChecked(on);
    }
    m_counts->setHidden(!on);
    m_logFilesValue->setText(QString::number(m_logFileCount));
    m_eventsValue->setText(QString::number(m_eventCount));
    m_export->setEnabled(!m_isExporting);
}

} // namespace qv
