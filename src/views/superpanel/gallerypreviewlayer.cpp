#include "views/superpanel/gallerypreviewlayer.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <functional>

#include "clipboard/graphemes.h"
#include "core/color.h"
#include "core/localization.h"
#include "ui/elidedlabel.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/itemrules.h"
#include "views/items/safeimagepreview.h"
#include "views/items/universalquicklookview.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/glasspanelview.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/symbolbutton.h"

namespace qv {

namespace {

constexpr double glassBlur = 50;
constexpr double glassOpacity = 0.95;
constexpr double cornerRadius = 20;
constexpr double enterScale = 0.9;
constexpr double springResponse = ColumnRules::springResponse;
constexpr double springDamping = ColumnRules::springDamping;
constexpr int imagePixelSize = 1200;

} // namespace

GalleryPreviewLayer::GalleryPreviewLayer(Member member, SuperPanelColumnState &state, FileIconService &icons,
                                         std::shared_ptr<WorkQueue> queue, QWidget *parent)
    : QWidget(parent), m_member(member), m_state(state), m_transition(state.scheduler(), *this)
{
    setObjectName(member == Member::clipboard ? QStringLiteral("galleryClipPreview")
                                              : QStringLiteral("galleryShelfPreview"));
    const bool shelf = member == Member::shelfFile;
    GlassPanelView::Look look;
    look.blurAmount = glassBlur;
    look.opacity = glassOpacity;
    look.cornerRadius = cornerRadius;
    look.edgeOpacity = 0.2;
    look.bodyDim = 0.3;
    auto *panel = new GlassPanelView(look, this);
    if (shelf)
        panel->setOnLeave([this] { m_state.previews().pointerLeftShelfPreview(); });
    m_panel = panel;
    auto *stack = new QVBoxLayout(m_panel);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto *header = new QWidget(m_panel);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(20, 16, 20, 16);
    m_icon = new QLabel(header);
    row->addWidget(m_icon);
    // One line: a long file name ends in an ellipsis, it never widens the panel.
    m_title = new ElidedLabel(Qt::white, header);
    m_title->setFont(Theme::systemFont(15, QFont::Bold));
    row->addWidget(m_title, 1);
    m_count = new QLabel(header);
    m_count->setFont(Theme::systemFont(10));
    m_count->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 102);"));
    m_count->setVisible(!shelf);
    row->addWidget(m_count);
    auto *close = new SymbolButton(QStringLiteral("xmark.circle.fill"), 24, Theme::white(0.6), 0,
                                   SymbolButton::Face::bare(), header);
    close->setObjectName(QStringLiteral("previewClose"));
    connect(close, &QAbstractButton::clicked, this, &GalleryPreviewLayer::close);
    m_close = close;
    row->addWidget(close);
    stack->addWidget(header);
    panel->setHeader(header);

    auto *body = new QWidget(m_panel);
    m_body = new QStackedLayout(body);
    stack->addWidget(body, 1);
    if (shelf) {
        auto *page = new QWidget(body);
        auto *padded = new QVBoxLayout(page);
        padded->setContentsMargins(12, 12, 12, 12);
        m_fileView = new UniversalQuickLookView(QUrl(), icons, queue, state.scheduler(), page);
        padded->addWidget(m_fileView);
        m_body->addWidget(page);
        m_icon->setPixmap(Symbols::pixmap(QStringLiteral("doc.text.magnifyingglass"), 16, Color::neonCyan(),
                                          devicePixelRatioF()));
    } else {
        auto *page = new QWidget(body);
        auto *padded = new QVBoxLayout(page);
        padded->setContentsMargins(16, 16, 16, 16);
        m_image = new SafeImagePreview(QUrl(), imagePixelSize, queue, state.scheduler(), page);
        padded->addWidget(m_image);
        m_body->addWidget(page);
        m_text = new QPlainTextEdit(body);
        m_text->setReadOnly(true);
        m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        m_text->setFrameShape(QFrame::NoFrame);
        m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_text->setFont(Theme::monospaced(Theme::systemFont(14)));
        m_text->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; "
                                             "color: rgba(255, 255, 255, 229); "
                                             "selection-background-color: rgba(255, 255, 255, 60); }"));
        m_text->document()->setDocumentMargin(20);
        m_body->addWidget(m_text);
    }
    m_panel->resize(shelf ? shelfFileSize : clipboardSize);
    hide();
}

bool GalleryPreviewLayer::isShown() const
{
    return m_member == Member::shelfFile ? m_state.previews().galleryPreviewItem().has_value()
                                         : m_state.previews().galleryClipPreviewItem().has_value();
}

QRect GalleryPreviewLayer::panelFrame() const
{
    return isShown() ? m_panel->geometry() : QRect();
}

QString GalleryPreviewLayer::titleText() const
{
    return m_title->text();
}

QString GalleryPreviewLayer::countText() const
{
    return m_count->isHidden() ? QString() : m_count->text();
}

void GalleryPreviewLayer::follow()
{
    PreviewLayerState &previews = m_state.previews();
    const bool animated = previews.isChangeAnimated() && parentWidget() && parentWidget()->isVisible();
    QUuid id;
    if (m_member == Member::shelfFile && previews.galleryPreviewItem())
        id = previews.galleryPreviewItem()->id;
    else if (m_member == Member::clipboard && previews.galleryClipPreviewItem())
        id = previews.galleryClipPreviewItem()->id;

    if (id.isNull()) {
        m_shownId = QUuid();
        if (isHidden() || m_transition.isLeaving())
            return;
        if (animated) {
            m_transition.leave(*m_panel, enterScale, springResponse, springDamping, [this] {
                hide();
                emit hidden();
            });
            return;
        }
        m_transition.cancel();
        hide();
        emit hidden();
        return;
    }
    // Another item while it shows: the content changes in place.
    if (id != m_shownId) {
        m_shownId = id;
        present();
    }
    if (!isHidden() && !m_transition.isLeaving())
        return;
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    placePanel();
    m_panel->layout()->activate();
    m_panel->show();
    if (animated)
        m_transition.enter(*m_panel, enterScale, springResponse, springDamping);
    else
        m_transition.cancel();
    update();
}

void GalleryPreviewLayer::present()
{
    const AppLanguage language = m_state.panel().language();
    PreviewLayerState &previews = m_state.previews();
    if (m_member == Member::shelfFile) {
        const ShelfItem item = *previews.galleryPreviewItem();
        m_title->setText(ItemRules::shelfDisplayName(item));
        m_fileView->setUrl(item.url);
        return;
    }
    const ClipboardItem item = *previews.galleryClipPreviewItem();
    m_icon->setPixmap(Symbols::pixmap(item.isImage ? QStringLiteral("photo") : QStringLiteral("text.quote"),
                                      16, Color::neonGreen(), devicePixelRatioF()));
    m_title->setText(
        Localization::text(item.isImage ? u"preview_image_title" : u"preview_text_title", language));
    // Always counted, a picture's too: its shown text is its title.
    m_count->setText(Localization::text(u"preview_char_count", language)
                         .replace(QStringLiteral("%lld"), QString::number(graphemeCount(item.text))));
    if (item.isImage && !item.imageURL.isEmpty()) {
        m_image->setUrl(item.imageURL);
        m_body->setCurrentIndex(0);
    } else {
        // The shown text: a sensitive item's mask, never its raw text.
        m_text->setPlainText(ItemRules::displayText(item.text, ItemRules::previewText));
        m_body->setCurrentIndex(1);
    }
}

void GalleryPreviewLayer::close()
{
    if (m_member == Member::shelfFile)
        m_state.previews().closeShelfPreview();
    else
        m_state.previews().closeGalleryClipPreview();
}

void GalleryPreviewLayer::placePanel()
{
    const QSize size = m_panel->size();
    m_panel->move((width() - size.width()) / 2, (height() - size.height()) / 2);
}

void GalleryPreviewLayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePanel();
}

void GalleryPreviewLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const double presence = m_transition.presence();
    painter.fillRect(rect(), Theme::black(0.6 * presence));
    m_transition.paintWithShadow(painter, cornerRadius, 0.8, 50, 20);
}

void GalleryPreviewLayer::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // The panel closed under it: a leaving preview is gone.
    if (m_transition.finishUnseen()) {
        hide();
        emit hidden();
    }
}

void GalleryPreviewLayer::mousePressEvent(QMouseEvent *event)
{
    // The layer covers what lies below: no click passes through it.
    event->accept();
    if (event->button() == Qt::LeftButton && isShown() &&
        !m_panel->geometry().contains(event->position().toPoint()))
        close();
}

} // namespace qv
