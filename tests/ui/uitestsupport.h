#pragma once

#include "imagecache/imagestore.h"
#include "model/photo.h"
#include "model/photogroup.h"
#include "store/storetestsupport.h"

#include <QImage>
#include <QThread>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <vector>

namespace mendral::test {

/**
 * A store filled with groups of photos (no import), and an image store whose decoder only
 * counts requests and returns a small coloured image, so views can be checked for what they
 * ask for.
 */
struct WindowFixture {
    StoreFixture storeFixture;
    std::unique_ptr<AppStore> store = storeFixture.make();
    std::shared_ptr<std::atomic<int>> decodes = std::make_shared<std::atomic<int>>(0);
    /** While set, decoding waits: a view can be seen before its image arrives. */
    std::shared_ptr<std::atomic<bool>> holdDecoding = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<ImageStore> images = std::make_unique<ImageStore>(
        storeFixture.dir.path() + "/thumbs", [counter = decodes, hold = holdDecoding](const QString &url, int) {
            while (hold->load())
                QThread::msleep(1);
            counter->fetch_add(1);
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(colorOf(url));
            return image;
        });

    /** The colour the fake decoder paints a file's image in. */
    static QColor colorOf(const QString &url) { return QColor::fromHsv(int(qHash(url) % 360), 220, 220).toRgb(); }

    /** Whether an image shows a file's colour (allowing for JPEG in the disk cache). */
    static bool shows(const QPixmap &pixmap, const QString &url)
    {
        const QColor a = pixmap.toImage().pixelColor(5, 5), b = colorOf(url);
        return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 &&
               std::abs(a.blue() - b.blue()) < 12;
    }

    static Photo photo(int n)
    {
        Photo p;
        p.url = QStringLiteral("/cards/DCIM/IMG_%1.jpg").arg(n, 4, 10, QLatin1Char('0'));
        p.id = p.url;
        p.captureDate = 1.7e9 + n;
        p.analyzed = true;
        return p;
    }

    /** `groups` groups of `perGroup` photos each, ids 0…groups−1, all pending, phase ready. */
    void fill(int groups, int perGroup = 2)
    {
        std::vector<Photo> photos;
        std::vector<PhotoGroup> list;
        for (int g = 0; g < groups; ++g) {
            PhotoGroup group;
            group.id = g;
            for (int k = 0; k < perGroup; ++k) {
                group.indices.push_back(int(photos.size()));
                photos.push_back(photo(int(photos.size())));
            }
            group.scores.assign(size_t(perGroup), 0.5f);
            group.duplicates.assign(size_t(perGroup), false);
            list.push_back(group);
        }
        AppStoreTestAccess::setContent(*store, std::move(photos), std::move(list));
        AppStoreTestAccess::setPhase(*store, Phase::ready);
    }

    /** Replaces the picks and skip flags of groups (through the store's own operations). */
    void pick(int groupID, std::initializer_list<int> positions)
    {
        for (int p : positions)
            store->choose(groupID, p);
    }
};

} // namespace mendral::test
