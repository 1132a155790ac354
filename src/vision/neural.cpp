#include "vision/neural.h"

#include "platform/datadirs.h"

#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <cmath>

namespace mendral::neural {

namespace {

// Scene prints: centernet's backbone averaged over the photo's centre square, read in the
// people network's pass (below), where the square is 288 pixels of a 4:3 photo and 256 of a
// 3:2 one. With the square alone as the input, measured on 48 photos (wallpapers of Debian's
// mate and plasma packages, six group photos), each against 6 shifted, cropped, zoomed,
// re-exposed and mirrored copies: different photos closer than the farthest copy were 687 of
// 1128 pairs at 128 px, 651 at 192, 129 at 256, 177 at 320 and 407 at 384. Read in the people
// pass, the backbone also sees the photo around the square: on the benchmark cards, grouping
// F1 went from 0.980 to 0.983 and from 0.911 to 0.931, copies of a frame (re-encoded, resized
// to 90 and 75 %) stayed as near (at most 0.018 apart, against 0.025), and a cold cull spent
// a sixth less CPU than with a pass of its own.
// Each pooled activation is replaced by its signed square root before the print is scaled to
// unit length, so that a few strong channels do not decide the distance alone. Measured on a
// card of 365 frames of 90 scenes (bench/make-card, two days; pairs within a day): pairs of
// different scenes at distance 0.252 or less (where the loosest grouping may join them) went
// from 38 to 8, frames of one scene beyond 0.252 from 10 to 12, and the nearest different
// scene from 0.220 to 0.241.
// People: peaks of centernet's person heatmap, the photo letterboxed into a square. Measured
// on six group photos of 3 to 5 people (22 in all), a portrait and twelve landscapes, counts
// that missed the truth: at 512 (the model's native size) with threshold 0.25, four photos by
// one person (the portrait counted 2); at 512 with 0.3, four; at 448, two or more photos and
// the portrait at 2 with either threshold; at 384 with 0.25, two photos, one of them by two
// people; at 384 with 0.3, one photo by one person (5 counted 4), the portrait 1 and no
// landscape any; 0.35 and above lose people in groups. Peaks suppressed over 5 × 5 or 7 × 7
// cells counted the same as over 3 × 3. 384 also takes half the time of 512.
// The network is convolutional, so a landscape or portrait photo is not padded to a square:
// fitted into 384 × 384, a photo of 4:3 or longer goes into 384 × 288 (or 288 × 384), which
// spares a quarter of the work (78 against 58 ms on one core) and gives the same people on
// the benchmark cards. A network reshapes when the shape changes (about 20 ms), so only
// these three shapes are used.
constexpr int peopleInputSize = 384;
constexpr int peopleShortSide = 288;
constexpr float personThreshold = 0.3f;
// Face prints: face-api's recognition network on dlib's aligned chip. The grouping takes two
// faces as the same person below distance 0.20 and as different people from 0.38; prints may
// be mapped to [k·v, √(1 − k²)] to multiply every distance by k ≤ 1. Measured on 19 faces of
// six group photos (bench/vision), each against 7 shifted, zoomed, re-exposed and mirrored
// copies: same face median 0.072, 90 % below 0.165, 4 % above 0.20 (up to 0.55);
// different faces from 0.375, median 0.505, except one
// woman photographed twice (0.300, between the gates). k = 1 keeps 96 % of same pairs below
// 0.20 and 98 % of different ones from 0.38; k = 0.9 loses 6 % of different pairs below 0.38
// for 1 % more same pairs: so the network's own scale is kept. (faceres: same up to 0.50 on
// plain crops but the person photographed twice at 0.86, among strangers from 0.86: no
// identity across photos. Unaligned crops: same up to 0.39, different from 0.33.)
constexpr float faceDistanceScale = 1.0f;

struct Models {
    std::shared_ptr<tfjs::NetPool> people, face, eyes;
    QStringList problems; // one line per model that did not load, for the user
};

using GraphMaker = std::function<std::optional<tfjs::GraphSpec>(QString *error)>;

// A pool that makes the graph again for each further network instead of keeping it encoded
// (38 MB for the three models); the first graph made serves the first network.
std::shared_ptr<tfjs::NetPool> pool(const GraphMaker &make, QString *error)
{
    std::optional<tfjs::GraphSpec> model = make(error);
    if (!model)
        return nullptr;
    auto first = std::make_shared<std::optional<tfjs::GraphDef>>(std::move(model->graph));
    auto source = [make, first](QString *error) -> std::optional<tfjs::GraphDef> {
        if (*first) {
            std::optional<tfjs::GraphDef> graph = std::move(*first);
            first->reset();
            return graph;
        }
        std::optional<tfjs::GraphSpec> again = make(error);
        return again ? std::optional<tfjs::GraphDef>(std::move(again->graph)) : std::nullopt;
    };
    return tfjs::NetPool::create(source, model->outputs, error);
}

// Says which file is missing, or which one is there but does not load (and why).
QString problem(const QString &what, const QString &file, const QString &error)
{
    if (!QFileInfo::exists(file))
        return QStringLiteral("缺少") + what + QLatin1Char(' ') + file;
    return what + QLatin1Char(' ') + file + QStringLiteral(" 无法载入（") + error + QStringLiteral("）");
}

// The people network, tried once on a blank landscape input: its heatmaps must come out at a
// quarter of the input each way, or the upsamplings did not follow the input.
std::shared_ptr<tfjs::NetPool> peoplePool(const QString &directory, QString *error)
{
    const std::shared_ptr<tfjs::NetPool> people =
        pool([directory](QString *e) { return tfjs::peopleGraph(directory, e); }, error);
    if (!people)
        return nullptr;
    const int height = peopleShortSide, width = peopleInputSize;
    const int dims[] = {1, 3, height, width};
    const auto out = people->run(cv::Mat(4, dims, CV_32F, cv::Scalar(0)), error);
    if (!out || out->empty() || out->front().dims != 4 || out->front().size[2] != height / 4
        || out->front().size[3] != width / 4) {
        if (error && error->isEmpty())
            *error = QStringLiteral("people heatmaps of the wrong shape");
        return nullptr;
    }
    return people;
}

Models &models()
{
    static Models m = [] {
        const QDir dir(modelDirectory());
        Models loaded;
        QString error;
        loaded.people = peoplePool(dir.path(), &error);
        if (!loaded.people)
            loaded.problems << problem(QStringLiteral("场景与人物模型"), dir.filePath(tfjs::centernetFile), error);
        error.clear();
        loaded.face = pool([path = dir.path()](QString *e) { return tfjs::faceGraph(path, e); }, &error);
        if (!loaded.face)
            loaded.problems << problem(QStringLiteral("人脸识别模型"), dir.filePath(tfjs::faceNetManifestFile), error);
        error.clear();
        loaded.eyes = pool([path = dir.path()](QString *e) { return tfjs::eyeGraph(path, e); }, &error);
        if (!loaded.eyes)
            loaded.problems << problem(QStringLiteral("眼睑模型"), dir.filePath(tfjs::eyeNetFile), error);
        return loaded;
    }();
    return m;
}

} // namespace

QString modelDirectory()
{
    return findDataDirectory("MENDRAL_MODELS", QStringLiteral("models"),
                             {tfjs::centernetFile, tfjs::faceNetManifestFile});
}

bool modelsAvailable()
{
    const Models &m = models();
    return m.people && m.face && m.eyes;
}

QStringList modelProblems()
{
    return models().problems;
}

std::optional<std::vector<float>> scenePrint(const QImage &image)
{
    std::optional<PeopleAndScene> found = peopleAndScene(image);
    if (!found || !found->scene)
        return std::nullopt;
    return std::move(found->scene);
}

std::optional<double> lidGap(const QImage &leftEyeCrop)
{
    const auto &net = models().eyes;
    if (!net || leftEyeCrop.isNull())
        return std::nullopt;
    const auto out = net->run(tfjs::eyeNetBlob(leftEyeCrop));
    if (!out || out->empty() || out->front().total() < 228)
        return std::nullopt;
    // Points (x, y, z): the lower lid is 0…8 from corner to corner, the upper lid 9…15 between
    // them; the gap is the mean of five facing pairs over the middle of the eye.
    const float *v = out->front().ptr<float>();
    const auto x = [v](int i) { return double(v[3 * i]); };
    const auto y = [v](int i) { return double(v[3 * i + 1]); };
    const double width = std::hypot(x(8) - x(0), y(8) - y(0));
    if (!(width > 1.0))
        return std::nullopt;
    double gap = 0;
    for (int k = 0; k < 5; ++k)
        gap += std::abs(y(10 + k) - y(2 + k));
    return gap / 5 / width;
}

namespace {

// A channel's activations averaged over `area` (in pixels of the network's input, whose cells
// are `cell` pixels wide and high), each cell weighted by its share inside the area.
std::vector<float> pooledOver(const cv::Mat &map, const QRectF &area, QSizeF cell)
{
    const int channels = map.size[1], h = map.size[2], w = map.size[3];
    auto shares = [](int cells, double size, double from, double to) {
        std::vector<double> share(size_t(cells), 0.0);
        for (int i = 0; i < cells; ++i)
            share[size_t(i)] = std::max(0.0, std::min(to, (i + 1) * size) - std::max(from, i * size)) / size;
        return share;
    };
    const std::vector<double> sx = shares(w, cell.width(), area.left(), area.right());
    const std::vector<double> sy = shares(h, cell.height(), area.top(), area.bottom());
    double total = 0;
    for (double a : sy)
        for (double b : sx)
            total += a * b;
    std::vector<float> values(size_t(channels), 0.0f);
    if (!(total > 0))
        return values;
    for (int c = 0; c < channels; ++c) {
        const float *plane = map.ptr<float>() + size_t(c) * size_t(h) * size_t(w);
        double sum = 0;
        for (int y = 0; y < h; ++y)
            if (sy[size_t(y)] > 0)
                for (int x = 0; x < w; ++x)
                    sum += sy[size_t(y)] * sx[size_t(x)] * plane[y * w + x];
        values[size_t(c)] = float(sum / total);
    }
    return values;
}

// The people of a heatmap (NCHW, class 0 first): local maxima of their 3 × 3 neighbourhood
// above the threshold, as centernet decodes its own detections, normalised to the fitted
// image, which sits at `offset` in an input of `input` pixels.
std::vector<QPointF> peaksOf(const cv::Mat &heat, QSize input, QPointF offset, QSize fitted)
{
    const int h = heat.size[2], w = heat.size[3];
    const float *p = heat.ptr<float>();
    const double cellX = double(input.width()) / w, cellY = double(input.height()) / h;
    std::vector<QPointF> centres;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float v = p[y * w + x];
            if (!(v >= personThreshold))
                continue;
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int yy = y + dy, xx = x + dx;
                    if ((dy || dx) && yy >= 0 && yy < h && xx >= 0 && xx < w) {
                        const float n = p[yy * w + xx];
                        // Ties go to the first in reading order, so a flat top counts once.
                        if (n > v || (n == v && (dy < 0 || (dy == 0 && dx < 0)))) {
                            peak = false;
                            break;
                        }
                    }
                }
            if (peak)
                centres.emplace_back(
                    std::clamp(((x + 0.5) * cellX - offset.x()) / fitted.width(), 0.0, 1.0),
                    std::clamp(((y + 0.5) * cellY - offset.y()) / fitted.height(), 0.0, 1.0));
        }
    }
    return centres;
}

} // namespace

std::optional<PeopleAndScene> peopleAndScene(const QImage &image)
{
    const auto &net = models().people;
    if (!net || image.isNull())
        return std::nullopt;
    const QImage fitted = image.scaled(peopleInputSize, peopleInputSize, Qt::KeepAspectRatio,
                                       Qt::SmoothTransformation);
    if (fitted.isNull())
        return std::nullopt;
    const auto side = [](int v) { return v <= peopleShortSide ? peopleShortSide : peopleInputSize; };
    const QSize input(side(fitted.width()), side(fitted.height()));
    const auto out = net->run(tfjs::centernetBlob(tfjs::letterboxed(fitted, input), input.width(), input.height()));
    if (!out || out->empty() || out->front().dims != 4)
        return std::nullopt;
    // The fitted image sits centred in the input.
    const QPointF offset((input.width() - fitted.width()) / 2, (input.height() - fitted.height()) / 2);
    PeopleAndScene found;
    found.people = peaksOf(out->front(), input, offset, fitted.size());
    // The scene print: the backbone's activations over the centre square of the photo.
    if (out->size() > 1 && out->at(1).dims == 4) {
        const cv::Mat &backbone = out->at(1);
        const int s = std::min(fitted.width(), fitted.height());
        const QRect square((fitted.width() - s) / 2, (fitted.height() - s) / 2, s, s);
        const QSizeF cell(double(input.width()) / backbone.size[3], double(input.height()) / backbone.size[2]);
        std::vector<float> values = pooledOver(backbone, QRectF(square).translated(offset), cell);
        for (float &v : values)
            v = std::copysign(std::sqrt(std::abs(v)), v);
        found.scene = normalised(std::move(values));
        found.sceneSquare = fitted.copy(square);
    }
    return found;
}

std::optional<std::vector<QPointF>> personCentres(const QImage &image)
{
    std::optional<PeopleAndScene> found = peopleAndScene(image);
    if (!found)
        return std::nullopt;
    return std::move(found->people);
}

std::optional<int> countPeople(const QImage &image)
{
    const auto centres = personCentres(image);
    if (!centres)
        return std::nullopt;
    return int(centres->size());
}

std::optional<std::vector<float>> facePrint(const QImage &faceCrop)
{
    const auto &net = models().face;
    if (!net || faceCrop.isNull())
        return std::nullopt;
    const auto chip = alignedFaceChip(faceCrop);
    if (!chip)
        return std::nullopt;
    const auto out = net->run(tfjs::faceNetBlob(*chip));
    if (!out || out->empty())
        return std::nullopt;
    const cv::Mat &m = out->front();
    const auto unit = normalised(std::vector<float>(m.ptr<float>(), m.ptr<float>() + m.total()));
    if (!unit)
        return std::nullopt;
    if (faceDistanceScale < 1.0f)
        return scaleDistances(*unit, faceDistanceScale);
    return unit;
}

} // namespace mendral::neural
