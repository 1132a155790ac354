#pragma once

// Internal to the vision module: the weight files of TensorFlow.js models.

#include <QJsonArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mendral::tfjs {

/** One weight tensor, dequantised: floats for float tensors, ints for integer ones. */
struct Weight {
    std::vector<int64_t> shape;
    bool isInt = false;
    std::vector<float> floats;
    std::vector<int32_t> ints;
    size_t count() const { return isInt ? ints.size() : floats.size(); }
};

using WeightMap = std::map<std::string, Weight>;

/** IEEE half-precision bits to float (subnormals, infinities and NaN included). */
float halfToFloat(uint16_t bits);

/**
 * Reads the tensors a weights manifest lists (groups of `paths` shards read back to back, with
 * `weights` laid out in order). float32 and int32 are read as stored; float16 and uint8/uint16
 * quantised tensors are dequantised (value = min + scale · q). Nothing when a shard is missing
 * or shorter than the manifest says, or a dtype is unknown; `error` then says why.
 */
std::optional<WeightMap> readWeights(const QJsonArray &manifest, const QString &directory,
                                     QString *error = nullptr);

} // namespace mendral::tfjs
