#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QWidget>

#include <optional>

#include "core/applanguage.h"
#include "dock/keyboardshortcut.h"

namespace qv {

// Small pieces every settings page draws with. Main thread.

// `color` at `alpha` opacity.
QColor withAlpha(QColor color, double alpha);
// The label of `key` in `language`.
QString settingsText(const char *key, AppLanguage language);

// The line under a recorder that refused a combination `holder` already takes, naming it; hidden
// until a refusal shows it with showTaken().
QLabel *takenLine(QWidget *parent);
void showTaken(QLabel *line, std::optional<KeyboardShortcut::Hotkey> holder, AppLanguage language);

// A rounded rectangle behind its children: a fill, an optional hairline, a corner radius.
class CardFrame : public QWidget
{
    Q_OBJECT
public:
    CardFrame(QColor fill, QColor stroke, double radius, QWidget *parent = nullptr);

    void setFill(const QColor &fill);
    void setStroke(const QColor &stroke);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    QColor m_stroke; // invalid: none
    double m_radius;
};

// A label in the system font at `pointSize` and `weight`, in `color`, on a clear background.
QLabel *settingsLabel(const QString &text, double pointSize, QFont::Weight weight, const QColor &color,
                      QWidget *parent = nullptr);
// The divider between groups of rows: a hairline of white at 0.2 with 8 points above and below.
QWidget *settingsDivider(QWidget *parent = nullptr);
// A full-width line one point high in `color`, without room around it.
QWidget *settingsHairline(const QColor &color, QWidget *parent = nullptr);
// A symbol at `size` in `color` on a clear background.
QLabel *settingsSymbol(const QString &symbol, int size, const QColor &color, QWidget *parent);

// One keycap: the large caps of the Shortcuts page or the small ones of the module recorders.
class KeycapView : public QWidget
{
    Q_OBJECT
public:
    KeycapView(const QString &text, KeyboardShortcut::KeycapSize size, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    // Draws the cap smaller, font and padding alike (1: the natural size).
    void setScale(double scale);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont font() const;

    QString m_text;
    KeyboardShortcut::KeycapSize m_size;
    double m_scale = 1.0;
};

} // namespace qv
