#include "bplist.h"

#include <QHash>
#include <QtEndian>

#include <bit>
#include <cstring>
#include <limits>

namespace mendral::bplist {

namespace {

// Object type nibbles of the binary format.
enum : uint8_t {
    kSimple = 0x0,
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAscii = 0x5,
    kUtf16 = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kSet = 0xC,
    kDict = 0xD,
};

constexpr qsizetype kHeaderSize = 8;
constexpr qsizetype kTrailerSize = 32;

// The fewest bytes that hold value (readers accept any width from 1 to 8 for offsets and refs).
int bytesFor(uint64_t value)
{
    int width = 1;
    while (width < 8 && (value >> (8 * width)) != 0)
        ++width;
    return width;
}

// Integer objects come in widths of 1, 2, 4 or 8 bytes.
int integerWidth(uint64_t value)
{
    const int width = bytesFor(value);
    return width <= 2 ? width : width <= 4 ? 4 : 8;
}

int log2Width(int width)
{
    return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
}

bool isAscii(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

/**
 * Two passes over the tree: the first writes every distinct string and counts the other
 * objects, so the width of an object reference is known before any container is written; the
 * second writes the remaining objects children first, so a container's refs are known when it
 * is written.
 */
class Writer {
public:
    QByteArray run(const Value &root)
    {
        put("bplist00", 8);
        collect(root);
        const uint64_t total = m_offsets.size() + m_pending;
        m_refSize = bytesFor(total == 0 ? 0 : total - 1);
        const uint64_t top = emit(root);

        const uint64_t tableOffset = m_size;
        uint64_t largest = 0;
        for (uint64_t offset : m_offsets)
            largest = std::max(largest, offset);
        const int offsetSize = bytesFor(largest);
        for (uint64_t offset : m_offsets)
            putUnsigned(offset, offsetSize);
        put("\0\0\0\0\0\0", 6);
        putUnsigned(0, 1); // sort version
        putUnsigned(offsetSize, 1);
        putUnsigned(m_refSize, 1);
        putUnsigned(m_offsets.size(), 8);
        putUnsigned(top, 8);
        putUnsigned(tableOffset, 8);
        m_out.truncate(m_size);
        return std::move(m_out);
    }

private:
    void collect(const Value &v)
    {
        if (const auto *s = std::get_if<QString>(&v.data)) {
            addString(*s);
        } else if (const auto *a = std::get_if<Array>(&v.data)) {
            ++m_pending;
            for (const Value &item : *a)
                collect(item);
        } else if (const auto *d = std::get_if<Dict>(&v.data)) {
            ++m_pending;
            for (const auto &[key, item] : *d) {
                addString(key);
                collect(item);
            }
        } else if (const auto *f = std::get_if<FloatArray>(&v.data)) {
            m_pending += 1 + f->size();
        } else {
            ++m_pending;
        }
    }

    void addString(const QString &s)
    {
        if (m_strings.contains(s))
            return;
        m_strings.insert(s, begin());
        if (isAscii(s)) {
            putMarker(kAscii, s.size());
            char *p = grow(s.size());
            for (QChar c : s)
                *p++ = char(c.unicode());
        } else {
            // Code units as they are, lone surrogates included, so any path round-trips.
            putMarker(kUtf16, s.size());
            for (QChar c : s)
                putUnsigned(c.unicode(), 2);
        }
    }

    uint64_t emit(const Value &v)
    {
        if (const auto *s = std::get_if<QString>(&v.data))
            return m_strings.value(*s);
        if (const auto *a = std::get_if<Array>(&v.data)) {
            std::vector<uint64_t> items;
            items.reserve(a->size());
            for (const Value &item : *a)
                items.push_back(emit(item));
            const uint64_t ref = begin();
            putMarker(kArray, items.size());
            for (uint64_t item : items)
                putUnsigned(item, m_refSize);
            return ref;
        }
        if (const auto *d = std::get_if<Dict>(&v.data)) {
            std::vector<uint64_t> items;
            items.reserve(d->size());
            for (const auto &entry : *d)
                items.push_back(emit(entry.second));
            const uint64_t ref = begin();
            putMarker(kDict, d->size());
            for (const auto &entry : *d)
                putUnsigned(m_strings.value(entry.first), m_refSize);
            for (uint64_t item : items)
                putUnsigned(item, m_refSize);
            return ref;
        }
        if (const auto *f = std::get_if<FloatArray>(&v.data)) {
            const uint64_t first = m_offsets.size();
            for (float x : *f) {
                begin();
                putFloat(x);
            }
            const uint64_t ref = begin();
            putMarker(kArray, f->size());
            for (uint64_t i = 0; i < f->size(); ++i)
                putUnsigned(first + i, m_refSize);
            return ref;
        }
        const uint64_t ref = begin();
        if (const auto *b = std::get_if<bool>(&v.data)) {
            putByte(*b ? 0x09 : 0x08);
        } else if (const auto *i = std::get_if<int64_t>(&v.data)) {
            putInteger(*i);
        } else if (const auto *r = std::get_if<double>(&v.data)) {
            putByte(0x23);
            putUnsigned(std::bit_cast<uint64_t>(*r), 8);
        } else if (const auto *f = std::get_if<Float>(&v.data)) {
            putFloat(f->value);
        } else if (const auto *bytes = std::get_if<QByteArray>(&v.data)) {
            putMarker(kData, bytes->size());
            put(bytes->constData(), bytes->size());
        }
        return ref;
    }

    uint64_t begin()
    {
        m_offsets.push_back(m_size);
        return m_offsets.size() - 1;
    }

    void putFloat(float x)
    {
        putByte(0x22);
        putUnsigned(std::bit_cast<uint32_t>(x), 4);
    }

    void putInteger(int64_t v)
    {
        // Readers take 1-, 2- and 4-byte integers as unsigned and 8-byte ones as signed.
        const int width = v < 0 ? 8 : integerWidth(uint64_t(v));
        putByte((kInteger << 4) | log2Width(width));
        putUnsigned(uint64_t(v), width);
    }

    void putMarker(uint8_t type, uint64_t count)
    {
        if (count < 15) {
            putByte(uint8_t((type << 4) | count));
        } else {
            putByte(uint8_t((type << 4) | 0xF));
            putInteger(int64_t(count));
        }
    }

    void putUnsigned(uint64_t value, int width)
    {
        char *p = grow(width);
        for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
            *p++ = char((value >> shift) & 0xFF);
    }

    void putByte(uint8_t b) { *grow(1) = char(b); }

    void put(const char *data, qsizetype n)
    {
        if (n > 0)
            std::memcpy(grow(n), data, size_t(n));
    }

    // Room for n more bytes; the buffer grows geometrically and is cut to size at the end.
    char *grow(qsizetype n)
    {
        if (m_size + n > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_size + n + 4096));
        char *p = m_out.data() + m_size;
        m_size += n;
        return p;
    }

    QByteArray m_out;
    qsizetype m_size = 0;
    std::vector<uint64_t> m_offsets;
    QHash<QString, uint64_t> m_strings;
    uint64_t m_pending = 0; // objects other than strings
    int m_refSize = 1;
};

} // namespace

QByteArray write(const Value &root)
{
    return Writer().run(root);
}

// ---- Reader ----

std::optional<Reader> Reader::open(QByteArray bytes)
{
    const qsizetype size = bytes.size();
    if (size < kHeaderSize + 1 + kTrailerSize || !bytes.startsWith("bplist00"))
        return std::nullopt;
    Reader r;
    r.m_bytes = std::move(bytes);
    const qsizetype trailer = size - kTrailerSize;
    const auto *t = reinterpret_cast<const uint8_t *>(r.m_bytes.constData()) + trailer;
    r.m_offsetSize = t[6];
    r.m_refSize = t[7];
    if (r.m_offsetSize < 1 || r.m_offsetSize > 8 || r.m_refSize < 1 || r.m_refSize > 8)
        return std::nullopt;
    const auto count = r.readUnsigned(trailer + 8, 8, size);
    const auto top = r.readUnsigned(trailer + 16, 8, size);
    const auto table = r.readUnsigned(trailer + 24, 8, size);
    if (!count || !top || !table || *count == 0 || *top >= *count)
        return std::nullopt;
    // The objects lie between the header and the offset table, the table before the trailer.
    if (*table < uint64_t(kHeaderSize + 1) || *table > uint64_t(trailer))
        return std::nullopt;
    if (*count > (uint64_t(trailer) - *table) / uint64_t(r.m_offsetSize))
        return std::nullopt;
    r.m_objectCount = *count;
    r.m_root = *top;
    r.m_tableOffset = qsizetype(*table);
    return r;
}

std::optional<uint64_t> Reader::readUnsigned(qsizetype pos, int width, qsizetype limit) const
{
    if (pos < 0 || width < 1 || width > 8 || limit > m_bytes.size() || pos > limit - width)
        return std::nullopt;
    const uchar *p = reinterpret_cast<const uchar *>(m_bytes.constData()) + pos;
    switch (width) {
    case 1: return p[0];
    case 2: return qFromBigEndian<quint16>(p);
    case 4: return qFromBigEndian<quint32>(p);
    case 8: return qFromBigEndian<quint64>(p);
    default: {
        uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | p[i];
        return value;
    }
    }
}

std::optional<Reader::Object> Reader::object(uint64_t ref) const
{
    if (ref >= m_objectCount)
        return std::nullopt;
    const auto offset =
        readUnsigned(m_tableOffset + qsizetype(ref) * m_offsetSize, m_offsetSize,
                     m_bytes.size() - kTrailerSize);
    if (!offset || *offset < uint64_t(kHeaderSize) || *offset >= uint64_t(m_tableOffset))
        return std::nullopt;
    const qsizetype limit = m_tableOffset;
    Object o;
    o.marker = uint8_t(m_bytes.at(qsizetype(*offset)));
    o.body = qsizetype(*offset) + 1;
    const uint8_t type = o.marker >> 4;
    const uint8_t info = o.marker & 0xF;

    auto fixed = [&](qsizetype width) -> std::optional<Object> {
        if (width > limit - o.body)
            return std::nullopt;
        o.count = uint64_t(width);
        return o;
    };

    switch (type) {
    case kSimple:
        if (info == 0x0 || info == 0x8 || info == 0x9)
            return o;
        return std::nullopt;
    case kInteger:
        return info <= 4 ? fixed(qsizetype(1) << info) : std::nullopt;
    case kReal:
        return info == 2 || info == 3 ? fixed(qsizetype(1) << info) : std::nullopt;
    case kDate:
        return info == 3 ? fixed(8) : std::nullopt;
    case kUid:
        return fixed(info + 1);
    case kData:
    case kAscii:
    case kUtf16:
    case kArray:
    case kSet:
    case kDict:
        break;
    default:
        return std::nullopt;
    }

    uint64_t count = info;
    if (info == 0xF) {
        if (o.body >= limit)
            return std::nullopt;
        const uint8_t sizeMarker = uint8_t(m_bytes.at(o.body));
        if ((sizeMarker >> 4) != kInteger || (sizeMarker & 0xF) > 3)
            return std::nullopt;
        const int width = 1 << (sizeMarker & 0xF);
        const auto n = readUnsigned(o.body + 1, width, limit);
        if (!n || *n > uint64_t(std::numeric_limits<int64_t>::max()))
            return std::nullopt;
        count = *n;
        o.body += 1 + width;
    }
    uint64_t unit = 1;
    if (type == kUtf16)
        unit = 2;
    else if (type == kArray || type == kSet)
        unit = m_refSize;
    else if (type == kDict)
        unit = 2 * uint64_t(m_refSize);
    if (count > uint64_t(limit - o.body) / unit)
        return std::nullopt;
    o.count = count;
    return o;
}

std::optional<Reader::Kind> Reader::kind(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o)
        return std::nullopt;
    switch (o->marker >> 4) {
    case kSimple:
        return o->marker == 0 ? Kind::Null : Kind::Bool;
    case kInteger: return Kind::Integer;
    case kReal: return Kind::Real;
    case kDate: return Kind::Date;
    case kData: return Kind::Data;
    case kAscii:
    case kUtf16: return Kind::String;
    case kUid: return Kind::Uid;
    case kArray: return Kind::Array;
    case kSet: return Kind::Set;
    default: return Kind::Dict;
    }
}

std::optional<bool> Reader::toBool(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker != 0x08 && o->marker != 0x09))
        return std::nullopt;
    return o->marker == 0x09;
}

std::optional<int64_t> Reader::toInteger(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker >> 4) != kInteger)
        return std::nullopt;
    const int width = int(o->count);
    if (width == 16) {
        // 128-bit integers are accepted when they fit in 64 bits.
        const auto high = readUnsigned(o->body, 8, m_tableOffset);
        const auto low = readUnsigned(o->body + 8, 8, m_tableOffset);
        if (!high || !low)
            return std::nullopt;
        const bool negative = *low >> 63;
        if (*high != (negative ? ~uint64_t(0) : 0))
            return std::nullopt;
        return int64_t(*low);
    }
    const auto v = readUnsigned(o->body, width, m_tableOffset);
    if (!v)
        return std::nullopt;
    return int64_t(*v); // only the 8-byte form carries a sign
}

std::optional<double> Reader::toReal(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker >> 4) != kReal)
        return std::nullopt;
    return toNumber(ref);
}

std::optional<double> Reader::toNumber(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o)
        return std::nullopt;
    const uint8_t type = o->marker >> 4;
    if (type == kReal) {
        const auto v = readUnsigned(o->body, int(o->count), m_tableOffset);
        if (!v)
            return std::nullopt;
        if (o->count == 4)
            return double(std::bit_cast<float>(uint32_t(*v)));
        return std::bit_cast<double>(*v);
    }
    if (type == kInteger) {
        const auto i = toInteger(ref);
        return i ? std::optional<double>(double(*i)) : std::nullopt;
    }
    return std::nullopt;
}

bool Reader::isSingleReal(uint64_t ref) const
{
    const auto o = object(ref);
    return o && o->marker == 0x22;
}

std::optional<QString> Reader::toString(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o)
        return std::nullopt;
    const char *p = m_bytes.constData() + o->body;
    if ((o->marker >> 4) == kAscii)
        return QString::fromLatin1(p, qsizetype(o->count));
    if ((o->marker >> 4) != kUtf16)
        return std::nullopt;
    QString s(qsizetype(o->count), Qt::Uninitialized);
    const auto *u = reinterpret_cast<const uint8_t *>(p);
    for (qsizetype i = 0; i < s.size(); ++i)
        s[i] = QChar(char16_t((u[2 * i] << 8) | u[2 * i + 1]));
    return s;
}

std::optional<QByteArray> Reader::toData(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker >> 4) != kData)
        return std::nullopt;
    return m_bytes.mid(o->body, qsizetype(o->count));
}

std::optional<std::vector<uint64_t>> Reader::refs(qsizetype pos, uint64_t count) const
{
    std::vector<uint64_t> out;
    out.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        const auto ref = readUnsigned(pos + qsizetype(i) * m_refSize, m_refSize, m_tableOffset);
        if (!ref || *ref >= m_objectCount)
            return std::nullopt;
        out.push_back(*ref);
    }
    return out;
}

std::optional<std::vector<uint64_t>> Reader::arrayItems(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker >> 4) != kArray)
        return std::nullopt;
    return refs(o->body, o->count);
}

std::optional<Reader::DictItems> Reader::dictItems(uint64_t ref) const
{
    const auto o = object(ref);
    if (!o || (o->marker >> 4) != kDict)
        return std::nullopt;
    auto keys = refs(o->body, o->count);
    auto values = refs(o->body + qsizetype(o->count) * m_refSize, o->count);
    if (!keys || !values)
        return std::nullopt;
    return DictItems{std::move(*keys), std::move(*values)};
}

bool Reader::stringEquals(uint64_t ref, QLatin1StringView text) const
{
    const auto o = object(ref);
    if (!o || o->count != uint64_t(text.size()))
        return false;
    const char *p = m_bytes.constData() + o->body;
    if ((o->marker >> 4) == kAscii)
        return std::memcmp(p, text.data(), size_t(text.size())) == 0;
    if ((o->marker >> 4) != kUtf16)
        return false;
    const auto *u = reinterpret_cast<const uint8_t *>(p);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (((u[2 * i] << 8) | u[2 * i + 1]) != uint8_t(text.data()[i]))
            return false;
    }
    return true;
}

std::optional<uint64_t> Reader::find(const DictItems &dict, QLatin1StringView key) const
{
    // A key given twice takes its last value, as in the root dictionary.
    std::optional<uint64_t> found;
    for (size_t i = 0; i < dict.keys.size(); ++i) {
        if (stringEquals(dict.keys[i], key))
            found = dict.values[i];
    }
    return found;
}

// ---- Whole-tree decoding ----

namespace {

class TreeReader {
public:
    explicit TreeReader(const Reader &r) : m_r(r), m_budget(16 * r.objectCount() + 1024) {}

    std::optional<Value> build(uint64_t ref, int depth)
    {
        if (depth > 256 || m_budget == 0)
            return std::nullopt;
        --m_budget;
        const auto kind = m_r.kind(ref);
        if (!kind)
            return std::nullopt;
        switch (*kind) {
        case Reader::Kind::Bool:
            return lift(m_r.toBool(ref));
        case Reader::Kind::Integer:
            return lift(m_r.toInteger(ref));
        case Reader::Kind::Real: {
            const auto r = m_r.toReal(ref);
            if (!r)
                return std::nullopt;
            if (m_r.isSingleReal(ref))
                return Value(Float{float(*r)});
            return Value(*r);
        }
        case Reader::Kind::String:
            return lift(m_r.toString(ref));
        case Reader::Kind::Data:
            return lift(m_r.toData(ref));
        case Reader::Kind::Array: {
            const auto items = m_r.arrayItems(ref);
            if (!items)
                return std::nullopt;
            Array out;
            out.reserve(items->size());
            for (uint64_t item : *items) {
                auto v = build(item, depth + 1);
                if (!v)
                    return std::nullopt;
                out.push_back(std::move(*v));
            }
            return Value(std::move(out));
        }
        case Reader::Kind::Dict: {
            const auto items = m_r.dictItems(ref);
            if (!items)
                return std::nullopt;
            Dict out;
            out.reserve(items->keys.size());
            for (size_t i = 0; i < items->keys.size(); ++i) {
                auto key = m_r.toString(items->keys[i]);
                auto v = key ? build(items->values[i], depth + 1) : std::nullopt;
                if (!v)
                    return std::nullopt;
                out.emplace_back(std::move(*key), std::move(*v));
            }
            return Value(std::move(out));
        }
        default:
            return std::nullopt; // null, dates, uids and sets have no Value form
        }
    }

private:
    template <typename T> static std::optional<Value> lift(std::optional<T> v)
    {
        if (!v)
            return std::nullopt;
        return Value(std::move(*v));
    }

    const Reader &m_r;
    uint64_t m_budget;
};

} // namespace

std::optional<Value> read(const QByteArray &bytes)
{
    const auto reader = Reader::open(bytes);
    if (!reader)
        return std::nullopt;
    return TreeReader(*reader).build(reader->root(), 0);
}

} // namespace mendral::bplist
