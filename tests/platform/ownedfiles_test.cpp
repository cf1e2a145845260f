#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/ownedfiles.h"

using namespace qv;

// The size a file reports is only a hint: one of /proc reports none and holds pages of text. Whatever
// the bound, such a file holding more is refused, never taken cut at the bound.
TEST(OwnedFilesTest, AFileIsJudgedByTheBytesReadNotTheSizeItReports)
{
    const QString maps = QStringLiteral("/proc/self/maps");
    constexpr qint64 largestBound = 9000;
    const auto whole = OwnedFiles::readRegularFile(maps, 1 << 20);
    ASSERT_EQ(whole.problem, OwnedFiles::ReadResult::None) << whole.description.toStdString();
    if (whole.bytes.size() <= largestBound)
        GTEST_SKIP() << "this process maps too little to tell";
    for (qint64 bound = 1; bound <= largestBound; ++bound) {
        const auto read = OwnedFiles::readRegularFile(maps, bound);
        ASSERT_EQ(read.problem, OwnedFiles::ReadResult::TooLarge) << "bound " << bound;
        ASSERT_TRUE(read.bytes.isEmpty()) << "bound " << bound;
    }
}

// A folder is emptied down to a bound of nesting and no deeper: each level holds a descriptor and a
// stack frame, and a tree deeper than a file manager shows is not one of ours. A tree right at the
// bound goes whole; one a level deeper is refused and left as it was.
TEST(OwnedFilesTest, RemovalGoesDownToItsBoundOfNestingAndNoDeeper)
{
    constexpr int bound = 256; // folders, the removed one included
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto nest = [&](const QString &top, int folders) {
        QString path = dir.filePath(top);
        for (int i = 1; i < folders; ++i)
            path += QStringLiteral("/d");
        QFile file(path + QStringLiteral("/file"));
        return QDir().mkpath(path) && file.open(QIODevice::WriteOnly);
    };
    ASSERT_TRUE(nest(QStringLiteral("atTheBound"), bound));
    ASSERT_TRUE(nest(QStringLiteral("deeper"), bound + 1));
    const OwnedFiles::Folder folder(dir.path());
    ASSERT_TRUE(folder.isOpen());
    EXPECT_TRUE(folder.removeEntry("atTheBound"))
        << "a tree of " << bound << " nested folders was not removed";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("atTheBound"))))
        << "a tree of " << bound << " nested folders was left";
    EXPECT_FALSE(folder.removeEntry("deeper")) << "a tree nested deeper than the removal's bound was removed";
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("deeper"))))
        << "a tree nested deeper than the removal's bound was removed";
}
