// The graphs the program runs, through OpenCV, against TensorFlow.js's outputs for the same
// model files and inputs (tests/vision/golden: golden.mjs and the digests it wrote).

#include "vision/neural.h"
#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>

using namespace mendral;

namespace {

// Same pixels as pattern() in golden.mjs.
QImage patternImage(int side)
{
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 3; ++c) {
                const double wave = 127.5 + 90 * std::sin(x * 0.05 + c) * std::cos(y * 0.07 - 0.5 * c);
                const int texture = ((x * 7 + y * 13 + c * 5) % 17) - 8;
                line[3 * x + c] = uchar(std::clamp(std::lround(wave + texture), 0L, 255L));
            }
    }
    return image;
}

QJsonObject digest(const char *name)
{
    QFile file(QStringLiteral(MENDRAL_GOLDEN_DIR "/") + name + ".json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Compares an OpenCV output (NCHW, or a vector) with a digest of the NHWC reference.
void expectMatches(const cv::Mat &out, const QJsonObject &ref)
{
    std::vector<int> shape;
    for (const QJsonValue &d : ref.value("shape").toArray())
        shape.push_back(d.toInt());
    size_t total = 1;
    for (int d : shape)
        total *= size_t(d);
    ASSERT_EQ(out.total(), total);
    const float *p = out.ptr<float>();
    double sumSq = 0;
    for (size_t i = 0; i < total; ++i)
        sumSq += double(p[i]) * p[i];
    const double maxAbs = ref.value("maxAbs").toDouble();
    EXPECT_NEAR(std::sqrt(sumSq), ref.value("norm").toDouble(), 1e-3 * ref.value("norm").toDouble());
    int h = 1, w = 1, c = int(total);
    if (shape.size() == 4) {
        ASSERT_EQ(out.dims, 4);
        h = shape[1], w = shape[2], c = shape[3];
        ASSERT_EQ(out.size[1], c);
        ASSERT_EQ(out.size[2], h);
    }
    int compared = 0;
    for (const QJsonValue &s : ref.value("samples").toArray()) {
        const qint64 i = s.toArray().at(0).toInteger();
        const double expected = s.toArray().at(1).toDouble();
        const qint64 y = i / (qint64(w) * c), x = (i / c) % w, ch = i % c;
        const float actual = p[(ch * h + y) * w + x];
        EXPECT_NEAR(actual, expected, 2e-3 * maxAbs) << "sample " << i;
        ++compared;
    }
    EXPECT_GE(compared, 100);
}

class NeuralGolden : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!neural::modelsAvailable())
            GTEST_SKIP() << "no models in " << qPrintable(neural::modelDirectory())
                         << " (scripts/setup installs them)";
    }
    std::optional<std::vector<cv::Mat>> run(const std::optional<tfjs::GraphSpec> &model,
                                            const cv::Mat &blob)
    {
        if (!model)
            return std::nullopt;
        QString error;
        auto pool = tfjs::NetPool::create(model->graph, model->outputs, &error);
        EXPECT_TRUE(pool) << qPrintable(error);
        return pool ? pool->run(blob) : std::nullopt;
    }
};

} // namespace

TEST_F(NeuralGolden, SceneBackboneMatchesTensorFlowJs)
{
    const auto out = run(tfjs::sceneGraph(neural::modelDirectory(), 256),
                         tfjs::centernetBlob(patternImage(256), 256));
    ASSERT_TRUE(out);
    expectMatches(out->front(), digest("centernet_scene_256"));
}

TEST_F(NeuralGolden, PersonHeatmapsMatchTensorFlowJs)
{
    // The program's graph declares a landscape input; at TensorFlow.js's square 512 it must
    // reshape and still match, for every class (the program keeps only the first).
    const auto out = run(tfjs::peopleGraph(neural::modelDirectory(), nullptr, 80),
                         tfjs::centernetBlob(patternImage(512), 512));
    ASSERT_TRUE(out);
    expectMatches(out->front(), digest("centernet_people_512"));
}

TEST_F(NeuralGolden, FaceRecognitionNetworkMatchesTensorFlowJs)
{
    const auto out =
        run(tfjs::faceGraph(neural::modelDirectory()), tfjs::faceNetBlob(patternImage(150)));
    ASSERT_TRUE(out);
    expectMatches(out->front(), digest("face_recognition_150"));
}

TEST_F(NeuralGolden, FaceresMatchesTensorFlowJs)
{
    // faceres takes RGB 0…255 as it is: the plain centernet blob at 224.
    const auto out = run(tfjs::faceresGraph(neural::modelDirectory()),
                         tfjs::centernetBlob(patternImage(224), 224));
    ASSERT_TRUE(out);
    expectMatches(out->front(), digest("faceres_224"));
}

TEST_F(NeuralGolden, EyeNetworkMatchesTensorFlowJs)
{
    // Its Prelu activations, fused into convolutions and on their own, are rewritten for OpenCV.
    const auto out = run(tfjs::eyeGraph(neural::modelDirectory()), tfjs::eyeNetBlob(patternImage(64)));
    ASSERT_TRUE(out);
    expectMatches(out->front(), digest("iris_64"));
}
