// Weight files of TensorFlow.js models: layout across shards, dequantisation, damaged files.

#include "vision/tfjsweights.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace mendral::tfjs;

namespace {

template<typename T>
QByteArray bytesOf(std::initializer_list<T> values)
{
    QByteArray out;
    for (T v : values)
        out.append(reinterpret_cast<const char *>(&v), sizeof v);
    return out;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QJsonArray manifest(const char *json)
{
    return QJsonDocument::fromJson(json).array();
}

} // namespace

TEST(HalfFloat, DecodesNormalSubnormalAndSpecialValues)
{
    EXPECT_EQ(halfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(halfToFloat(0xC000), -2.0f);
    EXPECT_EQ(halfToFloat(0x3555), 0.333251953125f);
    EXPECT_EQ(halfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(halfToFloat(0x0001), std::ldexp(1.0f, -24)); // smallest subnormal
    EXPECT_EQ(halfToFloat(0x03FF), std::ldexp(1023.0f, -24));
    EXPECT_TRUE(std::isinf(halfToFloat(0x7C00)));
    EXPECT_LT(halfToFloat(0xFC00), 0.0f);
    EXPECT_TRUE(std::isnan(halfToFloat(0x7E00)));
    EXPECT_TRUE(std::signbit(halfToFloat(0x8000)));
}

TEST(WeightFiles, ReadsTensorsInOrderAcrossShards)
{
    QTemporaryDir dir;
    // Four floats then two ints, split so that the second float straddles the shard boundary.
    const QByteArray all = bytesOf<float>({1.5f, -2.0f, 3.25f, 0.0f}) + bytesOf<int32_t>({7, -9});
    write(dir.filePath("a.bin"), all.left(6));
    write(dir.filePath("b.bin"), all.mid(6));
    const auto w = readWeights(manifest(R"([{"paths": ["a.bin", "b.bin"], "weights": [
        {"name": "f", "shape": [2, 2], "dtype": "float32"},
        {"name": "i", "shape": [2], "dtype": "int32"}]}])"),
                               dir.path());
    ASSERT_TRUE(w);
    const Weight &f = w->at("f");
    EXPECT_FALSE(f.isInt);
    EXPECT_EQ(f.shape, (std::vector<int64_t>{2, 2}));
    EXPECT_EQ(f.floats, (std::vector<float>{1.5f, -2.0f, 3.25f, 0.0f}));
    EXPECT_TRUE(w->at("i").isInt);
    EXPECT_EQ(w->at("i").ints, (std::vector<int32_t>{7, -9}));
}

TEST(WeightFiles, DequantisesFloat16AndUint8AndUint16)
{
    QTemporaryDir dir;
    QByteArray data = bytesOf<uint16_t>({0x3C00, 0xB800}); // 1, −0.5
    data += QByteArray("\x00\x02\xff", 3);                 // uint8 0, 2, 255
    data += bytesOf<uint16_t>({1000});
    write(dir.filePath("w.bin"), data);
    const auto w = readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "h", "shape": [2], "dtype": "float32",
         "quantization": {"dtype": "float16", "original_dtype": "float32"}},
        {"name": "q", "shape": [3], "dtype": "float32",
         "quantization": {"dtype": "uint8", "min": -1.0, "scale": 0.5}},
        {"name": "s", "shape": [], "dtype": "float32",
         "quantization": {"dtype": "uint16", "min": 0.0, "scale": 0.001}}]}])"),
                               dir.path());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->at("h").floats, (std::vector<float>{1.0f, -0.5f}));
    EXPECT_EQ(w->at("q").floats, (std::vector<float>{-1.0f, 0.0f, 126.5f}));
    ASSERT_EQ(w->at("s").count(), 1u);
    EXPECT_TRUE(w->at("s").shape.empty()); // a scalar
    EXPECT_NEAR(w->at("s").floats[0], 1.0f, 1e-6);
}

TEST(WeightFiles, QuantisedIntegersAreRounded)
{
    QTemporaryDir dir;
    write(dir.filePath("w.bin"), QByteArray("\x03\x04", 2));
    const auto w = readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "k", "shape": [2], "dtype": "int32",
         "quantization": {"dtype": "uint8", "min": 0.0, "scale": 1.5}}]}])"),
                               dir.path());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->at("k").ints, (std::vector<int32_t>{5, 6})); // 4.5 and 6.0
}

TEST(WeightFiles, ShortMissingOrUnknownDataIsRefused)
{
    QTemporaryDir dir;
    write(dir.filePath("w.bin"), bytesOf<float>({1, 2, 3}));
    QString error;
    EXPECT_FALSE(readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "f", "shape": [4], "dtype": "float32"}]}])"),
                             dir.path(), &error));
    EXPECT_TRUE(error.contains("too short")) << qPrintable(error);
    EXPECT_FALSE(readWeights(manifest(R"([{"paths": ["gone.bin"], "weights": []}])"), dir.path()));
    EXPECT_FALSE(readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "c", "shape": [1], "dtype": "complex64"}]}])"),
                             dir.path()));
    EXPECT_FALSE(readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "n", "shape": [-1], "dtype": "float32"}]}])"),
                             dir.path()));
    // A shape whose element count overflows must not wrap around to something small.
    EXPECT_FALSE(readWeights(manifest(R"([{"paths": ["w.bin"], "weights": [
        {"name": "big", "shape": [2147483648, 2147483648, 4], "dtype": "float32"}]}])"),
                             dir.path()));
}
