#include "vision/faceshape.h"

#include "vision/dlibimage.h"

#include <dlib/image_processing/shape_predictor.h>
#include <dlib/serialize.h>

#include <QFile>

#include <cmath>
#include <memory>
#include <vector>

namespace mendral {

namespace {

// The box is scaled to this width before the model runs.
constexpr double kTargetFaceSide = 240.0;
// Margin around the box, as a fraction of its side, so that the model sees the whole head
// outline it was trained on.
constexpr double kMargin = 0.25;

// dlib's 68-point model, held as its parts so that several fits can run through its trees
// together. A fit reads one leaf of 136 values from each of 7,500 trees, scattered over 95 MB:
// it waits on memory more than it computes. So a cascade's leaves are all chosen first (they
// depend only on the pixels read at the cascade's start), read ahead of their sums, and fits of
// the same face from nearby boxes, which mostly land on the same leaves, read each tree once.
// Each fit adds its leaves in the same order as dlib's own predictor, so its points are dlib's.
struct LandmarkModel {
    dlib::matrix<float, 0, 1> initialShape;
    std::vector<std::vector<dlib::impl::regression_tree>> forests;
    std::vector<std::vector<unsigned long>> anchorIdx;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
};

const LandmarkModel *loadModel()
{
    // Loaded on first use; fits only read it, so several threads may fit at once.
    static const std::unique_ptr<LandmarkModel> model = []() -> std::unique_ptr<LandmarkModel> {
        const QString path = faceShapeModelPath();
        if (!QFile::exists(path))
            return nullptr;
        try {
            auto m = std::make_unique<LandmarkModel>();
            int version = 0;
            // The fields of dlib's shape_predictor, in the order it stores them.
            dlib::deserialize(QFile::encodeName(path).toStdString())
                >> version >> m->initialShape >> m->forests >> m->anchorIdx >> m->deltas;
            const size_t cascades = m->forests.size();
            if (version != 1 || m->initialShape.size() != 2 * 68 || cascades == 0
                || m->anchorIdx.size() != cascades || m->deltas.size() != cascades)
                return nullptr;
            for (size_t c = 0; c < cascades; ++c) {
                if (m->anchorIdx[c].size() != m->deltas[c].size())
                    return nullptr;
                for (const unsigned long a : m->anchorIdx[c])
                    if (a >= 68)
                        return nullptr;
                for (const dlib::impl::regression_tree &tree : m->forests[c]) {
                    if (tree.leaf_values.size() != tree.splits.size() + 1)
                        return nullptr;
                    for (const dlib::impl::split_feature &split : tree.splits)
                        if (split.idx1 >= m->deltas[c].size() || split.idx2 >= m->deltas[c].size())
                            return nullptr;
                    for (const dlib::matrix<float, 0, 1> &leaf : tree.leaf_values)
                        if (leaf.size() != 2 * 68)
                            return nullptr;
                }
            }
            return m;
        } catch (...) {
            return nullptr;
        }
    }();
    return model.get();
}

// One face to fit: its grey crop and the box on it.
struct Fit {
    dlib::array2d<unsigned char> image;
    dlib::rectangle box;
    dlib::matrix<float, 0, 1> shape;
    std::vector<float> pixels;
};

// Runs the model's cascades over every fit at once.
void runCascades(const LandmarkModel &model, std::vector<Fit> &fits)
{
    for (Fit &fit : fits)
        fit.shape = model.initialShape;
    std::vector<const float *> leaves;
    for (size_t c = 0; c < model.forests.size(); ++c) {
        const std::vector<dlib::impl::regression_tree> &forest = model.forests[c];
        const size_t trees = forest.size();
        leaves.resize(trees * fits.size());
        for (size_t f = 0; f < fits.size(); ++f) {
            Fit &fit = fits[f];
            dlib::impl::extract_feature_pixel_values(fit.image, fit.box, fit.shape, model.initialShape,
                                                     model.anchorIdx[c], model.deltas[c], fit.pixels);
            unsigned long leaf = 0;
            for (size_t t = 0; t < trees; ++t)
                leaves[t * fits.size() + f] = &forest[t](fit.pixels, leaf)(0);
        }
        // Tree by tree, every fit's leaf; the leaves of a few trees on are fetched meanwhile.
        constexpr size_t kAhead = 4;
        constexpr size_t kLine = 64 / sizeof(float);
        for (size_t t = 0; t < trees; ++t) {
            if (t + kAhead < trees)
                for (size_t f = 0; f < fits.size(); ++f)
                    for (size_t j = 0; j < 2 * 68; j += kLine)
                        __builtin_prefetch(leaves[(t + kAhead) * fits.size() + f] + j);
            for (size_t f = 0; f < fits.size(); ++f) {
                float *__restrict shape = &fits[f].shape(0);
                const float *__restrict leaf = leaves[t * fits.size() + f];
                for (size_t j = 0; j < 2 * 68; ++j)
                    shape[j] += leaf[j];
            }
        }
    }
}

} // namespace

QString faceShapeModelPath()
{
    return QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat");
}

bool faceShapeModelAvailable()
{
    return loadModel() != nullptr;
}

QRect faceShapeArea(const QRectF &facePixels)
{
    return facePixels
        .adjusted(-kMargin * facePixels.width(), -kMargin * facePixels.height(), kMargin * facePixels.width(),
                  kMargin * facePixels.height())
        .toAlignedRect();
}

std::vector<std::optional<FaceShape>> faceShapes68(const QImage &image, std::span<const QRectF> boxes)
{
    std::vector<std::optional<FaceShape>> result(boxes.size());
    const LandmarkModel *model = loadModel();
    if (!model || image.isNull())
        return result;

    // Each box's crop, scaled so that the box is kTargetFaceSide wide.
    struct Placed {
        size_t index;
        QRect crop;
        double sx, sy;
    };
    std::vector<Placed> placed;
    std::vector<Fit> fits;
    try {
        for (size_t i = 0; i < boxes.size(); ++i) {
            const QRectF &facePixels = boxes[i];
            if (!facePixels.isValid() || facePixels.width() < 1 || facePixels.height() < 1)
                continue;
            const double side = std::max(facePixels.width(), facePixels.height());
            const double scale = kTargetFaceSide / side;
            const QRect cropPixels = faceShapeArea(facePixels).intersected(image.rect());
            if (cropPixels.width() < 2 || cropPixels.height() < 2)
                continue;
            const int outW = std::max(1, int(std::lround(cropPixels.width() * scale)));
            const int outH = std::max(1, int(std::lround(cropPixels.height() * scale)));
            const QImage crop = image.copy(cropPixels)
                                    .convertToFormat(QImage::Format_Grayscale8)
                                    .scaled(outW, outH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (crop.isNull())
                continue;
            // The exact scale after rounding to whole pixels, per axis.
            const double sx = double(crop.width()) / cropPixels.width();
            const double sy = double(crop.height()) / cropPixels.height();
            Fit fit;
            fit.image = toDlibGrey(crop);
            fit.box = dlib::rectangle(std::lround((facePixels.left() - cropPixels.left()) * sx),
                                      std::lround((facePixels.top() - cropPixels.top()) * sy),
                                      std::lround((facePixels.right() - cropPixels.left()) * sx) - 1,
                                      std::lround((facePixels.bottom() - cropPixels.top()) * sy) - 1);
            fits.push_back(std::move(fit));
            placed.push_back({i, cropPixels, sx, sy});
        }
        if (fits.empty())
            return result;
        runCascades(*model, fits);
    } catch (...) {
        return result;
    }

    for (size_t k = 0; k < fits.size(); ++k) {
        const Placed &p = placed[k];
        const dlib::point_transform_affine toCrop = dlib::impl::unnormalizing_tform(fits[k].box);
        FaceShape points;
        for (unsigned long i = 0; i < 68; ++i) {
            const dlib::point q = toCrop(dlib::impl::location(fits[k].shape, i));
            // Pixel centres: dlib's integer point i covers [i, i+1) in the crop.
            points[i] = QPointF(p.crop.left() + (q.x() + 0.5) / p.sx, p.crop.top() + (q.y() + 0.5) / p.sy);
        }
        result[p.index] = points;
    }
    return result;
}

std::optional<FaceShape> faceShape68(const QImage &image, const QRectF &facePixels)
{
    return faceShapes68(image, std::span<const QRectF>(&facePixels, 1)).front();
}

} // namespace mendral
