#include "views/edgepopup/edgeitemlist.h"

#include <QAbstractItemModel>

#include <cmath>

namespace qv {

EdgeItemList::EdgeItemList(QAbstractItemModel &model, Qt::Orientation orientation, Make make, Keeps keeps,
                           QWidget *parent)
    : QWidget(parent), m_model(model), m_orientation(orientation), m_make(std::move(make)),
      m_keeps(std::move(keeps))
{
    connect(&model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row)
            m_cards.insert(row, makeCard(row));
        relayout();
    });
    connect(&model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
        for (int row = last; row >= first && row < m_cards.size(); --row)
            delete m_cards.takeAt(row);
        relayout();
    });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                // A card holds its item by value: a changed row gets a new card, the others stay.
                for (int row = topLeft.row(); row <= bottomRight.row() && row < m_cards.size(); ++row) {
                    delete m_cards.at(row);
                    m_cards[row] = makeCard(row);
                }
                relayout();
            });
    connect(&model, &QAbstractItemModel::rowsMoved, this, &EdgeItemList::rebuild);
    connect(&model, &QAbstractItemModel::modelReset, this, &EdgeItemList::rebuild);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &EdgeItemList::rebuild);
    rebuild();
}

QWidget *EdgeItemList::makeCard(int row)
{
    QWidget *card = m_make(row, this);
    card->setVisible(m_keeps(row));
    return card;
}

void EdgeItemList::setMetrics(double spacing, double padding, double overlap)
{
    m_spacing = spacing;
    m_padding = padding;
    m_overlap = overlap;
    relayout();
}

void EdgeItemList::rebuild()
{
    for (const QPointer<QWidget> &card : std::as_const(m_cards))
        delete card;
    m_cards.clear();
    for (int row = 0; row < m_model.rowCount(); ++row)
        m_cards.append(makeCard(row));
    relayout();
}

void EdgeItemList::refilter()
{
    for (int row = 0; row < m_cards.size(); ++row) {
        if (m_cards.at(row))
            m_cards.at(row)->setVisible(m_keeps(row));
    }
    relayout();
}

QList<QWidget *> EdgeItemList::shownCards() const
{
    QList<QWidget *> shown;
    for (int row = 0; row < m_cards.size(); ++row) {
        if (m_cards.at(row) && m_keeps(row))
            shown.append(m_cards.at(row));
    }
    return shown;
}

void EdgeItemList::setShown(int count)
{
    if (count == m_shown)
        return;
    m_shown = count;
    emit shownCountChanged(count);
}

void EdgeItemList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_orientation == Qt::Vertical)
        relayout();
}

void EdgeItemList::relayout()
{
    if (m_layingOut)
        return;
    m_layingOut = true;
    const QList<QWidget *> shown = shownCards();
    double position = m_padding - m_overlap;
    for (QWidget *card : shown) {
        if (m_orientation == Qt::Horizontal) {
            const QSize size = card->sizeHint();
            card->setGeometry(int(std::lround(position)), int(std::lround((height() - size.height()) / 2.0)),
                              size.width(), size.height());
            position += size.width() - 2 * m_overlap + m_spacing;
        } else {
            const double available = width() - 2 * (m_padding - m_overlap);
            const QSize hint = card->sizeHint();
            const int cardWidth = card->hasHeightForWidth() ? int(available) : hint.width();
            const int cardHeight = card->hasHeightForWidth() ? card->heightForWidth(cardWidth) : hint.height();
            const int x = int(std::lround((width() - cardWidth) / 2.0));
            card->setGeometry(x, int(std::lround(position)), cardWidth, cardHeight);
            position += cardHeight - 2 * m_overlap + m_spacing;
        }
    }
    if (m_orientation == Qt::Vertical) {
        const double end = shown.isEmpty() ? 0 : position - m_spacing + m_padding - m_overlap;
        setMinimumHeight(int(std::ceil(end)));
    }
    m_layingOut = false;
    setShown(int(shown.size()));
}

} // namespace qv
