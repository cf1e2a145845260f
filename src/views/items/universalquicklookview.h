#pragma once

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <memory>

class QMimeType;
class QVBoxLayout;

namespace qv {

class FileIconService;
class Scheduler;
class WorkQueue;

// The preview of one file of any type, composed from what the desktop offers: pictures decoded off
// the GUI thread (animated GIF and WebP play), SVG drawings, PDF pages (paged with the arrows or
// the buttons), the start of a text file, audio and video that start playing by themselves, and for
// anything else (or a file that cannot be read, a locked PDF, a vanished file) the file's icon, name
// and size. Changing the URL swaps the document inside the same view. Main thread.
class UniversalQuickLookView : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Image, Svg, Pdf, Text, Media, Other };
    // Text beyond this many bytes is not shown (the rest of a huge log would freeze the view).
    static constexpr qint64 textLimit = 256 * 1024;
    // SVG files larger than this are not parsed.
    static constexpr int svgPixelSize = 1600;
    static constexpr int imagePixelSize = 2400;

    static Kind kindFor(const QMimeType &type);

    UniversalQuickLookView(const QUrl &url, FileIconService &icons, std::shared_ptr<WorkQueue> queue,
                           Scheduler &scheduler, QWidget *parent = nullptr);
    ~UniversalQuickLookView() override;

    QUrl url() const { return m_url; }
    void setUrl(const QUrl &url);
    // What is shown now; Other also while the file could not be shown as its kind.
    Kind shownKind() const { return m_shown; }
    bool isLoading() const { return m_loading; }
    QWidget *content() const { return m_content; }
    // PDF pages: the page shown (from 0) and how many there are.
    int pageIndex() const { return m_page; }
    int pageCount() const { return m_pageCount; }
    void showPage(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Probe;
    struct PageResult;
    void load();
    void present(const Probe &probe);
    void setContent(QWidget *content, Kind kind);
    void showIconView();
    void presentPage(const PageResult &page);

    QUrl m_url;
    FileIconService &m_icons;
    std::shared_ptr<WorkQueue> m_queue;
    Scheduler &m_scheduler;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    int m_generation = 0;
    QVBoxLayout *m_layout = nullptr;
    QWidget *m_content = nullptr;
    Kind m_shown = Kind::Other;
    bool m_loading = false;
    int m_page = 0;
    int m_pageCount = 0;
    class PdfPageView *m_pdfView = nullptr;
};

} // namespace qv
