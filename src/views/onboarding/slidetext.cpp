#include "views/onboarding/slidetext.h"

#include <QLabel>
#include <QPalette>

#include "ui/theme.h"

namespace qv::SlideText {

QFont headline()
{
    return Theme::systemFont(13, QFont::DemiBold);
}

QFont body()
{
    return Theme::systemFont(13);
}

QFont title3()
{
    return Theme::systemFont(15);
}

QLabel *label(const QFont &font, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace qv::SlideText
