#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>

#include <concepts>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace mendral::bplist {

struct Value;
using Array = std::vector<Value>;
/** Dictionary entries, written in this order. */
using Dict = std::vector<std::pair<QString, Value>>;

/** A real held in single precision; written as a 4-byte real. */
struct Float {
    float value = 0.0f;
    bool operator==(const Float &) const = default;
};

/**
 * An array of single-precision reals kept compactly while building a list to write; in the
 * file it is an ordinary array holding one 4-byte real object per element.
 */
using FloatArray = std::vector<float>;

/**
 * One property-list value. Reals read back from a file are Float for 4-byte reals and double
 * for 8-byte reals; arrays read back are always Array.
 */
struct Value {
    std::variant<bool, int64_t, double, Float, QString, QByteArray, Array, Dict, FloatArray> data;

    Value() : data(false) {}
    Value(bool v) : data(v) {}
    template <std::integral I>
    Value(I v) : data(int64_t(v)) {}
    Value(double v) : data(v) {}
    Value(float v) : data(Float{v}) {}
    Value(Float v) : data(v) {}
    Value(QString v) : data(std::move(v)) {}
    Value(const char *text) : data(QString::fromUtf8(text)) {}
    Value(QByteArray v) : data(std::move(v)) {}
    Value(Array v) : data(std::move(v)) {}
    Value(Dict v) : data(std::move(v)) {}
    Value(FloatArray v) : data(std::move(v)) {}

    template <typename T> bool is() const { return std::holds_alternative<T>(data); }
    template <typename T> const T &as() const { return std::get<T>(data); }
    bool operator==(const Value &) const = default;
};

/**
 * Encodes root as a binary property list ("bplist00"). Strings are stored once however often
 * they occur; every other value is its own object. Linear in the size of the tree.
 */
QByteArray write(const Value &root);

/**
 * Random access to the objects of a binary property list. Every read is bounds-checked
 * against the buffer and the trailer: a malformed file gives nullopt, never a read outside
 * the bytes. Object references ("refs") are indices into the object table.
 */
class Reader {
public:
    enum class Kind { Null, Bool, Integer, Real, Date, Data, String, Uid, Array, Set, Dict };

    /** nullopt unless bytes start with "bplist00" and the trailer describes the buffer soundly. */
    static std::optional<Reader> open(QByteArray bytes);

    uint64_t root() const { return m_root; }
    uint64_t objectCount() const { return m_objectCount; }

    std::optional<Kind> kind(uint64_t ref) const;
    std::optional<bool> toBool(uint64_t ref) const;
    std::optional<int64_t> toInteger(uint64_t ref) const;
    /** Only reals (4- or 8-byte); integers are not converted. */
    std::optional<double> toReal(uint64_t ref) const;
    /** A real, or an integer taken at its value. */
    std::optional<double> toNumber(uint64_t ref) const;
    /** True for a 4-byte real. */
    bool isSingleReal(uint64_t ref) const;
    std::optional<QString> toString(uint64_t ref) const;
    std::optional<QByteArray> toData(uint64_t ref) const;
    /** The element refs of an array. */
    std::optional<std::vector<uint64_t>> arrayItems(uint64_t ref) const;

    struct DictItems {
        std::vector<uint64_t> keys;
        std::vector<uint64_t> values;
    };
    std::optional<DictItems> dictItems(uint64_t ref) const;
    /** The value ref stored under a string key equal to key, or nullopt when there is none. */
    std::optional<uint64_t> find(const DictItems &dict, QLatin1StringView key) const;
    bool stringEquals(uint64_t ref, QLatin1StringView text) const;

private:
    struct Object {
        uint8_t marker = 0;
        uint64_t count = 0; // element count, byte or unit count; 0 for fixed-size objects
        qsizetype body = 0; // position of the first byte after the marker and count
    };

    std::optional<Object> object(uint64_t ref) const;
    std::optional<uint64_t> readUnsigned(qsizetype pos, int width, qsizetype limit) const;
    std::optional<std::vector<uint64_t>> refs(qsizetype pos, uint64_t count) const;

    QByteArray m_bytes;
    int m_offsetSize = 0;
    int m_refSize = 0;
    uint64_t m_objectCount = 0;
    uint64_t m_root = 0;
    qsizetype m_tableOffset = 0;
};

/**
 * Decodes the whole list into a tree. Nesting deeper than 256, or a list that would expand to
 * far more values than it holds objects (shared references), gives nullopt, as does any
 * malformed object. Only the value types Value can hold are accepted.
 */
std::optional<Value> read(const QByteArray &bytes);

} // namespace mendral::bplist
