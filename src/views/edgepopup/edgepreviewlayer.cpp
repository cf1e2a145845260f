#include "views/edgepopup/edgepreviewlayer.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "clipboard/graphemes.h"
#include "core/color.h"
#include "core/localization.h"
#include "ui/dockglassbackground.h"
#include "ui/elidedlabel.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/items/itemrules.h"
#include "views/items/universalquicklookview.h"
#include "views/superpanel/symbolbutton.h"

namespace qv {

namespace {

constexpr double glassBlur = 30;
constexpr double cornerRadius = 16;
constexpr int textMaxHeight = 300;
constexpr int pictureMaxHeight = 240;
constexpr double transitionScale = 0.8;
constexpr double springResponse = 0.35;
constexpr double springDamping = 0.7;
constexpr double dimOpacity = 0.5;

// The floating panel: glass clipped to its rounded frame, a faint edge and a soft shadow below.
// Clicks inside stop here.
class PreviewPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
        DockGlassBackground::paint(painter, shape, glassBlur);
        painter.setPen(QPen(Theme::white(0.2), 1));
        painter.drawPath(shape);
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
};

} // namespace

EdgePreviewLayer::EdgePreviewLayer(EdgePopupState &state, FileIconService &icons,
                                   std::shared_ptr<WorkQueue> queue, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_state(state), m_icons(icons), m_queue(std::move(queue)), m_scheduler(scheduler),
      m_transition(scheduler, *this)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_panel = new PreviewPanel(this);
    auto *stack = new QVBoxLayout(m_panel);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(18, 12, 18, 12);
    header->setSpacing(8);
    m_icon = new QLabel(m_panel);
    header->addWidget(m_icon);
    // One line: a long file name ends in an ellipsis before the close button.
    m_title = new ElidedLabel(Theme::white(0.9), m_panel);
    m_title->setObjectName(QStringLiteral("previewTitle"));
    m_title->setFont(Theme::systemFont(14, QFont::DemiBold));
    header->addWidget(m_title, 1);
    m_count = new QLabel(m_panel);
    m_count->setFont(Theme::monospaced(Theme::systemFont(11)));
    m_count->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 89);"));
    header->addWidget(m_count);
    auto *close = new SymbolButton(QStringLiteral("xmark.circle.fill"), 20, Theme::white(0.5), 0,
                                   SymbolButton::Face::bare(), m_panel);
    close->setObjectName(QStringLiteral("previewClose"));
    connect(close, &QAbstractButton::clicked, this, &EdgePreviewLayer::closeShown);
    m_close = close;
    header->addWidget(close);
    stack->addLayout(header);
    auto *separator = new QWidget(m_panel);
    separator->setFixedHeight(1);
    separator->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 15);"));
    stack->addWidget(separator);

    m_picture = new QLabel(m_panel);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setContentsMargins(16, 16, 16, 16);
    stack->addWidget(m_picture, 1);
    m_text = new QPlainTextEdit(m_panel);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setFont(Theme::monospaced(Theme::systemFont(13)));
    m_text->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: white; "
                                         "selection-background-color: rgba(255, 255, 255, 60); }") +
                          Theme::darkScrollBarStyle());
    m_text->document()->setDocumentMargin(16);
    stack->addWidget(m_text, 1);
    m_fileView = new UniversalQuickLookView(QUrl(), m_icons, m_queue, m_scheduler, m_panel);
    stack->addWidget(m_fileView, 1);

    connect(&state, &EdgePopupState::previewChanged, this, &EdgePreviewLayer::follow);
    hide();
    follow();
}

bool EdgePreviewLayer::isShown() const
{
    return m_state.isPreviewShown();
}

QRect EdgePreviewLayer::panelFrame() const
{
    return isShown() ? m_panel->geometry() : QRect();
}

QString EdgePreviewLayer::titleText() const
{
    return m_title->text();
}

QString EdgePreviewLayer::shownTitleText() const
{
    return m_title->shownText();
}

QString EdgePreviewLayer::countText() const
{
    return m_count->isHidden() ? QString() : m_count->text();
}

void EdgePreviewLayer::follow()
{
    const bool animated = parentWidget() && parentWidget()->isVisible();
    if (!isShown()) {
        if (isHidden() || m_transition.isLeaving())
            return;
        if (animated) {
            // The panel's picture goes as it was; the dim stays over the popup until it has gone.
            m_transition.leave(*m_panel, transitionScale, springResponse, springDamping, [this] { gone(); });
            emit shownChanged();
            return;
        }
        m_transition.cancel();
        gone();
        return;
    }
    const bool entering = isHidden() || m_transition.isLeaving();
    present();
    show();
    placePanel();
    m_panel->show();
    if (entering && animated)
        m_transition.enter(*m_panel, transitionScale, springResponse, springDamping);
    else if (entering)
        m_transition.cancel();
    update();
    emit shownChanged();
}

void EdgePreviewLayer::gone()
{
    hide();
    emit shownChanged();
}

void EdgePreviewLayer::present()
{
    const AppLanguage language = m_state.language();
    const auto url = m_state.edgePreviewURL();
    const auto clip = m_state.edgeClipPreviewItem();
    m_picture->hide();
    m_text->hide();
    m_fileView->hide();
    m_count->hide();
    if (url) {
        m_icon->setPixmap(
            Symbols::pixmap(QStringLiteral("doc.fill"), 14, Color::neonCyan(), devicePixelRatioF()));
        m_title->setText(url->fileName());
        m_fileView->setUrl(*url);
        m_fileView->show();
    } else if (clip) {
        const bool image = clip->isImage;
        m_icon->setPixmap(
            Symbols::pixmap(image ? QStringLiteral("photo.fill") : QStringLiteral("doc.text.fill"), 14,
                            Color::neonGreen(), devicePixelRatioF()));
        m_title->setText(
            Localization::text(image ? u"preview_image_title" : u"preview_text_title", language));
        if (!image) {
            m_count->setText(
                Localization::text(u"preview_char_count", language)
                    .replace(QStringLiteral("%lld"), QString::number(graphemeCount(clip->text))));
            m_count->show();
        }
        if (image && !clip->thumbnail.isNull()) {
            const QImage fitted = clip->thumbnail.image().scaled(
                clipWidth - 32, pictureMaxHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            m_picture->setPixmap(QPixmap::fromImage(fitted));
            m_picture->setFixedHeight(fitted.height() + 32);
            m_picture->show();
        } else {
            m_text->setPlainText(ItemRules::displayText(clip->text, ItemRules::previewText));
            const int lines = int(m_text->document()->size().height());
            const QFontMetrics metrics(m_text->font());
            m_text->setFixedHeight(std::min(textMaxHeight, lines * metrics.lineSpacing() + 32));
            m_text->show();
        }
    }
}

void EdgePreviewLayer::placePanel()
{
    QSize size = fileSize;
    if (!m_state.edgePreviewURL() && m_state.edgeClipPreviewItem()) {
        m_panel->layout()->activate();
        size = QSize(clipWidth, m_panel->layout()->sizeHint().height());
    }
    m_panel->setGeometry(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

void EdgePreviewLayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePanel();
}

void EdgePreviewLayer::closeShown()
{
    if (m_state.edgePreviewURL())
        m_state.closeFilePreview();
    else
        m_state.closeClipPreview();
}

void EdgePreviewLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const double presence = m_transition.presence();
    // Without a compositor the dim is painted as its opaque tint, which cannot fade.
    painter.fillRect(rect(),
                     m_state.isTranslucent() ? Theme::black(dimOpacity * presence) : QColor(20, 20, 22));
    m_transition.paintWithShadow(painter, cornerRadius, 0.3, 16, 8);
}

void EdgePreviewLayer::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // The popup closed under it: a leaving preview is gone.
    if (m_transition.finishUnseen())
        gone();
}

void EdgePreviewLayer::mousePressEvent(QMouseEvent *event)
{
    // The layer covers the popup: no click passes through it to the popup's backdrop.
    event->accept();
    if (event->button() == Qt::LeftButton && !m_panel->geometry().contains(event->position().toPoint()))
        closeShown();
}

} // namespace qv
