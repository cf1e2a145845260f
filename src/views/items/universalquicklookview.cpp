#include "views/items/universalquicklookview.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <unistd.h>

#include "platform/fileicons.h"
#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "platform/pdfpages.h"
#include "runtime/scheduler.h"
#include "ui/theme.h"
#include "views/items/itemrules.h"
#include "views/items/mediaview.h"
#include "views/items/offmain.h"
#include "views/items/safeimagepreview.h"

namespace qv {

struct UniversalQuickLookView::Probe
{
    int generation = 0;
    Kind kind = Kind::Other;
    bool exists = false;
    bool animated = false;
    qint64 size = 0;
    QString name;
    QString text;
    bool truncated = false;
    QImage icon;
    QImage drawing;
    ImageDecoding::AnimationFrames frames;
};

struct UniversalQuickLookView::PageResult
{
    int generation = 0;
    int index = 0;
    int count = 0;
    QImage image;
};

// A file's icon, its name and its size: the view for whatever cannot be shown as itself.
class IconView : public QWidget
{
public:
    IconView(const QImage &icon, const QString &name, const QString &detail, QWidget *parent)
        : QWidget(parent), m_icon(icon), m_name(name), m_detail(detail)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF box(width() / 2.0 - 64, height() / 2.0 - 90, 128, 128);
        if (!m_icon.isNull()) {
            const QSizeF size = QSizeF(m_icon.size()).scaled(box.size(), Qt::KeepAspectRatio);
            painter.drawImage(QRectF(box.center().x() - size.width() / 2,
                                     box.center().y() - size.height() / 2, size.width(), size.height()),
                              m_icon);
        }
        painter.setPen(Theme::white(0.9));
        painter.setFont(Theme::systemFont(14, QFont::DemiBold));
        painter.drawText(QRectF(8, box.bottom() + 12, width() - 16, 22), Qt::AlignCenter,
                         painter.fontMetrics().elidedText(m_name, Qt::ElideMiddle, width() - 16));
        painter.setPen(Theme::white(0.5));
        painter.setFont(Theme::systemFont(11));
        painter.drawText(QRectF(8, box.bottom() + 36, width() - 16, 18), Qt::AlignCenter, m_detail);
    }

private:
    QImage m_icon;
    QString m_name;
    QString m_detail;
};

// An animated picture whose frames were decoded off the main thread: it steps through them on the
// scheduler only while it is shown, and draws each fitted with its aspect ratio kept.
class AnimationView : public QWidget
{
public:
    AnimationView(ImageDecoding::AnimationFrames frames, Scheduler &scheduler, QWidget *parent)
        : QWidget(parent), m_frames(std::move(frames)), m_scheduler(scheduler)
    {
    }
    ~AnimationView() override { m_step.cancel(); }

    int frameIndex() const { return m_index; }

protected:
    void showEvent(QShowEvent *) override { scheduleStep(); }
    void hideEvent(QHideEvent *) override { m_step.cancel(); }
    void paintEvent(QPaintEvent *) override
    {
        if (m_frames.images.isEmpty())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage &frame = m_frames.images.at(m_index);
        const QSizeF size = QSizeF(frame.size()).scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
        painter.drawImage(
            QRectF((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height()),
            frame);
    }

private:
    void scheduleStep()
    {
        m_step.cancel();
        if (m_frames.images.size() < 2)
            return;
        m_step = m_scheduler.after(m_frames.delaysMs.at(m_index) / 1000.0, [this] {
            m_index = (m_index + 1) % int(m_frames.images.size());
            update();
            scheduleStep();
        });
    }

    ImageDecoding::AnimationFrames m_frames;
    Scheduler &m_scheduler;
    TimerHandle m_step;
    int m_index = 0;
};

// An SVG drawing, rendered off the main thread, fitted with its aspect ratio kept.
class SvgView : public QWidget
{
public:
    SvgView(const QImage &drawing, QWidget *parent) : QWidget(parent), m_drawing(drawing) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSizeF size = QSizeF(m_drawing.size()).scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
        painter.drawImage(QRectF((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                                 size.height()),
                          m_drawing);
    }

private:
    QImage m_drawing;
};

// One rendered PDF page, fitted, with the page number and buttons to page through.
class PdfPageView : public QWidget
{
public:
    explicit PdfPageView(UniversalQuickLookView *owner) : QWidget(owner)
    {
        m_previous = new QPushButton(QStringLiteral("‹"), this);
        m_next = new QPushButton(QStringLiteral("›"), this);
        QObject::connect(m_previous, &QPushButton::clicked, owner,
                         [owner] { owner->showPage(owner->pageIndex() - 1); });
        QObject::connect(m_next, &QPushButton::clicked, owner,
                         [owner] { owner->showPage(owner->pageIndex() + 1); });
    }

    void setPage(const QImage &image, int index, int count)
    {
        m_image = image;
        m_label = QStringLiteral("%1 / %2").arg(index + 1).arg(count);
        m_previous->setEnabled(index > 0);
        m_next->setEnabled(index + 1 < count);
        update();
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        m_previous->setGeometry(width() / 2 - 80, height() - 30, 28, 24);
        m_next->setGeometry(width() / 2 + 52, height() - 30, 28, 24);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF box(0, 0, width(), height() - 36);
        if (!m_image.isNull()) {
            const QSizeF size = QSizeF(m_image.size()).scaled(box.size(), Qt::KeepAspectRatio);
            painter.drawImage(
                QRectF(box.center().x() - size.width() / 2, box.top(), size.width(), size.height()), m_image);
        }
        painter.setPen(Theme::white(0.7));
        painter.setFont(Theme::systemFont(11));
        painter.drawText(QRectF(0, height() - 30, width(), 24), Qt::AlignCenter, m_label);
    }

private:
    QImage m_image;
    QString m_label;
    QPushButton *m_previous;
    QPushButton *m_next;
};

UniversalQuickLookView::Kind UniversalQuickLookView::kindFor(const QMimeType &type)
{
    const QString name = type.name();
    if (name == QStringLiteral("image/svg+xml") || name == QStringLiteral("image/svg+xml-compressed"))
        return Kind::Svg;
    if (name == QStringLiteral("application/pdf"))
        return Kind::Pdf;
    if (name.startsWith(QStringLiteral("image/")))
        return Kind::Image;
    if (name.startsWith(QStringLiteral("audio/")) || name.startsWith(QStringLiteral("video/")))
        return Kind::Media;
    if (type.inherits(QStringLiteral("text/plain")))
        return Kind::Text;
    return Kind::Other;
}

UniversalQuickLookView::UniversalQuickLookView(const QUrl &url, FileIconService &icons,
                                               std::shared_ptr<WorkQueue> queue, Scheduler &scheduler,
                                               QWidget *parent)
    : QWidget(parent), m_url(url), m_icons(icons), m_queue(std::move(queue)), m_scheduler(scheduler)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    setFocusPolicy(Qt::StrongFocus);
    load();
}

UniversalQuickLookView::~UniversalQuickLookView() = default;

void UniversalQuickLookView::setUrl(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    load();
}

void UniversalQuickLookView::load()
{
    const int generation = ++m_generation;
    m_loading = true;
    m_page = 0;
    m_pageCount = 0;
    const QString path = m_url.toLocalFile();
    FileIconService &icons = m_icons;
    runOffMain<Probe>(
        *m_queue, m_scheduler, m_alive,
        [path, generation, &icons] {
            Probe probe;
            probe.generation = generation;
            const QFileInfo info(path);
            probe.name = info.fileName();
            probe.exists = !path.isEmpty() && info.isFile();
            probe.icon = icons.iconForFile(path);
            if (!probe.exists)
                return probe;
            probe.size = info.size();
            probe.kind = kindFor(QMimeDatabase().mimeTypeForFile(path));
            if (probe.kind == Kind::Image) {
                QImageReader reader(path);
                probe.animated = reader.supportsAnimation() && reader.imageCount() != 1;
                // The frames are decoded here, never by the main thread while it plays them.
                if (probe.animated)
                    probe.frames =
                        ImageDecoding::readAnimation(path, QSize(animationPixelSize, animationPixelSize));
            } else if (probe.kind == Kind::Svg) {
                // Drawn here, under the decoder's rules: only a self-contained drawing, never past
                // its time limit; anything else shows as a file.
                probe.drawing = ImageDecoding::readFile(path, QSize(svgPixelSize, svgPixelSize));
                if (probe.drawing.isNull())
                    probe.kind = Kind::Other;
            } else if (probe.kind == Kind::Text) {
                // Without blocking, and only a regular file: a pipe put in its place shows as a file.
                QFile file;
                const int fd =
                    OwnedFiles::openRegularFile(QFile::encodeName(path), nullptr, OwnedFiles::Links::Follow);
                if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
                    if (fd >= 0)
                        ::close(fd);
                    probe.kind = Kind::Other;
                    return probe;
                }
                const QByteArray bytes = file.read(textLimit);
                probe.truncated = file.size() > textLimit;
                QStringDecoder decoder(QStringDecoder::Utf8);
                probe.text = decoder(bytes);
            }
            return probe;
        },
        [this](Probe probe) {
            if (probe.generation == m_generation)
                present(probe);
        });
}

void UniversalQuickLookView::setContent(QWidget *content, Kind kind)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    m_pdfView = nullptr;
    m_shown = kind;
    m_loading = false;
    m_layout->addWidget(content);
    content->show();
}

void UniversalQuickLookView::showIconView()
{
    const QString path = m_url.toLocalFile();
    const QFileInfo info(path);
    const QString detail = info.isFile() ? QLocale().formattedDataSize(info.size()) : QStringLiteral("—");
    setContent(new IconView(m_icons.iconForFile(path), info.fileName(), detail, this), Kind::Other);
}

void UniversalQuickLookView::present(const Probe &probe)
{
    if (!probe.exists) {
        const QString detail = QStringLiteral("—");
        setContent(new IconView(probe.icon, probe.name, detail, this), Kind::Other);
        return;
    }
    const QString path = m_url.toLocalFile();
    switch (probe.kind) {
    case Kind::Image:
        if (probe.animated && !probe.frames.images.isEmpty()) {
            setContent(new AnimationView(probe.frames, m_scheduler, this), Kind::Image);
            return;
        }
        setContent(new SafeImagePreview(m_url, imagePixelSize, m_queue, m_scheduler, this), Kind::Image);
        return;
    case Kind::Svg: {
        setContent(new SvgView(probe.drawing, this), Kind::Svg);
        return;
    }
    case Kind::Pdf: {
        auto *view = new PdfPageView(this);
        setContent(view, Kind::Pdf);
        m_pdfView = view;
        m_loading = true;
        showPage(0);
        return;
    }
    case Kind::Text: {
        auto *edit = new QPlainTextEdit(this);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        // Dark like the panel it sits in, not the platform's white editor.
        edit->setFrameShape(QFrame::NoFrame);
        edit->setStyleSheet(
            QStringLiteral("QPlainTextEdit { background: rgba(0, 0, 0, 77); color: rgba(255, 255, "
                           "255, 230); selection-background-color: rgba(255, 255, 255, 60); }") +
            Theme::darkScrollBarStyle());
        edit->setFont(Theme::monospaced(edit->font()));
        edit->setPlainText(ItemRules::displayText(
            probe.truncated ? probe.text + QStringLiteral("\n…") : probe.text, ItemRules::previewText));
        setContent(edit, Kind::Text);
        return;
    }
    case Kind::Media: {
        QWidget *video = MediaView::make(this, m_url, [this](QWidget *failed) {
            if (m_content == failed)
                showIconView();
        });
        if (!video)
            break;
        setContent(video, Kind::Media);
        return;
    }
    case Kind::Other:
        break;
    }
    showIconView();
}

void UniversalQuickLookView::showPage(int index)
{
    if (!m_pdfView || index < 0 || (m_pageCount > 0 && index >= m_pageCount))
        return;
    const QString path = m_url.toLocalFile();
    const int generation = m_generation;
    const int width = std::clamp(this->width(), 400, 2000);
    runOffMain<PageResult>(
        *m_queue, m_scheduler, m_alive,
        [path, generation, index, width] {
            const PageResult none{generation, index, 0, {}};
            const auto render = [path, width, none] {
                const PdfPages::Page page = PdfPages::render(path, none.index, [width](const QSizeF &points) {
                    return std::min(300.0, 72.0 * width / points.width());
                });
                return PageResult{none.generation, none.index, page.count, page.image};
            };
            // Poppler cannot be interrupted: a page past the time limit is left behind, and the
            // file shows as one that cannot be drawn.
            return ImageDecoding::runWithin<PageResult>(render, ImageDecoding::pdfTimeLimitMs).value_or(none);
        },
        [this](PageResult page) {
            if (page.generation == m_generation)
                presentPage(page);
        });
}

void UniversalQuickLookView::presentPage(const PageResult &page)
{
    if (!m_pdfView)
        return;
    if (page.image.isNull()) {
        // Corrupt, locked, or gone since it was opened.
        showIconView();
        return;
    }
    m_loading = false;
    m_page = page.index;
    m_pageCount = page.count;
    m_pdfView->setPage(page.image, page.index, page.count);
}

void UniversalQuickLookView::keyPressEvent(QKeyEvent *event)
{
    if (m_pdfView && (event->key() == Qt::Key_Right || event->key() == Qt::Key_PageDown))
        showPage(m_page + 1);
    else if (m_pdfView && (event->key() == Qt::Key_Left || event->key() == Qt::Key_PageUp))
        showPage(m_page - 1);
    else
        QWidget::keyPressEvent(event);
}

} // namespace qv
