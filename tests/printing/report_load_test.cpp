#include "printing/report_load.h"

#include <gmock/gmock.h>

namespace hc::printing {
namespace {

TEST(FollowUpAddresses, AppendTheBatchIdExactlyAsRead)
{
    EXPECT_EQ(batchPageAddress("A?x=1", " B'7 "), "A?x=1&bid= B'7 ");
    EXPECT_EQ(samplesPageAddress("A?x=1", " B'7 "), "A?x=1&pt=SAMPLES&bid= B'7 ");
    EXPECT_EQ(batchPageAddress("A", ""), "A&bid=");
}

TEST(PageKind, OnlyExactCoverIsACoverSheet)
{
    EXPECT_EQ(pageKind("COVER"), PageKind::Cover);
    EXPECT_EQ(pageKind(""), PageKind::RequestAgain);
    for (const char *last : {"SAMPLES", "cover", "COVER ", " ", "X"})
        EXPECT_EQ(pageKind(last), PageKind::LastPage) << '"' << last << '"';
}

TEST(Pause, FourTenthsOfASecondPerSampleToTheNearestSecond)
{
    const std::vector<std::pair<int, int>> samplesToSeconds = {
        {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 2}, {7, 3}, {8, 3}, {10, 4}, {25, 10}, {32767, 13107}, {-3, 0}};
    for (auto [samples, seconds] : samplesToSeconds)
        EXPECT_EQ(pauseSeconds(qint16(samples)), seconds) << samples << " samples";
}

TEST(Pause, FromTheCaptionOnlyWhenItIsA16BitNumber)
{
    EXPECT_EQ(pauseSecondsForCaption("7"), 3);
    EXPECT_EQ(pauseSecondsForCaption(" 25 "), 10);
    for (const char *none : {"", "seven", "40000"})
        EXPECT_EQ(pauseSecondsForCaption(none), 0) << '"' << none << '"';
}

TEST(DeleteBatchStatement, TrimsBlanksAndDoublesApostrophes)
{
    EXPECT_EQ(deleteBatchStatement("  B-1001 "), "exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = 'B-1001'");
    EXPECT_EQ(deleteBatchStatement("7'; drop table x --"),
              "exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = '7''; drop table x --'");
}

TEST(FailedLoadMessage, TwoParagraphsJoinedByTwoLineBreaks)
{
    EXPECT_EQ(failedLoadMessage(),
              "Attempts to contact Fennorics WebServer failed.  This application will be shutdown.\r\n\r\n"
              "Please confirm your internet connection.  If this problem persists, please contact your network "
              "administrator");
}

} // namespace
} // namespace hc::printing
