// Per-call times of each neural net, and how far apart the prints of the same and of different
// scenes and faces lie. Photos: the arguments, or the system's wallpapers and the sample photos
// next to the models. Times are printed with their ratio to a baseline measured in the same run
// (scaling a 2400-pixel image to 256 pixels).

#include "vision/facedetector.h"
#include "vision/neural.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace mendral;

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

float distance(const std::vector<float> &a, const std::vector<float> &b)
{
    double dot = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        dot += double(a[i]) * b[i];
    return float(std::sqrt(std::max(0.0, 2 - 2 * dot)));
}

QImage exposed(const QImage &image, double factor)
{
    QImage out = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y) {
        uchar *line = out.scanLine(y);
        for (int x = 0; x < out.width() * 3; ++x)
            line[x] = uchar(std::clamp(std::lround(line[x] * factor), 0L, 255L));
    }
    return out;
}

// Shifted, cropped, zoomed, re-exposed and mirrored copies.
std::vector<QImage> variants(const QImage &image)
{
    const int w = image.width(), h = image.height();
    return {image.copy(w / 20, h / 20, w * 9 / 10, h * 9 / 10),
            image.copy(0, 0, w * 9 / 10, h * 9 / 10),
            image.copy(w / 8, h / 8, w * 3 / 4, h * 3 / 4),
            exposed(image, 1.35),
            exposed(image, 0.7),
            image.mirrored(true, false)};
}

struct Stats {
    std::vector<float> same, different;
    void print(const char *what) const
    {
        auto show = [](const char *label, std::vector<float> v) {
            if (v.empty())
                return std::printf("  %-9s none\n", label), void();
            std::sort(v.begin(), v.end());
            std::printf("  %-9s n=%-5zu min %.3f  p10 %.3f  median %.3f  p90 %.3f  max %.3f\n", label,
                        v.size(), v.front(), v[v.size() / 10], v[v.size() / 2],
                        v[v.size() * 9 / 10], v.back());
        };
        std::printf("%s distances\n", what);
        show("same", same);
        show("different", different);
    }
};

QStringList defaultPhotos()
{
    QStringList files;
    for (const QString &dir : {QStringLiteral("/usr/share/backgrounds/mate/nature"),
                               QStringLiteral("/usr/share/wallpapers"),
                               QStringLiteral("/usr/lib/python3/dist-packages/skimage/data"),
                               neural::modelDirectory() + "/samples"}) {
        QDirIterator it(dir, {"*.jpg", "*.jpeg", "*.png"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    if (files.isEmpty())
        files = defaultPhotos();
    std::printf("models: %s (%s)\n", qPrintable(neural::modelDirectory()),
                neural::modelsAvailable() ? "all loaded" : "incomplete");

    std::vector<QImage> photos;
    for (const QString &f : files) {
        QImage image(f);
        if (image.isNull())
            continue;
        photos.push_back(image.scaled(900, 900, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB888));
    }
    std::printf("%zu photos\n", photos.size());
    if (photos.empty())
        return 1;

    const QImage big = photos[0].scaled(2400, 1600);
    const double baseline = medianMs(9, [&] { (void)big.scaled(256, 256, Qt::IgnoreAspectRatio,
                                                                 Qt::SmoothTransformation); });
    const double sceneMs = medianMs(9, [&] { (void)neural::scenePrint(photos[0]); });
    const double peopleMs = medianMs(5, [&] { (void)neural::countPeople(photos[0]); });
    std::printf("baseline (scale 2400 px to 256): %.2f ms\n", baseline);
    std::printf("scene print: %.1f ms (%.1f x baseline)\n", sceneMs, sceneMs / baseline);
    std::printf("people count: %.1f ms (%.1f x baseline)\n", peopleMs, peopleMs / baseline);

    // Scenes: each photo against its own altered copies, and against every other photo.
    Stats scenes;
    std::vector<std::vector<float>> prints;
    for (const QImage &p : photos) {
        const auto print = neural::scenePrint(p.copy(
            (p.width() - std::min(p.width(), p.height())) / 2,
            (p.height() - std::min(p.width(), p.height())) / 2, std::min(p.width(), p.height()),
            std::min(p.width(), p.height())));
        prints.push_back(print.value_or(std::vector<float>{}));
        for (const QImage &v : variants(p)) {
            const int s = std::min(v.width(), v.height());
            const auto other =
                neural::scenePrint(v.copy((v.width() - s) / 2, (v.height() - s) / 2, s, s));
            if (print && other)
                scenes.same.push_back(distance(*print, *other));
        }
    }
    for (size_t i = 0; i < prints.size(); ++i)
        for (size_t j = i + 1; j < prints.size(); ++j)
            if (!prints[i].empty() && !prints[j].empty())
                scenes.different.push_back(distance(prints[i], prints[j]));
    scenes.print("scene print");

    std::printf("people per photo:");
    for (size_t i = 0; i < photos.size(); ++i)
        std::printf(" %s=%d", qPrintable(QFileInfo(files[int(i)]).baseName()),
                    neural::countPeople(photos[i]).value_or(-1));
    std::printf("\n");
    return 0;
}
