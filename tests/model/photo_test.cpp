#include "model/enums.h"
#include "model/photo.h"
#include "model/photogroup.h"

#include <gtest/gtest.h>

using namespace mendral;

TEST(Photo, FreshPhotoHasNeutralAnalysis)
{
    const Photo p("/card/DCIM/IMG_0001.JPG", {"/card/DCIM/IMG_0001.CR2"}, 1.5e9, 100, 6000, 4000,
                  false);
    EXPECT_EQ(p.id, "/card/DCIM/IMG_0001.JPG");
    EXPECT_EQ(p.name(), "IMG_0001.JPG");
    EXPECT_EQ(p.allFiles(), QStringList({"/card/DCIM/IMG_0001.JPG", "/card/DCIM/IMG_0001.CR2"}));
    EXPECT_EQ(p.exposure, 1.0f);
    EXPECT_EQ(p.eyeOpen, -1.0f);
    EXPECT_FALSE(p.analyzed);
    EXPECT_FALSE(p.suspectEyes());
    EXPECT_FALSE(p.featurePrint.has_value());
}

TEST(Photo, SuspectEyesBoundary)
{
    Photo p;
    p.eyeOpen = 0.35f;
    EXPECT_FALSE(p.suspectEyes());
    p.eyeOpen = 0.0f;
    EXPECT_TRUE(p.suspectEyes());
    p.eyeOpen = 0.3499f;
    EXPECT_TRUE(p.suspectEyes());
}

TEST(Photo, ApplyingAnalysisCopiesEveryFieldAndMarksAnalysed)
{
    PhotoAnalysis a;
    a.sharpness = 12.5f;
    a.exposure = 0.4f;
    a.faceCount = 2;
    a.faceQuality = 0.7f;
    a.eyeOpen = 0.9f;
    a.featurePrint = std::vector<float>{0.6f, 0.8f};
    a.facePrints = {{1.0f, 0.0f}, {0.0f, 1.0f}};
    a.mainFaceSide = 0.2f;
    a.humanCount = 3;
    a.hairPrint = std::vector<float>(64, 1.0f / 64);
    a.torsoPrint = std::vector<float>(64, 1.0f / 64);
    Photo p("/x.jpg", {}, 0, 1, 0, 0, false);
    p.apply(a);
    EXPECT_TRUE(p.analyzed);
    EXPECT_EQ(p.analysis(), a);
    EXPECT_EQ(p.id, "/x.jpg"); // capture fields untouched
}

TEST(PhotoGroup, StatusAndResolved)
{
    PhotoGroup g;
    g.indices = {4, 5, 6, 7};
    EXPECT_EQ(g.status(), GroupStatus::pending);
    EXPECT_TRUE(g.needsReview);
    g.picks = {3, 0, 1};
    EXPECT_EQ(g.status(), GroupStatus::picked);
    EXPECT_EQ(g.resolved(), (std::vector<int>{0, 1, 3}));
    g.skipped = true; // skipping wins over picks
    EXPECT_EQ(g.status(), GroupStatus::skipped);
    EXPECT_TRUE(g.resolved().empty());
}

TEST(PhotoGroup, BestIndexClampsRecommended)
{
    PhotoGroup g;
    EXPECT_EQ(g.bestIndex(), 0);
    g.indices = {10, 11, 12};
    g.recommended = 5;
    EXPECT_EQ(g.bestIndex(), 12);
    g.recommended = 1;
    EXPECT_EQ(g.bestIndex(), 11);
    EXPECT_EQ(g.count(), 3);
}

TEST(Enums, FilterRawValuesAndPhaseLabels)
{
    EXPECT_EQ(groupFilterFromRawValue("全部"), GroupFilter::all);
    EXPECT_EQ(groupFilterFromRawValue("待确认"), GroupFilter::pending);
    EXPECT_EQ(groupFilterFromRawValue("已决定"), GroupFilter::decided);
    EXPECT_FALSE(groupFilterFromRawValue("all").has_value());
    EXPECT_EQ(rawValue(allGroupFilters[0]), "全部");
    EXPECT_EQ(label(Phase::idle), "等待导入");
    EXPECT_EQ(label(Phase::scanning), "正在扫描");
    EXPECT_EQ(label(Phase::analyzing), "正在分析");
    EXPECT_EQ(label(Phase::ready), "就绪");
}
