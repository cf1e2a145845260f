#include "ui/noticeline.h"

#include "core/color.h"
#include "ui/theme.h"

namespace qv {

namespace {
constexpr int inset = 16;
} // namespace

NoticeLine::NoticeLine(Scheduler &scheduler, QWidget *parent) : QLabel(parent), m_scheduler(scheduler)
{
    setObjectName(QStringLiteral("notice"));
    setFont(Theme::systemFont(13, QFont::Medium));
    setAlignment(Qt::AlignCenter);
    const QColor red = Color::neonRed();
    setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgba(%1, %2, %3, 230); "
                                 "border-radius: 10px; padding: 8px 14px; }")
                      .arg(red.red())
                      .arg(red.green())
                      .arg(red.blue()));
    hide();
}

NoticeLine::~NoticeLine()
{
    m_hide.cancel();
}

void NoticeLine::showText(const QString &text)
{
    setText(text);
    const QWidget *area = parentWidget();
    // One line where it fits: a wrapping label's own hint is narrower than its text.
    setWordWrap(false);
    const int natural = sizeHint().width();
    setWordWrap(true);
    const int width = qMin(natural, qMax(0, area->width() - 2 * inset));
    resize(width, heightForWidth(width));
    move((area->width() - width) / 2, area->height() - height() - inset);
    raise();
    show();
    m_hide.cancel();
    m_hide = m_scheduler.after(duration, [this] { dismiss(); });
}

void NoticeLine::dismiss()
{
    m_hide.cancel();
    hide();
}

} // namespace qv
