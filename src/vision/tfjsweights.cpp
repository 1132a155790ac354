#include "vision/tfjsweights.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <limits>

namespace mendral::tfjs {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

template<typename T>
T readLE(const char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v); // the machines this runs on are little-endian, as the files are
    return v;
}

// Bytes one element occupies in the shard, given the stored (possibly quantised) dtype.
int storedSize(const QString &dtype)
{
    if (dtype == "float32" || dtype == "int32")
        return 4;
    if (dtype == "float16" || dtype == "uint16")
        return 2;
    if (dtype == "uint8" || dtype == "bool")
        return 1;
    return 0;
}

} // namespace

float halfToFloat(uint16_t h)
{
    const uint32_t sign = uint32_t(h & 0x8000) << 16;
    const int exponent = (h >> 10) & 0x1f;
    const uint32_t mantissa = h & 0x3ff;
    float magnitude;
    if (exponent == 0)
        magnitude = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        magnitude = mantissa ? std::numeric_limits<float>::quiet_NaN()
                             : std::numeric_limits<float>::infinity();
    else
        magnitude = std::ldexp(float(mantissa | 0x400), exponent - 25);
    uint32_t bits;
    std::memcpy(&bits, &magnitude, 4);
    bits |= sign;
    float out;
    std::memcpy(&out, &bits, 4);
    return out;
}

std::optional<WeightMap> readWeights(const QJsonArray &manifest, const QString &directory,
                                     QString *error)
{
    WeightMap out;
    const QDir dir(directory);
    for (const QJsonValue &groupValue : manifest) {
        const QJsonObject group = groupValue.toObject();
        QByteArray data;
        for (const QJsonValue &path : group.value("paths").toArray()) {
            QFile file(dir.filePath(path.toString()));
            if (path.toString().isEmpty() || !file.open(QIODevice::ReadOnly)) {
                fail(error, "missing weights file " + path.toString());
                return std::nullopt;
            }
            data += file.readAll();
        }
        qsizetype offset = 0;
        for (const QJsonValue &entryValue : group.value("weights").toArray()) {
            const QJsonObject entry = entryValue.toObject();
            const std::string name = entry.value("name").toString().toStdString();
            const QString dtype = entry.value("dtype").toString();
            const QJsonObject quant = entry.value("quantization").toObject();
            const QString stored = quant.isEmpty() ? dtype : quant.value("dtype").toString();
            Weight w;
            qint64 count = 1;
            for (const QJsonValue &d : entry.value("shape").toArray()) {
                const qint64 size = d.toInteger(-1);
                // Bounded so that the element count cannot overflow before the size check.
                if (size < 0 || size > (qint64(1) << 31) || (size && count > (qint64(1) << 40) / size)) {
                    fail(error, "bad shape of " + QString::fromStdString(name));
                    return std::nullopt;
                }
                w.shape.push_back(size);
                count *= size;
            }
            const int elementSize = storedSize(stored);
            if (elementSize == 0 || (dtype != "float32" && dtype != "int32" && dtype != "bool")) {
                fail(error, "unsupported dtype " + stored + " of " + QString::fromStdString(name));
                return std::nullopt;
            }
            if (count > (data.size() - offset) / elementSize) {
                fail(error, "weights file too short for " + QString::fromStdString(name));
                return std::nullopt;
            }
            const char *p = data.constData() + offset;
            offset += count * elementSize;
            const double scale = quant.value("scale").toDouble(1.0);
            const double minimum = quant.value("min").toDouble(0.0);
            // The stored type is looked up once per tensor: comparing its name for each of a
            // model's millions of elements took a tenth of the program's start-up.
            double (*element)(const char *, qint64, double, double) = nullptr;
            if (stored == "float32")
                element = [](const char *at, qint64 i, double, double) -> double { return readLE<float>(at + 4 * i); };
            else if (stored == "int32")
                element = [](const char *at, qint64 i, double, double) -> double { return readLE<int32_t>(at + 4 * i); };
            else if (stored == "float16")
                element = [](const char *at, qint64 i, double, double) -> double {
                    return halfToFloat(readLE<uint16_t>(at + 2 * i));
                };
            else if (stored == "uint16")
                element = [](const char *at, qint64 i, double min, double step) {
                    return min + step * readLE<uint16_t>(at + 2 * i);
                };
            else if (stored == "uint8")
                element = [](const char *at, qint64 i, double min, double step) { return min + step * uint8_t(at[i]); };
            else // bool
                element = [](const char *at, qint64 i, double, double) { return at[i] ? 1.0 : 0.0; };
            w.isInt = dtype != "float32";
            if (w.isInt) {
                w.ints.resize(size_t(count));
                for (qint64 i = 0; i < count; ++i)
                    w.ints[size_t(i)] = int32_t(std::lround(element(p, i, minimum, scale)));
            } else {
                w.floats.resize(size_t(count));
                for (qint64 i = 0; i < count; ++i)
                    w.floats[size_t(i)] = float(element(p, i, minimum, scale));
            }
            out[name] = std::move(w);
        }
    }
    return out;
}

} // namespace mendral::tfjs
