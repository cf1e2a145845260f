#include <gtest/gtest.h>

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
