#include "vision/tfjsmodels.h"

#include "vision/tfjsfacenet.h"
#include "vision/tfjsfuse.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPainter>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

namespace mendral::tfjs {

namespace {

constexpr int peopleDeclaredHeight = 288, peopleDeclaredWidth = 384;
const std::string centernetBackbone = "tower_0/extern1/hard_swish/mul_1";
const std::string centernetHeatmaps = "tower_0/keypoints";

// Centernet read, cut at `output` and rewritten for OpenCV.
std::optional<GraphSpec> centernet(const QString &directory, const std::string &output, bool pool,
                                   QString *error)
{
    auto graph = loadGraphModel(QDir(directory).filePath(centernetFile), error);
    if (!graph || !prune(*graph, {output}, error) || !rewriteForOpenCV(*graph, error))
        return std::nullopt;
    // The same arithmetic in fewer and faster passes (only the depthwise sums change order):
    // a quarter of the people network's time went to broadcasting the squeeze-and-excite
    // gates and to hard swish's four passes, and a third to its 5 × 5 depthwise convolutions.
    fuseHardSwish(*graph);
    fuseChannelScales(*graph);
    fuseWideDepthwise(*graph);
    const std::string source = throughIdentities(*graph, output);
    GraphSpec model;
    model.outputs = {pool ? appendGlobalAveragePool(*graph, source) : source};
    if (!prune(*graph, model.outputs, error))
        return std::nullopt;
    model.graph = std::move(*graph);
    return model;
}

cv::Mat rgbMat(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                   size_t(rgb.bytesPerLine()))
        .clone();
}

cv::Mat resizedRgb(const QImage &image, int width, int height)
{
    cv::Mat rgb = rgbMat(image);
    if (rgb.cols == width && rgb.rows == height)
        return rgb;
    cv::Mat out;
    const bool shrinking = rgb.cols >= width && rgb.rows >= height;
    cv::resize(rgb, out, cv::Size(width, height), 0, 0,
               shrinking ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

} // namespace

std::optional<GraphSpec> sceneGraph(const QString &directory, int inputSize, QString *error)
{
    if (inputSize < 32 || inputSize % 32 != 0) {
        if (error)
            *error = "centernet needs a multiple of 32 as input size";
        return std::nullopt;
    }
    std::optional<GraphSpec> model = centernet(directory, centernetBackbone, true, error);
    if (model)
        setInputSize(model->graph, inputSize);
    return model;
}

std::optional<GraphSpec> peopleGraph(const QString &directory, QString *error, int classes)
{
    std::optional<GraphSpec> model = centernet(directory, centernetHeatmaps, false, error);
    if (model) {
        // The classes not read cost an eighteenth of the network's time.
        if (!keepFirstChannels(model->graph, model->outputs.front(), classes, error))
            return std::nullopt;
        // The head's three upsamplings each double their input (stride 32 to 16, 8 and 4).
        resizeByFactor(model->graph, 2.0f);
        // The shape OpenCV works out layer shapes from first; other inputs reshape the net.
        setInputSize(model->graph, peopleDeclaredHeight, peopleDeclaredWidth);
        // The backbone the heads grow from is the scene print's: it comes out of the same pass.
        model->outputs.push_back(throughIdentities(model->graph, centernetBackbone));
        if (!prune(model->graph, model->outputs, error))
            return std::nullopt;
    }
    return model;
}

std::optional<GraphSpec> faceGraph(const QString &directory, QString *error)
{
    const QDir dir(directory);
    QFile file(dir.filePath(faceNetManifestFile));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "cannot read " + file.fileName();
        return std::nullopt;
    }
    const auto weights = readWeights(QJsonDocument::fromJson(file.readAll()).array(),
                                     directory, error);
    if (!weights)
        return std::nullopt;
    auto graph = buildFaceRecognitionGraph(*weights, error);
    if (!graph)
        return std::nullopt;
    GraphSpec model;
    model.graph = std::move(*graph);
    model.outputs = {faceNetOutput};
    return model;
}

std::optional<GraphSpec> faceresGraph(const QString &directory, QString *error)
{
    const std::string output = "global_pooling/Mean";
    auto graph = loadGraphModel(QDir(directory).filePath(QStringLiteral("faceres.json")), error);
    if (!graph || !rewriteForOpenCV(*graph, error) || !prune(*graph, {output}, error))
        return std::nullopt;
    setInputSize(*graph, 224);
    GraphSpec model;
    model.graph = std::move(*graph);
    model.outputs = {output};
    return model;
}

std::optional<GraphSpec> eyeGraph(const QString &directory, QString *error)
{
    auto graph = loadGraphModel(QDir(directory).filePath(eyeNetFile), error);
    if (!graph || !rewriteForOpenCV(*graph, error))
        return std::nullopt;
    const std::string output = throughIdentities(*graph, "Identity");
    if (!prune(*graph, {output}, error))
        return std::nullopt;
    setInputSize(*graph, eyeNetInputSize);
    GraphSpec model;
    model.graph = std::move(*graph);
    model.outputs = {output};
    return model;
}

cv::Mat centernetBlob(const QImage &image, int width, int height)
{
    if (image.isNull() || width < 1 || height < 1)
        return {};
    return cv::dnn::blobFromImage(resizedRgb(image, width, height), 1.0, cv::Size(), cv::Scalar(),
                                  false, false, CV_32F);
}

cv::Mat faceNetBlob(const QImage &chip)
{
    if (chip.isNull())
        return {};
    return cv::dnn::blobFromImage(resizedRgb(chip, faceNetInputSize, faceNetInputSize), 1.0 / 255, cv::Size(),
                                  cv::Scalar(faceNetMean[0], faceNetMean[1], faceNetMean[2]),
                                  false, false, CV_32F);
}

cv::Mat eyeNetBlob(const QImage &crop)
{
    if (crop.isNull())
        return {};
    return cv::dnn::blobFromImage(resizedRgb(crop, eyeNetInputSize, eyeNetInputSize), 1.0 / 127.5, cv::Size(),
                                  cv::Scalar(127.5, 127.5, 127.5), false, false, CV_32F);
}

QImage letterboxed(const QImage &image, QSize canvas)
{
    if (image.isNull() || image.size() == canvas)
        return image;
    QImage out(canvas, QImage::Format_RGB888);
    out.fill(Qt::black);
    QPainter painter(&out);
    painter.drawImage((canvas.width() - image.width()) / 2, (canvas.height() - image.height()) / 2, image);
    return out;
}

cv::Mat blobFromRgb(const std::vector<float> &rgb, int side)
{
    const int dims[] = {1, 3, side, side};
    cv::Mat blob(4, dims, CV_32F);
    float *out = blob.ptr<float>();
    const size_t plane = size_t(side) * size_t(side);
    for (size_t i = 0; i < plane && 3 * i + 2 < rgb.size(); ++i)
        for (size_t c = 0; c < 3; ++c)
            out[c * plane + i] = rgb[3 * i + c];
    return blob;
}

} // namespace mendral::tfjs
