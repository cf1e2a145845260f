#include "views/settings/settingswidgets.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "core/color.h"
#include "core/localization.h"
#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QString settingsText(const char *key, AppLanguage language)
{
    return Localization::text(QLatin1String(key), language);
}

QLabel *takenLine(QWidget *parent)
{
    QLabel *line = settingsLabel(QString(), 13, QFont::Medium, Color::neonRed(), parent);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignCenter);
    line->hide();
    return line;
}

void showTaken(QLabel *line, std::optional<KeyboardShortcut::Hotkey> holder, AppLanguage language)
{
    line->setVisible(holder.has_value());
    if (!holder)
        return;
    const char *name = "shortcut_title";
    if (*holder == KeyboardShortcut::Hotkey::clipboard)
        name = "clipboard_hotkey";
    else if (*holder == KeyboardShortcut::Hotkey::shelf)
        name = "shelf_hotkey";
    line->setText(settingsText("shortcut_taken", language).arg(settingsText(name, language)));
}

CardFrame::CardFrame(QColor fill, QColor stroke, double radius, QWidget *parent)
    : QWidget(parent), m_fill(std::move(fill)), m_stroke(std::move(stroke)), m_radius(radius)
{
}

void CardFrame::setFill(const QColor &fill)
{
    m_fill = fill;
    update();
}

void CardFrame::setStroke(const QColor &stroke)
{
    m_stroke = stroke;
    update();
}

void CardFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_radius <= 0 && !m_stroke.isValid()) {
        painter.fillRect(rect(), m_fill); // a hairline
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    painter.fillPath(shape, m_fill);
    if (m_stroke.isValid()) {
        painter.setPen(QPen(m_stroke, 1));
        painter.drawPath(shape);
    }
}

QLabel *settingsLabel(const QString &text, double pointSize, QFont::Weight weight, const QColor &color,
                      QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Theme::systemFont(pointSize, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

QWidget *settingsDivider(QWidget *parent)
{
    auto *holder = new QWidget(parent);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->addWidget(settingsHairline(Theme::white(0.2), holder));
    return holder;
}

QWidget *settingsHairline(const QColor &color, QWidget *parent)
{
    auto *line = new CardFrame(color, QColor(), 0, parent);
    line->setFixedHeight(1);
    return line;
}

QLabel *settingsSymbol(const QString &symbol, int size, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(Symbols::pixmap(symbol, size, color, parent->devicePixelRatioF()));
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

KeycapView::KeycapView(const QString &text, KeyboardShortcut::KeycapSize size, QWidget *parent)
    : QWidget(parent), m_text(text), m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void KeycapView::setScale(double scale)
{
    m_scale = scale;
    updateGeometry();
    update();
}

QFont KeycapView::font() const
{
    return Theme::systemFont((m_size == KeyboardShortcut::KeycapSize::large ? 24 : 13) * m_scale, QFont::Bold);
}

QSize KeycapView::sizeHint() const
{
    const QFontMetrics metrics(font());
    const bool large = m_size == KeyboardShortcut::KeycapSize::large;
    const QSize padding = (large ? QSize(20, 14) : QSize(7, 4)) * m_scale;
    // The large cap keeps room for its shadow below.
    return QSize(metrics.horizontalAdvance(m_text) + 2 * padding.width(),
                 metrics.height() + 2 * padding.height() + (large ? 4 : 0));
}

void KeycapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool large = m_size == KeyboardShortcut::KeycapSize::large;
    const double radius = large ? 12 : 6;
    const QRectF cap = QRectF(rect()).adjusted(1, 1, -1, large ? -5 : -1);
    QPainterPath shape;
    shape.addRoundedRect(cap, radius, radius);
    if (large) {
        QPainterPath shadow;
        shadow.addRoundedRect(cap.translated(0, 2).adjusted(-1, -1, 1, 2), radius, radius);
        painter.fillPath(shadow, Theme::black(0.5));
    }
    // The face is painted over a dark base so the gradient reads the same on any backdrop.
    painter.fillPath(shape, QColor(36, 36, 42));
    QLinearGradient face(cap.topLeft(), cap.bottomLeft());
    face.setColorAt(0, Theme::white(0.15));
    face.setColorAt(1, Theme::white(0.05));
    painter.fillPath(shape, face);
    painter.setPen(QPen(Qt::black, large ? 1.0 : 0.5));
    painter.drawPath(shape);
    painter.setFont(font());
    painter.setPen(Qt::white);
    painter.drawText(cap, Qt::AlignCenter, m_text);
}

} // namespace qv
