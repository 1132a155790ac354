// Header bar, settings panel, progress screen and status bar, against a store in known states.

#include "ui/headerbar.h"
#include "ui/settingspanel.h"
#include "ui/statchip.h"
#include "ui/statusbar.h"
#include "ui/theme.h"
#include "ui/widgets.h"
#include "ui/workingview.h"
#include "uitestsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace mendral;

namespace {

struct HeaderTest : ::testing::Test, test::WindowFixture {};

TEST_F(HeaderTest, AtLaunchShowsNotImportedWithoutChipsOrSpinner)
{
    HeaderBar header(*store);
    header.show();
    EXPECT_EQ(header.folderLabel()->text(), "未导入");
    EXPECT_FALSE(header.chipRow()->isVisible());
    EXPECT_FALSE(header.workingIndicator()->isVisible());
    EXPECT_FALSE(header.subfolderBadge()->isVisible());
    EXPECT_FALSE(header.exportButton()->isEnabled());
    EXPECT_EQ(header.exportButton()->toolTip(), "进组把要用的照片选上，再点导出");
}

TEST_F(HeaderTest, ChipsTakeTheirColoursFromTheCounts)
{
    fill(3);
    HeaderBar header(*store);
    header.show();
    const auto &chips = header.chips();
    ASSERT_TRUE(header.chipRow()->isVisible());
    EXPECT_EQ(chips[0]->value(), "6");
    EXPECT_EQ(chips[0]->label(), "张");
    EXPECT_EQ(chips[1]->value(), "3");
    EXPECT_EQ(chips[2]->value(), "3");
    EXPECT_EQ(chips[2]->tint(), theme::orange()) << "3 pending";
    EXPECT_EQ(chips[3]->value(), "0");
    EXPECT_EQ(chips[3]->tint(), theme::secondary()) << "nothing picked";

    store->choose(1, 0);
    EXPECT_EQ(chips[3]->value(), "1");
    EXPECT_EQ(chips[3]->tint(), theme::green());
    EXPECT_EQ(chips[2]->value(), "2");

    store->skip(0);
    store->choose(2, 1);
    EXPECT_EQ(chips[2]->value(), "0");
    EXPECT_EQ(chips[2]->tint(), theme::secondary()) << "no group pending";
    EXPECT_EQ(chips[4]->value(), "1");
    EXPECT_EQ(chips[4]->tint(), theme::secondary());
}

TEST_F(HeaderTest, ExportTooltipCountsPickedPhotos)
{
    EXPECT_EQ(HeaderBar::exportToolTip(0), "进组把要用的照片选上，再点导出");
    EXPECT_EQ(HeaderBar::exportToolTip(1), "把已选的 1 张照片导出到指定位置");
    fill(2, 3);
    HeaderBar header(*store);
    store->choose(0, 0);
    store->choose(0, 2);
    store->choose(1, 1);
    EXPECT_EQ(header.exportButton()->toolTip(), "把已选的 3 张照片导出到指定位置");
    EXPECT_TRUE(header.exportButton()->isEnabled());
}

TEST_F(HeaderTest, WorkingIndicatorOnlyWhileImporting)
{
    HeaderBar header(*store);
    header.show();
    AppStoreTestAccess::setPhase(*store, Phase::scanning);
    EXPECT_TRUE(header.workingIndicator()->isVisible());
    EXPECT_FALSE(header.chipRow()->isVisible()) << "no photos yet";
    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    EXPECT_TRUE(header.workingIndicator()->isVisible());
    fill(1); // also enters ready
    EXPECT_FALSE(header.workingIndicator()->isVisible());
    EXPECT_TRUE(header.chipRow()->isVisible());
}

TEST_F(HeaderTest, FolderNameAndSubfolderBadge)
{
    AppStoreTestAccess::setSource(*store, "/media/card/DCIM/");
    store->setIncludeSubfolders(true);
    HeaderBar header(*store);
    header.show();
    EXPECT_EQ(header.folderLabel()->text(), "DCIM");
    EXPECT_FALSE(header.subfolderBadge()->isVisible()) << "no photos: no badge";
    fill(1);
    EXPECT_TRUE(header.subfolderBadge()->isVisible());
    store->setIncludeSubfolders(false);
    EXPECT_FALSE(header.subfolderBadge()->isVisible());
}

TEST_F(HeaderTest, SettingsButtonTogglesThePanelThroughTheStore)
{
    HeaderBar header(*store);
    header.resize(900, 50);
    header.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&header));
    QTest::mouseClick(header.settingsButton(), Qt::LeftButton);
    EXPECT_TRUE(store->showSettings());
    EXPECT_TRUE(header.settingsPopup()->isVisible());
    header.settingsPopup()->hide(); // closed some other way
    EXPECT_FALSE(store->showSettings());
    store->setShowSettings(true);
    EXPECT_TRUE(header.settingsPopup()->isVisible());
    store->setShowSettings(false);
    EXPECT_FALSE(header.settingsPopup()->isVisible());
}

TEST(SettingsWords, StrictComparisonsAroundStandard)
{
    EXPECT_EQ(SettingsPanel::similarityWord(0.9), "更细");
    EXPECT_EQ(SettingsPanel::similarityWord(0.95), "标准");
    EXPECT_EQ(SettingsPanel::similarityWord(1.0), "标准");
    EXPECT_EQ(SettingsPanel::similarityWord(1.05), "标准");
    EXPECT_EQ(SettingsPanel::similarityWord(1.1), "更粗");
    EXPECT_EQ(SettingsPanel::thresholdText(0), "");
    EXPECT_EQ(SettingsPanel::thresholdText(-1), "");
    EXPECT_EQ(SettingsPanel::thresholdText(0.4123f), "0.41");
    EXPECT_EQ(SettingsPanel::thresholdText(0.001f), "0.00") << "calibrated, however small, is shown";
    EXPECT_EQ(SettingsPanel::thresholdText(std::nanf("")), "");
}

struct SettingsPanelTest : ::testing::Test, test::WindowFixture {};

TEST_F(SettingsPanelTest, SliderStepsLandOnTheWordBoundariesExactly)
{
    SettingsPanel panel(*store);
    panel.show();
    QSlider *slider = panel.slider();
    EXPECT_EQ(slider->minimum() / 20.0, 0.5);
    EXPECT_EQ(slider->maximum() / 20.0, 2.0);
    slider->setValue(19); // 0.95 from the slider must read as the literal 0.95
    EXPECT_DOUBLE_EQ(store->simFactor(), 0.95);
    EXPECT_EQ(panel.wordLabel()->text(), "标准");
    slider->setValue(18);
    EXPECT_EQ(panel.wordLabel()->text(), "更细");
    slider->setValue(21);
    EXPECT_EQ(panel.wordLabel()->text(), "标准");
    slider->setValue(22);
    EXPECT_EQ(panel.wordLabel()->text(), "更粗");
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(store->simFactor(), 1.05);
}

TEST_F(SettingsPanelTest, FollowsTheStoreAndGuardsRegroup)
{
    store->setSimFactor(0.9);
    SettingsPanel panel(*store);
    panel.show();
    EXPECT_EQ(panel.slider()->value(), 18);
    EXPECT_EQ(panel.wordLabel()->text(), "更细");
    EXPECT_FALSE(panel.thresholdLabel()->isVisible()) << "nothing calibrated yet";
    EXPECT_FALSE(panel.regroupButton()->isEnabled());
    store->setSimFactor(7.0); // out of the slider's range: clamped on the slider, word still right
    EXPECT_EQ(panel.slider()->value(), 40);
    EXPECT_EQ(panel.wordLabel()->text(), "更粗");
    EXPECT_DOUBLE_EQ(store->simFactor(), 7.0) << "showing must not write the factor back";

    QTest::mouseClick(panel.subfolderBox(), Qt::LeftButton);
    EXPECT_EQ(store->includeSubfolders(), panel.subfolderBox()->isChecked());
    fill(2);
    EXPECT_TRUE(panel.regroupButton()->isEnabled());
}

TEST(WorkingPercent, RoundsToNearestWholeNumber)
{
    EXPECT_EQ(WorkingView::percentText(0.456), "46%");
    EXPECT_EQ(WorkingView::percentText(0.004), "0%");
    EXPECT_EQ(WorkingView::percentText(0.005), "1%");
    EXPECT_EQ(WorkingView::percentText(0.0), "0%");
    EXPECT_EQ(WorkingView::percentText(1.0), "100%");
    EXPECT_EQ(WorkingView::percentText(std::nan("")), "0%");
}

struct WorkingViewTest : ::testing::Test, test::WindowFixture {};

TEST_F(WorkingViewTest, ShowsPhaseTitleSymbolAndCount)
{
    WorkingView view(*store);
    AppStoreTestAccess::setPhase(*store, Phase::scanning);
    EXPECT_STREQ(view.symbolName(), "magnifyingglass");
    EXPECT_EQ(view.title()->text(), "正在扫描照片");
    EXPECT_EQ(view.status()->text(), "请稍候…") << "empty status text";
    EXPECT_EQ(view.percent()->text(), "0%");
    view.show();
    EXPECT_FALSE(view.count()->isVisible());

    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    EXPECT_STREQ(view.symbolName(), "face.dashed");
    EXPECT_EQ(view.title()->text(), "正在识别照片");
    fill(5, 2);
    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    EXPECT_TRUE(view.count()->isVisible());
    EXPECT_EQ(view.count()->text(), "10 张");
}

struct StatusBarTest : ::testing::Test, test::WindowFixture {};

TEST_F(StatusBarTest, HintUntilExportedAndPickedCount)
{
    StatusBar bar(*store);
    bar.show();
    EXPECT_EQ(bar.destinationLabel()->text(), "还没导出过 · 选好照片后点右上角「导出」");
    EXPECT_FALSE(bar.revealButton()->isEnabled());
    EXPECT_FALSE(bar.pickedLabel()->isVisible());
    EXPECT_FALSE(bar.syncedLabel()->isVisible());
    fill(2);
    store->choose(0, 1);
    EXPECT_TRUE(bar.pickedLabel()->isVisible());
    EXPECT_EQ(bar.pickedText()->text(), "已选 1 张");
    store->undo();
    EXPECT_FALSE(bar.pickedLabel()->isVisible());
}

} // namespace
