#pragma once

#include <QWidget>

#include <memory>

#include "ui/poptransition.h"

class QLabel;
class QPlainTextEdit;

namespace qv {

class EdgePopupState;
class FileIconService;
class Scheduler;
class ElidedLabel;
class UniversalQuickLookView;
class WorkQueue;

// The previews the edge popup opens above itself, over a dim of black at 0.5 that closes them when
// clicked: a shelf file in a 560×420 glass panel (header with the file's name and a close button,
// then the file's preview), or a clipboard item in a 560-wide panel (its picture, or its text
// selectable and scrolling beyond 300 points, with the text's character count). A click inside a
// panel never closes it; only its close button and the dim do. The popup under it stays open.
// Follows the state's preview fields; the panel, under its soft shadow, comes and goes growing
// from and shrinking to 0.8 of its size and fading, on a spring (response 0.35, damping 0.7), and
// the dim fades with it. Main thread.
class EdgePreviewLayer : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize fileSize{560, 420};
    static constexpr int clipWidth = 560;

    EdgePreviewLayer(EdgePopupState &state, FileIconService &icons, std::shared_ptr<WorkQueue> queue,
                     Scheduler &scheduler, QWidget *parent = nullptr);

    bool isShown() const;
    // Still on screen: shown, or on its way out.
    bool covers() const { return !isHidden(); }
    QRect panelFrame() const;
    QString titleText() const;
    // The title as drawn in the header, cut where it does not fit.
    QString shownTitleText() const;
    // The character count shown, or an empty text where none is shown.
    QString countText() const;
    QWidget *closeButton() const { return m_close; }
    UniversalQuickLookView *fileView() const { return m_fileView; }
    QPlainTextEdit *textView() const { return m_text; }

signals:
    void shownChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void follow();
    void closeShown();
    void placePanel();
    void present();
    // The layer went: hidden, and its owner told.
    void gone();

    EdgePopupState &m_state;
    FileIconService &m_icons;
    std::shared_ptr<WorkQueue> m_queue;
    Scheduler &m_scheduler;
    QWidget *m_panel = nullptr;
    QLabel *m_icon = nullptr;
    ElidedLabel *m_title = nullptr;
    QLabel *m_count = nullptr;
    QWidget *m_close = nullptr;
    UniversalQuickLookView *m_fileView = nullptr;
    QLabel *m_picture = nullptr;
    QPlainTextEdit *m_text = nullptr;
    PopTransition m_transition;
};

} // namespace qv
