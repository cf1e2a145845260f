#include "views/settings/appearancesettingssection.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "core/color.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "ui/revealbox.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/onboarding/slidebutton.h"
#include "views/settings/glasstoggle.h"
#include "views/settings/keydownmonitor.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

// Slider positions per unit of the setting: fine enough to feel continuous.
constexpr int sliderSteps = 1000;
constexpr double blockSpringResponse = 0.3;
constexpr double blockSpringDamping = 0.7;

// One segment of the popup edge picker.
class SegmentButton : public QAbstractButton
{
public:
    SegmentButton(const QString &text, QWidget *parent) : QAbstractButton(parent)
    {
        setText(text);
        setCheckable(true);
        setFont(Theme::systemFont(12, QFont::Medium));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    // A segment is never narrower than its label.
    QSize sizeHint() const override
    {
        return QSize(qMax(60, fontMetrics().horizontalAdvance(text()) + 12), 24);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isChecked()) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
            painter.fillPath(shape, Theme::white(0.25));
        }
        painter.setPen(isChecked() ? QColor(Qt::white) : Theme::white(0.75));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

// The label on the left of a row: where the controls on the right leave too little room in a
// language, it wraps instead of pushing the row wider than the page.
QLabel *rowLabel(const QString &text, QWidget *parent)
{
    QLabel *label = settingsLabel(text, 14, QFont::Normal, Theme::white(0.8), parent);
    label->setWordWrap(true);
    return label;
}

KeyboardShortcut::Hotkey hotkeyOf(AppearanceSettingsSection::Recorder recorder)
{
    return recorder == AppearanceSettingsSection::Recorder::clipboard ? KeyboardShortcut::Hotkey::clipboard
                                                                      : KeyboardShortcut::Hotkey::shelf;
}

const KeyboardShortcut::Keys keysOf(AppearanceSettingsSection::Recorder recorder)
{
    return KeyboardShortcut::keysOf(hotkeyOf(recorder));
}

struct EdgeSegment
{
    const char *labelKey;
    const char *value;
};

constexpr EdgeSegment edgeSegmentValues[] = {
    {"edge_top", "top"},
    {"edge_bottom", "bottom"},
    {"edge_left", "leading"},
    {"edge_right", "trailing"},
};

} // namespace

AppearanceSettingsSection::AppearanceSettingsSection(SettingsStore &settings, Scheduler &scheduler,
                                                     AppLanguage language, bool hasHaptics, QWidget *parent)
    : SettingsPage(parent), m_settings(settings), m_scheduler(scheduler), m_language(language)
{
    const auto text = [language](const char *key) { return settingsText(key, language); };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(24);
    layout->addWidget(sliderCard(Settings::hoverDelay, "hover_delay", &hoverDelayText, Color::neonCyan()));
    layout->addWidget(sliderCard(Settings::animationSpeed, "response_speed", &speedText, Color::neonCyan()));
    layout->addWidget(sliderCard(Settings::blurAmount, "bg_blur", &blurText, Color::neonPurple()));
    const auto toggle = [&](const SettingKey<bool> &key, const char *label) {
        GlassToggle *t = GlassToggle::bound(settings, key, text(label), scheduler, this);
        m_toggles.append(t);
        return t;
    };
    layout->addWidget(toggle(Settings::glowEffect, "neon_effect"));
    layout->addWidget(toggle(Settings::enablePeeking, "enable_peeking"));
    layout->addWidget(settingsDivider(this));
    if (hasHaptics)
        layout->addWidget(toggle(Settings::enableSnapHaptic, "enable_snap_haptic"));
    layout->addWidget(toggle(Settings::enableSnapSound, "enable_snap_sound"));
    layout->addWidget(settingsDivider(this));
    layout->addWidget(moduleCard());
    layout->addStretch();

    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::enableModuleHotkeys.key()) {
            const bool on = m_settings.get(Settings::enableModuleHotkeys);
            // A recorder left listening behind a hidden block would keep every hotkey dead and
            // swallow the next modified key press anywhere in the application.
            if (!on)
                stopRecording();
            m_recorderBlock->setRevealed(on);
        } else if (key == Settings::popupEdge.key()) {
            refreshEdge();
        } else if (key.startsWith(QLatin1String("clipboard")) || key.startsWith(QLatin1String("shelf"))) {
            refreshRecorders();
        }
    });
}

AppearanceSettingsSection::~AppearanceSettingsSection()
{
    KeyDownMonitor::remove(m_monitor);
}

QString AppearanceSettingsSection::hoverDelayText(double seconds)
{
    return QString::asprintf("%.1fs", Settings::hoverDelay.clamp(seconds));
}

QString AppearanceSettingsSection::speedText(double speed)
{
    return QString::asprintf("%.1fx", Settings::animationSpeed.clamp(speed));
}

QString AppearanceSettingsSection::blurText(double blur)
{
    // Clamped before it becomes an integer: converting NaN or a huge double is undefined.
    return QStringLiteral("%1px").arg(qint64(std::trunc(Settings::blurAmount.clamp(blur))));
}

QWidget *AppearanceSettingsSection::sliderCard(const RangedSettingKey &key, const char *labelKey,
                                               QString (*format)(double), const QColor &accent)
{
    auto *card = new CardFrame(Theme::white(0.05), QColor(), 12, this);
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    auto *header = new QHBoxLayout;
    header->addWidget(rowLabel(Localization::text(QLatin1String(labelKey), m_language), card), 1);
    QLabel *value = settingsLabel(QString(), 12, QFont::Normal, accent, card);
    value->setFont(Theme::monospaced(Theme::systemFont(12)));
    header->addWidget(value);
    layout->addLayout(header);

    auto *slider = new QSlider(Qt::Horizontal, card);
    slider->setRange(int(std::lround(key.minimum * sliderSteps)), int(std::lround(key.maximum * sliderSteps)));
    slider->setStyleSheet(QStringLiteral("QSlider::groove:horizontal { height: 4px; background: rgba(255,255,255,40);"
                                         " border-radius: 2px; }"
                                         "QSlider::sub-page:horizontal { background: %1; border-radius: 2px; }"
                                         "QSlider::handle:horizontal { background: white; width: 16px;"
                                         " margin: -6px 0; border-radius: 8px; }")
                              .arg(accent.name()));
    layout->addWidget(slider);
    m_valueLabels.append(value);
    m_sliders.append(slider);

    const auto show = [this, &key, slider, value, format] {
        const double stored = m_settings.get(key);
        value->setText(format(stored));
        const QSignalBlocker quiet(slider);
        slider->setValue(int(std::lround(key.clamp(stored) * sliderSteps)));
    };
    show();
    connect(slider, &QSlider::valueChanged, this,
            [this, &key](int position) { m_settings.set(key, double(position) / sliderSteps); });
    connect(&m_settings, &SettingsStore::changed, card, [&key, show](const QString &changed) {
        if (changed == key.key())
            show();
    });
    return card;
}

QWidget *AppearanceSettingsSection::moduleCard()
{
    const auto text = [this](const char *key) { return settingsText(key, m_language); };
    auto *card = new CardFrame(Theme::white(0.03), Theme::white(0.08), 14, this);
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    auto *symbol = new QLabel(card);
    symbol->setPixmap(Symbols::pixmap(QStringLiteral("keyboard.badge.ellipsis"), 16, Color::neonCyan(),
                                      devicePixelRatioF()));
    header->addWidget(symbol);
    QLabel *title = settingsLabel(text("advanced_hotkeys_layout"), 15, QFont::Bold, Qt::white, card);
    title->setWordWrap(true);
    header->addWidget(title, 1);
    layout->addLayout(header);
    m_moduleToggle = GlassToggle::bound(m_settings, Settings::enableModuleHotkeys, text("enable_module_hotkeys"),
                                        m_scheduler, card);
    layout->addWidget(m_moduleToggle);

    auto *rows = new QWidget(card);
    auto *block = new QVBoxLayout(rows);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(14);
    block->addWidget(recorderRow(Recorder::clipboard, "clipboard_hotkey", Color::neonGreen()));
    block->addWidget(recorderRow(Recorder::shelf, "shelf_hotkey", Color::neonCyan()));
    m_takenLine = qv::takenLine(rows);
    block->addWidget(m_takenLine);
    block->addWidget(edgeRow());
    m_recorderBlock = new RevealBox(rows, m_settings.get(Settings::enableModuleHotkeys), m_scheduler,
                                    blockSpringResponse, blockSpringDamping, card);
    layout->addWidget(m_recorderBlock);
    refreshRecorders();
    refreshEdge();
    return card;
}

QWidget *AppearanceSettingsSection::recorderRow(Recorder recorder, const char *labelKey, const QColor &accent)
{
    auto *row = new CardFrame(Theme::white(0.05), QColor(), 10, this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(rowLabel(Localization::text(QLatin1String(labelKey), m_language), row), 1);
    RecorderRow &parts = m_rows[recorder == Recorder::clipboard ? 0 : 1];
    parts.display = new QWidget(row);
    auto *display = new QHBoxLayout(parts.display);
    display->setContentsMargins(0, 0, 0, 0);
    display->setSpacing(4);
    layout->addWidget(parts.display);
    parts.record = new SlideButton({Theme::systemFont(12, QFont::Medium), accent, withAlpha(accent, 0.1), QColor(), 6,
                                    QMargins(10, 5, 10, 5), QColor(), 0},
                                   row);
    parts.record->setText(Localization::text(u"record", m_language));
    connect(parts.record, &SlideButton::clicked, this, [this, recorder] { startRecording(recorder); });
    layout->addWidget(parts.record);
    parts.display->setProperty("accent", accent);
    return row;
}

QWidget *AppearanceSettingsSection::edgeRow()
{
    auto *row = new CardFrame(Theme::white(0.05), QColor(), 10, this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(rowLabel(Localization::text(u"popup_edge", m_language), row), 1);
    auto *picker = new CardFrame(Theme::white(0.1), QColor(), 7, row);
    // 260 wide, or wider where the segments' labels need it.
    picker->setMinimumWidth(260);
    picker->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *segments = new QHBoxLayout(picker);
    segments->setContentsMargins(2, 2, 2, 2);
    segments->setSpacing(2);
    for (const auto &segment : edgeSegmentValues) {
        auto *button = new SegmentButton(Localization::text(QLatin1String(segment.labelKey), m_language), picker);
        const QString value = QString::fromLatin1(segment.value);
        connect(button, &QAbstractButton::clicked, this, [this, value] {
            m_settings.set(Settings::popupEdge, value);
            refreshEdge();
        });
        segments->addWidget(button);
        m_edgeSegments.append(button);
    }
    layout->addWidget(picker);
    return row;
}

void AppearanceSettingsSection::refreshEdge()
{
    // A stored value that is none of the four leaves every segment unchecked.
    const QString stored = m_settings.get(Settings::popupEdge);
    for (int i = 0; i < m_edgeSegments.size(); ++i)
        m_edgeSegments[i]->setChecked(stored == QLatin1String(edgeSegmentValues[i].value));
}

void AppearanceSettingsSection::refreshRecorders()
{
    for (const Recorder recorder : {Recorder::clipboard, Recorder::shelf}) {
        RecorderRow &row = m_rows[recorder == Recorder::clipboard ? 0 : 1];
        auto *layout = static_cast<QHBoxLayout *>(row.display->layout());
        while (QLayoutItem *item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        const bool listening = m_recording == recorder;
        if (listening) {
            const QColor accent = row.display->property("accent").value<QColor>();
            auto *box = new CardFrame(withAlpha(accent, 0.15), accent, 8, row.display);
            auto *boxLayout = new QHBoxLayout(box);
            boxLayout->setContentsMargins(12, 6, 12, 6);
            QLabel *dots = settingsLabel(QStringLiteral("..."), 14, QFont::Medium, accent, box);
            dots->setObjectName(QStringLiteral("listening"));
            boxLayout->addWidget(dots);
            layout->addWidget(box);
        } else {
            const KeyCombination stored = KeyboardShortcut::read(m_settings, keysOf(recorder));
            for (const QString &part : KeyboardShortcut::keycapParts(stored, KeyboardShortcut::KeycapSize::small))
                layout->addWidget(new KeycapView(part, KeyboardShortcut::KeycapSize::small, row.display));
        }
        row.record->setEnabled(!listening);
    }
    showTaken(m_takenLine, m_recording != Recorder::none ? m_refusedBy : std::nullopt, m_language);
    if (m_recording == Recorder::none && m_heldElsewhere) {
        m_takenLine->setText(settingsText("shortcut_held_elsewhere", m_language));
        m_takenLine->show();
    }
}

void AppearanceSettingsSection::startRecording(Recorder recorder)
{
    stopRecording();
    m_recording = recorder;
    m_heldElsewhere = false;
    m_settings.set(Settings::isRecordingShortcut, true);
    m_monitor = new KeyDownMonitor([this](const KeyCombination &pressed) { return recordKey(pressed); }, this);
    m_monitor->setOnTakenElsewhere([this] { keyTakenElsewhere(); });
    refreshRecorders();
}

void AppearanceSettingsSection::keyTakenElsewhere()
{
    // The combination belongs to another program and never reaches us: the row goes back to its
    // stored shortcut and says so, rather than listen for ever.
    if (m_recording == Recorder::none)
        return;
    stopRecording();
    m_heldElsewhere = true;
    refreshRecorders();
}

void AppearanceSettingsSection::stopRecording()
{
    m_recording = Recorder::none;
    m_refusedBy.reset();
    m_settings.set(Settings::isRecordingShortcut, false);
    KeyDownMonitor::remove(m_monitor);
    refreshRecorders();
}

bool AppearanceSettingsSection::recordKey(const KeyCombination &pressed)
{
    if (m_recording == Recorder::none || !KeyboardShortcut::holdsCommandModifier(pressed))
        return false;
    // A combination another of our hotkeys takes could never open this popup: refused the same way,
    // with a line saying which hotkey has it.
    m_refusedBy = KeyboardShortcut::takenBy(m_settings, pressed, hotkeyOf(m_recording));
    if (m_refusedBy) {
        refreshRecorders();
        return false;
    }
    KeyboardShortcut::write(m_settings, keysOf(m_recording),
                            KeyCombination{pressed.keyCode, pressed.flags & keyModifierMask});
    stopRecording();
    return true;
}

QStringList AppearanceSettingsSection::valueTexts() const
{
    QStringList texts;
    for (const QLabel *label : m_valueLabels)
        texts << label->text();
    return texts;
}

bool AppearanceSettingsSection::showsRecorderBlock() const
{
    return m_recorderBlock->isRevealed();
}

QStringList AppearanceSettingsSection::shortcutTexts(Recorder recorder) const
{
    const RecorderRow &row = m_rows[recorder == Recorder::clipboard ? 0 : 1];
    if (auto *dots = row.display->findChild<QLabel *>(QStringLiteral("listening")))
        return {dots->text()};
    QStringList texts;
    for (const auto *cap : row.display->findChildren<KeycapView *>())
        texts << cap->text();
    return texts;
}

SlideButton *AppearanceSettingsSection::recordButton(Recorder recorder) const
{
    return m_rows[recorder == Recorder::clipboard ? 0 : 1].record;
}

int AppearanceSettingsSection::checkedEdgeSegment() const
{
    for (int i = 0; i < m_edgeSegments.size(); ++i) {
        if (m_edgeSegments[i]->isChecked())
            return i;
    }
    return -1;
}

} // namespace qv
