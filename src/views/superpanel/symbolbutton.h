#pragma once

#include <QAbstractButton>
#include <QColor>

namespace qv {

// A round button that is one symbol: bare, on a filled disc with a soft shadow (the card's eye), or
// on a frosted disc with a faint rim (the settings button). Takes no keyboard focus. Main thread.
class SymbolButton : public QAbstractButton
{
public:
    struct Face
    {
        enum class Kind { bare, filled, frosted } kind = Kind::bare;
        QColor fill;
        static Face bare() { return {}; }
        static Face filled(const QColor &color) { return {Kind::filled, color}; }
        static Face frosted() { return {Kind::frosted, QColor()}; }
    };

    SymbolButton(const QString &symbol, int symbolSize, const QColor &color, int padding, Face face,
                 QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    int m_symbolSize;
    QColor m_color;
    Face m_face;
};

} // namespace qv
