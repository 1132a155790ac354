#pragma once

#include "imagecache/imagestore.h"
#include "model/photogroup.h"
#include "store/storetestsupport.h"
#include "support/testfiles.h"
#include "ui/review/reviewview.h"

#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace mendral::test {

/**
 * A store holding groups of real JPEG files written to a temporary folder, an image store with
 * its own cache folder there, and a review screen in a 1000 × 700 window.
 */
struct ReviewFixture {
    QTemporaryDir dir;
    StoreFixture storeFixture;
    std::unique_ptr<AppStore> store = storeFixture.make();
    std::unique_ptr<ImageStore> images = std::make_unique<ImageStore>(dir.path() + "/thumbs");
    std::unique_ptr<QWidget> window;
    ReviewView *view = nullptr;

    /** A photo file of the given size; its colour steps with n so photos tell apart. */
    Photo photo(int n, QSize size = {600, 400})
    {
        Photo p;
        p.url = dir.path() + QStringLiteral("/IMG_%1.jpg").arg(n, 4, 10, QLatin1Char('0'));
        p.id = p.url;
        p.pixelWidth = size.width();
        p.pixelHeight = size.height();
        p.fileSize = 1000;
        p.captureDate = 1.7e9 + n;
        p.analyzed = true;
        const QColor colour = QColor::fromHsv((n * 47) % 360, 160, 200);
        EXPECT_TRUE(writeImage(p.url, size.width(), size.height(), colour));
        return p;
    }

    /** Groups with the given sizes, ids 0…; every photo of `size`. */
    void fill(const std::vector<int> &sizes, QSize size = {600, 400})
    {
        std::vector<Photo> photos;
        std::vector<PhotoGroup> groups;
        for (size_t g = 0; g < sizes.size(); ++g) {
            PhotoGroup group;
            group.id = int(g);
            for (int k = 0; k < sizes[g]; ++k) {
                group.indices.push_back(int(photos.size()));
                photos.push_back(photo(int(photos.size()), size));
            }
            group.scores.assign(size_t(sizes[g]), 0.5f);
            group.duplicates.assign(size_t(sizes[g]), false);
            groups.push_back(group);
        }
        AppStoreTestAccess::setContent(*store, std::move(photos), std::move(groups));
        AppStoreTestAccess::setPhase(*store, Phase::ready);
    }

    /** Opens the review of a group in a shown window. */
    void open(int groupID, QSize windowSize = {1000, 700})
    {
        store->openReview(groupID);
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        view = new ReviewView(*store, window.get(), images.get());
        layout->addWidget(view);
        window->resize(windowSize);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        view->setFocus();
        QCoreApplication::processEvents();
    }

    const PhotoGroup &group(int id) const { return *store->group(id); }

    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(view, Qt::Key(key), mods);
    }
};

} // namespace mendral::test
