// One save of the decisions of a 20,000-photo folder, as the store makes it after a keystroke:
// gathering them from the groups (on the main thread), encoding and the synced atomic write (on
// the keeper's thread). Every group is decided, the largest file such a folder gives. Prints
// wall and CPU times and their ratio to a synced plain write of the same number of bytes,
// measured in the same run; and the read and restore an import does. Medians of five runs.

#include "store/decisionstore.h"

#include "../support/benchtime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace mendral;

namespace {

using bench::Time;

Time measure(const std::function<void()> &work)
{
    return bench::timeMedian(work); // a running program saves again and again
}

void report(const char *what, Time t, Time base)
{
    bench::report(what, t, base, 4);
}

} // namespace

int main()
{
    constexpr int kPhotos = 20000, kGroupSize = 5;
    const QString folder = QStringLiteral("/media/card/DCIM");
    std::vector<Photo> photos;
    IdentityMap identities;
    photos.reserve(kPhotos);
    for (int i = 0; i < kPhotos; ++i) {
        const QString rel = QStringLiteral("%1CANON/IMG_%2.CR3").arg(100 + i / 9999).arg(i % 9999, 4, 10, QChar('0'));
        photos.emplace_back(folder + QLatin1Char('/') + rel, QStringList(), 1.7e9 + i, 25'000'000 + i, 6000, 4000, true);
        identities.emplace(photos.back().id, PhotoIdentity{rel, photos.back().fileSize, 1.7e9 + i});
    }
    // Two of five picked in one group, the next one skipped, and so on.
    std::vector<PhotoGroup> groups;
    for (int g = 0; g * kGroupSize < kPhotos; ++g) {
        PhotoGroup group;
        group.id = g;
        for (int k = 0; k < kGroupSize; ++k)
            group.indices.push_back(g * kGroupSize + k);
        if (g % 2 == 0)
            group.picks = {0, 3};
        else
            group.skipped = true;
        groups.push_back(std::move(group));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("decisions.plist");
    FolderDecisions decisions;
    QByteArray encoded;
    const Time collect = measure([&] { decisions = DecisionStore::collect(folder, photos, groups, identities); });
    const Time encode = measure([&] { encoded = DecisionStore::encode(decisions); });
    bool saved = false;
    const Time save = measure([&] {
        saved = !DecisionStore::save(path, DecisionStore::collect(folder, photos, groups, identities));
    });

    const QByteArray blob(encoded.size(), 'x');
    const QString rawPath = dir.filePath("raw.bin");
    const Time rawWrite = measure([&] { bench::syncedWrite(rawPath, blob); });

    std::vector<PhotoGroup> fresh = groups;
    for (PhotoGroup &g : fresh) {
        g.picks.clear();
        g.skipped = false;
    }
    int restored = 0;
    std::vector<PhotoGroup> back;
    const Time read = measure([&] {
        back = fresh;
        const auto r = DecisionStore::read(path, folder);
        restored = r.decisions ? DecisionStore::restore(back, photos, identities, *r.decisions) : 0;
    });

    bool same = saved && restored == int(groups.size());
    for (size_t i = 0; same && i < groups.size(); ++i)
        same = back[i].picks == groups[i].picks && back[i].skipped == groups[i].skipped;
    std::printf("decisions: %d photos in %d groups, all decided, %.2f MB\n", kPhotos, int(groups.size()),
                double(encoded.size()) / 1e6);
    std::printf("baseline: a synced plain write of the same number of bytes\n");
    report("collect", collect, rawWrite);
    report("encode", encode, rawWrite);
    report("save", save, rawWrite);
    report("restore", read, rawWrite);
    std::printf("round trip: %s\n", same ? "equal" : "DIFFERENT");
    return same ? 0 : 1;
}
