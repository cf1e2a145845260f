#pragma once

#include <QUuid>
#include <QWidget>

#include <memory>

#include "ui/poptransition.h"

class QLabel;
class QPlainTextEdit;
class QStackedLayout;

namespace qv {

class FileIconService;
class SafeImagePreview;
class SuperPanelColumnState;
class UniversalQuickLookView;
class WorkQueue;

// One of the large previews the galleries and the column open over the Super Panel, above a dim of
// black at 0.6 that closes it when clicked:
// - `clipboard`: a clipboard item in a 700×500 glass panel; its header has the kind's symbol and
//   title, the character count of the shown text and a close button; its body the full picture
//   (decoded off the GUI thread up to 1200 pixels) or the shown text, selectable and scrolling;
// - `shelfFile`: a shelf file in an 800×600 glass panel, under a header with its display name, shown
//   by the file previewer. It also closes when the pointer leaves the panel, except during the safe
//   period.
// A click inside a panel never closes it. Follows the column state's previews, coming and going with
// a spring scale and fade when the change asks for one. Main thread; all arguments must outlive it.
class GalleryPreviewLayer : public QWidget
{
    Q_OBJECT
public:
    enum class Member { clipboard, shelfFile };

    static constexpr QSize clipboardSize{700, 500};
    static constexpr QSize shelfFileSize{800, 600};

    GalleryPreviewLayer(Member member, SuperPanelColumnState &state, FileIconService &icons,
                        std::shared_ptr<WorkQueue> queue, QWidget *parent = nullptr);

    // The state holds an item for this layer (while it leaves, the layer still shows).
    bool isShown() const;
    QRect panelFrame() const;
    QWidget *panel() const { return m_panel; }
    QString titleText() const;
    // The character count shown, or an empty text where none is shown.
    QString countText() const;
    QWidget *closeButton() const { return m_close; }
    UniversalQuickLookView *fileView() const { return m_fileView; }
    SafeImagePreview *imageView() const { return m_image; }
    QPlainTextEdit *textView() const { return m_text; }
    bool isTransitionRunning() const { return m_transition.isRunning(); }

    // Brings the layer in line with the state; the owner calls it after every change of the
    // previews, once it has made room for the layer.
    void follow();

signals:
    // The layer went away (at the end of its exit, or at once).
    void hidden();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildClipboardBody(QStackedLayout *body);
    void present();
    void close();
    void placePanel();

    Member m_member;
    SuperPanelColumnState &m_state;
    PopTransition m_transition;
    QUuid m_shownId;
    QWidget *m_panel = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_count = nullptr;
    QWidget *m_close = nullptr;
    QStackedLayout *m_body = nullptr;
    UniversalQuickLookView *m_fileView = nullptr;
    SafeImagePreview *m_image = nullptr;
    QPlainTextEdit *m_text = nullptr;
};

} // namespace qv
