#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include "runtime/manualscheduler.h"
#include "ui/revealbox.h"

using namespace qv;

// At rest the box takes its content's height and no more, however much room the layout has to
// spare (a share of it would open a gap under the rows), and it follows the content when a row
// comes or goes inside it.
TEST(RevealBoxTest, TakesItsContentsHeightAndFollowsTheContent)
{
    ManualScheduler scheduler;
    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *content = new QWidget;
    auto *rows = new QVBoxLayout(content);
    rows->addWidget(new QLabel(QStringLiteral("First"), content));
    auto *second = new QLabel(QStringLiteral("Second"), content);
    second->hide();
    rows->addWidget(second);
    auto *box = new RevealBox(content, true, scheduler, 0.3, 0.8, &page);
    layout->addWidget(box);
    page.resize(300, 400);
    page.show();
    const auto settle = [] {
        for (int pass = 0; pass < 4; ++pass)
            QCoreApplication::processEvents();
    };
    settle();
    const int oneRow = content->sizeHint().height();
    EXPECT_EQ(box->height(), oneRow);
    EXPECT_EQ(content->geometry(), QRect(0, 0, 300, oneRow));

    second->show();
    settle();
    const int twoRows = content->sizeHint().height();
    ASSERT_GT(twoRows, oneRow);
    EXPECT_EQ(box->height(), twoRows) << "the room stayed as it was";
    EXPECT_EQ(content->height(), twoRows);
}
