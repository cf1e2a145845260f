#include "views/items/safeimagepreview.h"

#include <QPainter>

#include <cmath>

#include "core/color.h"
#include "platform/imagedecoding.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/offmain.h"

namespace qv {

SafeImagePreview::SafeImagePreview(const QUrl &url, int maxPixelSize, std::shared_ptr<WorkQueue> queue,
                                   Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_url(url), m_maxPixelSize(std::max(1, maxPixelSize)), m_queue(std::move(queue)),
      m_scheduler(scheduler)
{
}

SafeImagePreview::~SafeImagePreview()
{
    m_spin.cancel();
}

SafeImagePreview::State SafeImagePreview::state() const
{
    if (!m_pixmap.isNull())
        return State::Loaded;
    return m_failed ? State::Failed : State::Loading;
}

void SafeImagePreview::setUrl(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    ++m_generation;
    // The picture of the previous file must not stand in for this one.
    m_pixmap = QPixmap();
    m_failed = false;
    update();
    load();
    spin();
}

void SafeImagePreview::load()
{
    const QString path = m_url.toLocalFile();
    const int side = m_maxPixelSize;
    const int generation = m_generation;
    runOffMain<QImage>(
        *m_queue, m_scheduler, m_alive,
        [path, side] {
            if (path.isEmpty() || !ImageDecoding::isRegularFile(path))
                return QImage();
            return ImageDecoding::readFile(path, QSize(side, side));
        },
        [this, generation](QImage image) { accept(generation, image); });
}

void SafeImagePreview::accept(int generation, const QImage &image)
{
    if (generation != m_generation)
        return;
    if (image.isNull())
        m_failed = true;
    else
        m_pixmap = QPixmap::fromImage(image);
    update();
}

void SafeImagePreview::spin()
{
    m_spin.cancel();
    if (state() != State::Loading || !isVisible())
        return;
    m_spin = m_scheduler.after(0.1, [this] {
        m_spinStep = (m_spinStep + 1) % 8;
        update();
        spin();
    });
}

void SafeImagePreview::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_spin.cancel();
}

void SafeImagePreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    spin();
    load();
}

void SafeImagePreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF box = rect();
    switch (state()) {
    case State::Loaded: {
        const QSizeF size = QSizeF(m_pixmap.size()).scaled(box.size(), Qt::KeepAspectRatio);
        painter.drawPixmap(QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                                  size.width(), size.height()),
                           m_pixmap, QRectF(m_pixmap.rect()));
        break;
    }
    case State::Failed: {
        const int side = 16;
        painter.drawPixmap(QPointF(box.center().x() - side / 2.0, box.center().y() - side / 2.0),
                           Symbols::pixmap(QStringLiteral("exclamationmark.triangle"), side, Color::neonRed(),
                                           devicePixelRatioF()));
        break;
    }
    case State::Loading: {
        // A ring of fading dashes that turns: the indeterminate spinner.
        const double radius = 8;
        for (int i = 0; i < 8; ++i) {
            const double angle = (i + m_spinStep) * M_PI / 4;
            const QPointF dir(std::cos(angle), std::sin(angle));
            painter.setPen(QPen(Theme::white(0.2 + 0.1 * i), 2, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(box.center() + dir * radius * 0.5, box.center() + dir * radius);
        }
        break;
    }
    }
}

} // namespace qv
