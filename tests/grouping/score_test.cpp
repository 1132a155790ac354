#include "fixtures.h"
#include "grouping/clusterer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mendral;
using namespace mendral::test;

namespace {

PhotoGroup scored(const std::vector<Photo> &photos, std::vector<int> indices = {})
{
    if (indices.empty())
        for (int k = 0; k < int(photos.size()); ++k)
            indices.push_back(k);
    std::vector<PhotoGroup> groups(1);
    groups[0].indices = indices;
    groups[0].picks = {1};
    Clusterer::score(groups, photos);
    EXPECT_EQ(groups[0].picks, std::set<int>{1}); // decisions are not touched
    return groups[0];
}

Photo plain(int number, float sharpness, float exposure = 1.0f)
{
    Photo p = shot(number, number);
    p.sharpness = sharpness;
    p.exposure = exposure;
    return p;
}

// Three members scoring 0.62, 0.61 and 0.40, no face rule applying to the best.
std::vector<Photo> closeCall()
{
    Photo x = plain(0, 5.0f); // middle sharpness, no face
    Photo y = plain(1, 10.0f, 0.5f);
    y.faceCount = 1;
    y.faceQuality = 0.225f;
    Photo z = plain(2, 0.0f);
    z.faceCount = 1;
    z.faceQuality = 0.475f;
    return {x, y, z};
}

} // namespace

TEST(Scoring, ScoresWeighSharpnessFacesCentreAndExposure)
{
    const PhotoGroup g = scored(closeCall());
    ASSERT_EQ(g.scores.size(), 3u);
    EXPECT_NEAR(g.scores[0], 0.62f, 1e-6);
    EXPECT_NEAR(g.scores[1], 0.61f, 1e-6);
    EXPECT_NEAR(g.scores[2], 0.40f, 1e-6);
    EXPECT_EQ(g.recommended, 0);
}

TEST(Scoring, CloseCallNeedsTheUser)
{
    const PhotoGroup g = scored(closeCall());
    EXPECT_EQ(g.reason, "两张太接近，得你来定");
    EXPECT_TRUE(g.needsReview);
    EXPECT_NEAR(g.confidence, 0.1f, 1e-5);
    EXPECT_EQ(g.duplicates, (std::vector<bool>{false, false, false}));
}

TEST(Scoring, NearCopyOfTheBestDoesNotLowerConfidence)
{
    auto photos = closeCall();
    photos[0].featurePrint = axis(0);
    photos[1].featurePrint = towards(0, 1, 0.03);
    photos[2].featurePrint = std::vector<float>{}; // last print empty: no mean print
    const PhotoGroup g = scored(photos);
    EXPECT_NEAR(g.scores[0], 0.62f, 1e-6); // centre term still neutral
    EXPECT_EQ(g.duplicates, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(g.confidence, 1.0f); // 0.62 against 0.40
    EXPECT_TRUE(g.needsReview);    // from the first gap
    EXPECT_EQ(g.reason, "两张太接近，得你来定");
}

TEST(Scoring, DuplicatesNeedPrintsCloserThanTheLimit)
{
    auto photos = closeCall();
    photos[0].featurePrint = axis(0, 4);
    photos[1].featurePrint = towards(0, 1, 0.05, 4); // 0.05: not a copy
    photos[2].featurePrint = std::vector<float>{};
    EXPECT_EQ(scored(photos).duplicates, (std::vector<bool>{false, false, false}));
    photos[1].featurePrint.reset();
    photos[2].featurePrint = axis(0, 4); // same print as the best, but last: the mean exists
    const PhotoGroup g = scored(photos);
    EXPECT_TRUE(g.duplicates[2]);
    EXPECT_FALSE(g.duplicates[1]); // no print: never a duplicate
}

TEST(Scoring, MeanPrintCountsEveryPrintButAddsOnlyItsLength)
{
    // The short print counts in the divisor only: mean = 2/3 of axis 0, so both long prints
    // sit 0.816 from it while the short one counts as central (0).
    Photo shortPrint = plain(0, 1.0f);
    shortPrint.featurePrint = std::vector<float>{1.0f, 0.0f, 0.0f};
    Photo a = plain(1, 1.0f);
    a.featurePrint = axis(0, 4);
    Photo b = plain(2, 1.0f);
    b.featurePrint = axis(0, 4);
    const PhotoGroup g = scored({shortPrint, a, b});
    EXPECT_NEAR(g.scores[0] - g.scores[1], 0.18f, 1e-6);
    EXPECT_EQ(g.scores[1], g.scores[2]);
}

TEST(Scoring, SharpnessWithinMeasurementNoiseIsNeutral)
{
    const PhotoGroup g = scored({plain(0, 3.0f), plain(1, 3.0f)});
    EXPECT_NEAR(g.scores[0], 0.108f + 0.192f + 0.216f + 0.14f, 1e-6);
    EXPECT_EQ(g.scores[0], g.scores[1]);
    EXPECT_EQ(g.recommended, 0); // first on ties
    EXPECT_EQ(g.confidence, 0.0f);
    // Copies of one frame measure up to about 4 % apart: no winner on that.
    const PhotoGroup copies = scored({plain(0, 500.0f), plain(1, 520.0f)});
    EXPECT_EQ(copies.scores[0], copies.scores[1]);
    const PhotoGroup focused = scored({plain(0, 500.0f), plain(1, 540.0f)});
    EXPECT_EQ(focused.recommended, 1);
    EXPECT_NEAR(focused.scores[1] - focused.scores[0], 0.36f, 1e-6);
}

namespace {

Photo exposed(int number, float sharpness, float exposure, float brightness, float highlights, float shadows)
{
    Photo p = plain(number, sharpness, exposure);
    p.analyzed = true;
    p.brightness = brightness;
    p.highlights = highlights;
    p.shadows = shadows;
    return p;
}

} // namespace

TEST(Scoring, FrameWhoseFaceWasNotFoundLosesInAGroupOfPeople)
{
    // The face-blurred frame escaped the face search and measures its sharp background.
    Photo lost = plain(0, 180.0f);
    Photo kept = plain(1, 160.0f);
    Photo soft = plain(2, 120.0f), softer = plain(3, 110.0f);
    for (Photo *p : {&kept, &soft, &softer}) {
        p->faceCount = 1;
        p->faceQuality = 0.5f;
        p->eyeOpen = 0.8f;
    }
    const PhotoGroup g = scored({lost, kept, soft, softer});
    EXPECT_EQ(g.recommended, 1);
    EXPECT_NEAR(g.scores[0], 0.108f + 0.36f + 0.14f, 1e-6) << "no face term at all";
    // Two frames with faces are not enough to say so, nor half of the group.
    EXPECT_EQ(scored({lost, kept, soft}).recommended, 0);
    EXPECT_EQ(scored({lost, plain(1, 100.0f), plain(2, 100.0f), kept, soft, softer}).recommended, 0);
}

TEST(Scoring, BadlyExposedFrameNeverBeatsAnEquallySharpSibling)
{
    // A dark scene: the frame shot 0.7 stops over lifts the crushed shadows and scores a better
    // exposure, while its sky burns out; it is also a little sharper, within the noise.
    const Photo right = exposed(0, 400.0f, 0.82f, 0.30f, 0.04f, 0.030f);
    const Photo over = exposed(1, 410.0f, 0.90f, 0.37f, 0.09f, 0.001f);
    const Photo soft = exposed(2, 300.0f, 0.82f, 0.30f, 0.04f, 0.030f);
    const PhotoGroup g = scored({right, over, soft});
    EXPECT_EQ(g.recommended, 0);
    EXPECT_LE(g.scores[1], g.scores[0] - 0.035f) << "not a close call";
    EXPECT_FALSE(g.needsReview);
    // Nearer the others, but a quarter of the frame blown where they have a sixth: off too.
    const Photo sky = exposed(0, 400.0f, 0.6f, 0.50f, 0.17f, 0.0f);
    const Photo burnt = exposed(1, 420.0f, 0.5f, 0.54f, 0.25f, 0.0f);
    const Photo skySoft = exposed(2, 300.0f, 0.6f, 0.50f, 0.17f, 0.0f);
    EXPECT_EQ(scored({sky, burnt, skySoft}).recommended, 0);
    // Two frames, one 0.5 stops under with more crushed shadows and no fewer blown highlights:
    // the other is kept. Where the darker one also loses the other's blown sky, the two are
    // exposed differently rather than one badly, and the scores decide.
    const Photo under = exposed(1, 405.0f, 1.0f, 0.255f, 0.04f, 0.05f);
    EXPECT_EQ(scored({under, right}).recommended, 1);
    Photo trade = under;
    trade.highlights = 0.0f;
    EXPECT_EQ(scored({trade, right}).recommended, 0);
    // A frame clearly sharper than the well-exposed ones may still win: focus comes first.
    const Photo sharpOver = exposed(1, 600.0f, 0.9f, 0.37f, 0.09f, 0.001f);
    EXPECT_EQ(scored({right, sharpOver, soft}).recommended, 1);
    // A third of a stop over with nothing clipped is a doubt, not a fault: as sharp, the frame
    // exposed like the others is recommended, only just, and the user is asked to look.
    const Photo brighter = exposed(1, 402.0f, 0.82f, 0.33f, 0.04f, 0.030f);
    const PhotoGroup doubt = scored({right, brighter, soft});
    EXPECT_EQ(doubt.recommended, 0);
    EXPECT_NEAR(doubt.scores[0] - doubt.scores[1], 0.0175f, 1e-5);
    EXPECT_TRUE(doubt.needsReview);
    // Two frames a stop apart with nothing clipped on either: neither is called off.
    const PhotoGroup pair = scored({exposed(0, 400.0f, 1.0f, 0.30f, 0, 0), exposed(1, 400.0f, 1.0f, 0.41f, 0, 0)});
    EXPECT_EQ(pair.scores[0], pair.scores[1]);
    // Unmeasured brightness (older analyses) leaves the scores alone.
    const PhotoGroup old = scored({plain(0, 400.0f, 0.5f), plain(1, 410.0f, 1.0f)});
    EXPECT_EQ(old.recommended, 1);
}

TEST(Scoring, DarkPhotoIsPenalised)
{
    const PhotoGroup dark = scored({plain(0, 1.0f, 0.2f)});
    EXPECT_NEAR(dark.scores[0], (0.108f + 0.408f + 0.028f) * 0.55f, 1e-6);
    const PhotoGroup edge = scored({plain(0, 1.0f, 0.25f)});
    EXPECT_NEAR(edge.scores[0], 0.108f + 0.408f + 0.035f, 1e-6);
}

TEST(Scoring, SinglePhotos)
{
    const PhotoGroup fine = scored({plain(0, 1.0f, 0.5f)});
    EXPECT_EQ(fine.confidence, 1.0f);
    EXPECT_FALSE(fine.needsReview);
    EXPECT_EQ(fine.reason, "单张，唯一");
    EXPECT_EQ(fine.duplicates, std::vector<bool>{false});

    const PhotoGroup dim = scored({plain(0, 1.0f, 0.3f)});
    EXPECT_TRUE(dim.needsReview);
    EXPECT_EQ(dim.reason, "单张，但质量偏低");

    // Shut eyes on a lone portrait are said, not hidden behind "unique"; open eyes are not.
    Photo portrait = plain(0, 1.0f, 0.5f);
    portrait.faceCount = 1;
    portrait.faceQuality = 0.8f;
    portrait.eyeOpen = 0.2f;
    const PhotoGroup shut = scored({portrait});
    EXPECT_TRUE(shut.needsReview);
    EXPECT_EQ(shut.reason, "可能有人闭眼");
    portrait.eyeOpen = 0.9f;
    EXPECT_EQ(scored({portrait}).reason, "单张，唯一");
}

TEST(Scoring, OpenEyesCountAlikeAndOnlyHalfShutOnesLose)
{
    // The sharp frame reads 0.57 where one more face was measured; the shaken one reads 1.00.
    std::vector<Photo> photos = {plain(0, 200.0f), plain(1, 190.0f), plain(2, 100.0f)};
    for (Photo &p : photos) {
        p.faceCount = 2;
        p.faceQuality = 0.5f;
    }
    photos[0].eyeOpen = 0.57f;
    photos[1].eyeOpen = 1.0f;
    photos[2].eyeOpen = 0.8f;
    EXPECT_EQ(scored(photos).recommended, 0);
    // Half-shut eyes in the sharp frame still cost it the recommendation.
    photos[0].eyeOpen = 0.3f;
    EXPECT_EQ(scored(photos).recommended, 1);
}

TEST(Scoring, ClosedEyesNeverBeatAnOpenEyedSiblingNearlyAsSharp)
{
    // A blink in the sharpest frame, with better face figures, and an open-eyed sibling 8 %
    // softer: the sibling is recommended, a clear step ahead.
    std::vector<Photo> photos = {plain(0, 200.0f), plain(1, 185.0f), plain(2, 100.0f)};
    for (Photo &p : photos) {
        p.faceCount = 1;
        p.eyeOpen = 0.9f;
        p.faceQuality = 0.5f;
    }
    photos[0].faceQuality = 0.9f;
    photos[0].eyeOpen = 0.1f;
    PhotoGroup g = scored(photos);
    EXPECT_EQ(g.recommended, 1);
    EXPECT_LE(g.scores[0], g.scores[1] - 0.035f) << "not a close call";
    EXPECT_FALSE(g.needsReview);
    // 15 % softer, as a shaken frame may measure: still ahead, but the user decides.
    photos[1].sharpness = 170.0f;
    g = scored(photos);
    EXPECT_EQ(g.recommended, 1);
    EXPECT_TRUE(g.needsReview);
    EXPECT_EQ(g.reason, "两张太接近，得你来定");
    // Against a frame with a missed focus (half as sharp), or one whose eyes were not measured,
    // the scores decide as before.
    photos[1].sharpness = 100.0f;
    EXPECT_EQ(scored(photos).recommended, 0);
    photos[1].sharpness = 185.0f;
    photos[1].eyeOpen = -1.0f;
    photos[2].eyeOpen = -1.0f;
    EXPECT_EQ(scored(photos).recommended, 0);
}

TEST(Scoring, CentreTermWaitsForMoreThanPrintNoise)
{
    // Three equally sharp frames whose prints fan out by an angle: the middle one is the most
    // central. A fan as narrow as re-encoding noise leaves the centre term neutral.
    auto fan = [](float angle) {
        std::vector<Photo> photos;
        for (int k = 0; k < 3; ++k) {
            Photo p = plain(k, 5.0f);
            p.featurePrint = std::vector<float>{std::cos(angle * float(k)), std::sin(angle * float(k))};
            photos.push_back(p);
        }
        return scored(photos);
    };
    const PhotoGroup noise = fan(0.02f);
    EXPECT_EQ(noise.scores[0], noise.scores[1]);
    EXPECT_EQ(noise.scores[1], noise.scores[2]);
    const PhotoGroup real = fan(0.3f);
    EXPECT_EQ(real.recommended, 1);
    EXPECT_NEAR(real.scores[1] - real.scores[0], 0.18f, 1e-5);
    // Blur makes frames alike: the sharp frame is the odd one out of the prints. Centrality
    // only ranks the frames as sharp as the best, so it does not count against the sharp one.
    std::vector<Photo> burst;
    for (int k = 0; k < 4; ++k) {
        Photo p = plain(k, k == 0 ? 200.0f : 150.0f + float(k));
        const float angle = k == 0 ? 0.0f : 0.4f + 0.01f * float(k);
        p.featurePrint = std::vector<float>{std::cos(angle), std::sin(angle)};
        burst.push_back(p);
    }
    const PhotoGroup keeper = scored(burst);
    EXPECT_EQ(keeper.recommended, 0);
    EXPECT_NEAR(keeper.scores[0], 0.108f + 0.192f + 0.36f + 0.14f, 1e-5);
}

TEST(Scoring, SharpnessFloorNeedsMoreThanTwentyAnalysedPhotos)
{
    // Sharpness 0..k-1 over the shoot: with 21 photos the floor is the value at index 2.
    std::vector<Photo> photos;
    for (int k = 0; k < 20; ++k)
        photos.push_back(plain(k, float(k)));
    EXPECT_EQ(scored(photos, {1}).reason, "单张，唯一");
    photos.push_back(plain(20, 20.0f));
    EXPECT_EQ(scored(photos, {1}).reason, "单张，但质量偏低");
    EXPECT_EQ(scored(photos, {2}).reason, "单张，唯一");
    photos[5].analyzed = false; // unanalysed photos do not count
    EXPECT_EQ(scored(photos, {1}).reason, "单张，唯一");
}

TEST(Scoring, ReasonRules)
{
    EXPECT_EQ(scored({plain(0, 0.0f), plain(1, 10.0f)}).reason, "组内综合最佳");
    EXPECT_EQ(scored({plain(0, 0.0f), plain(1, 10.0f), plain(2, 1.0f)}).reason, "最清晰且居中");

    auto photos = std::vector<Photo>{plain(0, 0.0f), plain(1, 10.0f)};
    photos[1].faceCount = 1;
    photos[1].faceQuality = 0.8f;
    const PhotoGroup clear = scored(photos);
    EXPECT_EQ(clear.reason, "人脸质量最好");
    EXPECT_FALSE(clear.needsReview);
    EXPECT_EQ(clear.confidence, 1.0f);

    photos[1].eyeOpen = 0.2f;
    const PhotoGroup eyes = scored(photos);
    EXPECT_EQ(eyes.recommended, 1);
    EXPECT_EQ(eyes.reason, "可能有人闭眼");
    EXPECT_TRUE(eyes.needsReview);

    photos[1].eyeOpen = -1.0f;
    photos[1].faceQuality = 0.3f;
    EXPECT_EQ(scored(photos).reason, "有人的表情可能不佳");
}

TEST(Scoring, WeakBestSaysNoneStandsOut)
{
    // Equally sharp (v = 0.6 for both) and both under-exposed; the face lifts b a little.
    Photo a = plain(0, 10.0f, 0.0f);
    Photo b = plain(1, 10.0f, 0.0f);
    b.faceCount = 1;
    b.faceQuality = 0.5f;
    b.eyeOpen = 0.4f;
    const PhotoGroup g = scored({a, b});
    EXPECT_EQ(g.recommended, 1);
    // Eyes at 0.4 count 0.8 of open ones: u = 0.5 × 0.8 + 0.5 × 0.5.
    EXPECT_NEAR(g.scores[1], (0.108f + 0.65f * 0.32f + 0.6f * 0.36f) * 0.55f, 1e-6);
    EXPECT_EQ(g.reason, "组内没有明显更好的");
    EXPECT_TRUE(g.needsReview);
}

TEST(Scoring, UnanalysedPhotosScoreWithDefaults)
{
    Photo raw = plain(0, 50.0f);
    raw.analyzed = false; // its sharpness is not used
    const PhotoGroup g = scored({raw, plain(1, 10.0f)});
    EXPECT_EQ(g.recommended, 1);
}

TEST(Scoring, EmptyAndMisfitGroupsAreLeftAlone)
{
    std::vector<PhotoGroup> groups(2);
    groups[1].indices = {0, 7};
    groups[1].reason = "untouched";
    Clusterer::score(groups, {plain(0, 1.0f)});
    EXPECT_TRUE(groups[0].scores.empty());
    EXPECT_EQ(groups[1].reason, "untouched");
}
