#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace qv {

// A round button that is one symbol: bare, on a filled disc with a soft shadow all around it (the
// card's eye), or on a frosted disc with a faint rim (the settings button). A shadow gets room of its
// own around the disc, which takes no clicks. Takes no keyboard focus. Main thread.
class SymbolButton : public QAbstractButton
{
public:
    struct Face
    {
        enum class Kind { bare, filled, frosted } kind = Kind::bare;
        QColor fill;
        double shadowRadius = 0;
        static Face bare() { return {}; }
        static Face filled(const QColor &color, double shadowRadius)
        {
            return {Kind::filled, color, shadowRadius};
        }
        static Face frosted() { return {Kind::frosted, QColor(), 0}; }
    };

    SymbolButton(const QString &symbol, int symbolSize, const QColor &color, int padding, Face face,
                 QWidget *parent = nullptr);

    // The room around the disc for its shadow, on every side.
    int shadowMargin() const;
    QRectF discRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QPixmap discShadow();

    QString m_symbol;
    int m_symbolSize;
    QColor m_color;
    Face m_face;
    QPixmap m_shadow;
};

} // namespace qv
