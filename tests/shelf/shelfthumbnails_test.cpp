#include "core/diagnostics/diagevents.h"
#include "shelffixture.h"

namespace qv {
namespace {

class ShelfThumbnailTest : public ShelfTest
{
protected:
    ShelfItem insert(const QUrl &url)
    {
        const QUuid id = m_manager->addItem(url);
        settle();
        EXPECT_EQ(m_manager->items().first().id, id);
        return m_manager->items().first();
    }

    QImage thumbnailOf(const QUuid &id) const
    {
        for (const ShelfItem &item : m_manager->items()) {
            if (item.id == id)
                return item.thumbnail.image();
        }
        return QImage();
    }
};

TEST_F(ShelfThumbnailTest, AFileNothingCanDrawIsAskedForFourTimesThenKeepsItsIcon)
{
    const QUrl file = makeFile(QStringLiteral("notes.xyz"));
    const QString copy = QDir(shelfPath()).filePath(QStringLiteral("notes.xyz"));
    QFile::copy(file.toLocalFile(), copy);
    const ShelfItem item = insert(QUrl::fromLocalFile(copy));
    // Asked at 0 s, then 0.18 s, 0.45 s and 0.9 s after each failure.
    const struct
    {
        double advance;
        int requests;
    } steps[] = {{0.179, 1}, {0.002, 2}, {0.447, 2}, {0.002, 3}, {0.898, 3}, {0.004, 4}, {30.0, 4}};
    for (const auto &step : steps) {
        settle(step.advance);
        EXPECT_EQ(m_sim.thumbnails.requestCount(copy), step.requests) << "after " << step.advance;
    }
    EXPECT_EQ(thumbnailOf(item.id).cacheKey(), item.thumbnail.image().cacheKey());
    EXPECT_EQ(m_events.details(DiagEvents::shelfThumbnailFailed), QStringList{QStringLiteral("gave up")});
}

TEST_F(ShelfThumbnailTest, RepresentationsDependOnTheExtension)
{
    using R = ThumbnailRequest;
    EXPECT_EQ(FileShelfManager::representationTypes(QStringLiteral("/s/A.webloc")), R::Icon | R::Thumbnail);
    EXPECT_EQ(FileShelfManager::representationTypes(QStringLiteral("/s/README")),
              R::Icon | R::LowQualityThumbnail | R::Thumbnail);
    EXPECT_EQ(FileShelfManager::representationTypes(QStringLiteral("/s/A.WEBLOC")),
              R::Representations(R::Thumbnail));
}

// Thumbnails used to be stretched onto the square; a wide picture now sits centred with clear bands.
TEST_F(ShelfThumbnailTest, ADecodableFileIsDrawnAspectFitWithoutWaitingForARetry)
{
    const ShelfItem item = insert(makeImageFile(QStringLiteral("wide.png"), 1000, 500));
    const QImage thumbnail = thumbnailOf(item.id);
    EXPECT_EQ(m_sim.thumbnails.requests().size(), 1);
    ASSERT_EQ(thumbnail.size(), QSize(300, 300));
    EXPECT_EQ(thumbnail.pixelColor(150, 74).alpha(), 0);
    EXPECT_EQ(thumbnail.pixelColor(150, 76).alpha(), 255);
    EXPECT_EQ(thumbnail.pixelColor(150, 223).alpha(), 255);
    EXPECT_EQ(thumbnail.pixelColor(150, 226).alpha(), 0);
    EXPECT_EQ(thumbnail.pixelColor(0, 150).alpha(), 255);
}

TEST_F(ShelfThumbnailTest, AGeneratedPictureKeepsItsAspectOnTheSquare)
{
    const QUrl file = makeFile(QStringLiteral("tall.doc"));
    QImage tall(100, 400, QImage::Format_RGB32);
    tall.fill(Qt::red);
    m_sim.thumbnails.script(file.toLocalFile(), tall);
    const ShelfItem item = insert(file);
    const QImage thumbnail = thumbnailOf(item.id);
    ASSERT_EQ(thumbnail.deviceIndependentSize().toSize(), QSize(300, 300));
    const double scale = thumbnail.devicePixelRatio();
    EXPECT_EQ(thumbnail.pixelColor(int(150 * scale), int(150 * scale)), QColor(Qt::red));
    EXPECT_EQ(thumbnail.pixelColor(int(20 * scale), int(150 * scale)).alpha(), 0);
}

TEST_F(ShelfThumbnailTest, ALateThumbnailForARemovedItemIsDropped)
{
    const QUrl file = makeFile(QStringLiteral("late.doc"));
    const ShelfItem item = insert(file);
    m_sim.thumbnails.script(file.toLocalFile(), QImage(10, 10, QImage::Format_RGB32));
    m_manager->removeItem(item);
    settle(1.0);
    EXPECT_EQ(m_sim.thumbnails.requestCount(file.toLocalFile()), 2);
    EXPECT_TRUE(m_manager->items().isEmpty());
}

struct MetadataRow
{
    const char *name;
    std::optional<LinkMetadata> answer; // none: the page never answers
    double answerAfter;                 // seconds; after the guard the answer is ignored
    std::optional<QString> customName;
    bool iconApplied;
};

class LinkMetadataTest : public ShelfThumbnailTest, public ::testing::WithParamInterface<MetadataRow>
{
};

TEST_P(LinkMetadataTest, TheFetchEndsOnceWithTitleIconOrNothing)
{
    const MetadataRow &row = GetParam();
    const QUrl address(QStringLiteral("https://example.com/article"));
    ASSERT_TRUE(m_manager->processWebLink(address));
    settle();
    ASSERT_EQ(m_sim.web.metadataAsked, QList<QUrl>{address});
    EXPECT_EQ(m_sim.web.lastMetadataTimeout, FileShelfManager::metadataTimeout);
    const ShelfItem before = m_manager->items().first();
    EXPECT_FALSE(before.isWebFetched);

    settle(row.answerAfter);
    if (row.answer) {
        ASSERT_TRUE(m_sim.web.answerMetadata(address, *row.answer));
    }
    settle(FileShelfManager::metadataGuard);
    const ShelfItem after = m_manager->items().first();
    EXPECT_TRUE(after.isWebFetched);
    EXPECT_EQ(after.customName, row.customName);
    EXPECT_EQ(after.thumbnail.cacheKey() != before.thumbnail.cacheKey(), row.iconApplied);
}

QImage icon()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::yellow);
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LinkMetadataTest,
    ::testing::Values(MetadataRow{"title", LinkMetadata{true, QStringLiteral("  A Page\n"), icon(), {}}, 1.0,
                                  QStringLiteral("A Page"), true},
                      MetadataRow{"blank", LinkMetadata{true, QStringLiteral("   "), QImage(), {}}, 1.0,
                                  std::nullopt, false},
                      MetadataRow{"error",
                                  LinkMetadata{false, std::nullopt, QImage(), QStringLiteral("refused")}, 1.0,
                                  std::nullopt, false},
                      MetadataRow{"late", LinkMetadata{true, QStringLiteral("Too late"), icon(), {}}, 10.5,
                                  std::nullopt, false},
                      MetadataRow{"silent", std::nullopt, 0.0, std::nullopt, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ShelfThumbnailTest, GuardMarksTheLinkFetchedAtTenSeconds)
{
    ASSERT_TRUE(m_manager->processWebLink(QUrl(QStringLiteral("https://example.com/"))));
    settle(FileShelfManager::metadataGuard - 0.01);
    EXPECT_FALSE(m_manager->items().first().isWebFetched);
    settle(0.02);
    EXPECT_TRUE(m_manager->items().first().isWebFetched);
    EXPECT_EQ(m_events.details(DiagEvents::shelfLinkFetch), QStringList{QStringLiteral("timeout")});
}

TEST_F(ShelfThumbnailTest, ARemovedLinkStaysRemovedWhenItsTitleArrives)
{
    const QUrl address(QStringLiteral("https://example.com/gone"));
    ASSERT_TRUE(m_manager->processWebLink(address));
    settle();
    m_manager->removeItem(m_manager->items().first());
    ASSERT_TRUE(m_sim.web.answerMetadata(address, LinkMetadata{true, QStringLiteral("Gone"), icon(), {}}));
    settle(11.0);
    EXPECT_TRUE(m_manager->items().isEmpty());
}

} // namespace
} // namespace qv
