#include "platform/bplist.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace mendral;
using namespace mendral::bplist;

namespace {

// A FloatArray reads back as an Array of Float values; compare in that form.
Value normalised(const Value &v)
{
    if (v.is<FloatArray>()) {
        Array out;
        for (float f : v.as<FloatArray>())
            out.push_back(Float{f});
        return out;
    }
    if (v.is<Array>()) {
        Array out;
        for (const Value &item : v.as<Array>())
            out.push_back(normalised(item));
        return out;
    }
    if (v.is<Dict>()) {
        Dict out;
        for (const auto &[k, item] : v.as<Dict>())
            out.emplace_back(k, normalised(item));
        return out;
    }
    return v;
}

QByteArray be(uint64_t value, int width)
{
    QByteArray out;
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
    return out;
}

/** Trailer fields; unset ones are computed from the objects. */
struct Trailer {
    int offsetSize = 1;
    int refSize = 1;
    std::optional<uint64_t> count;
    uint64_t top = 0;
    std::optional<uint64_t> tableOffset;
};

// Lays raw object bytes out as a binary list, so tests can state malformed objects exactly.
QByteArray assemble(const std::vector<QByteArray> &objects, const Trailer &t = {})
{
    QByteArray out("bplist00");
    std::vector<uint64_t> offsets;
    for (const QByteArray &o : objects) {
        offsets.push_back(out.size());
        out.append(o);
    }
    const uint64_t table = out.size();
    for (uint64_t o : offsets)
        out.append(be(o, t.offsetSize));
    out.append(QByteArray(6, '\0'));
    out.append(char(0));
    out.append(char(t.offsetSize));
    out.append(char(t.refSize));
    out.append(be(t.count.value_or(objects.size()), 8));
    out.append(be(t.top, 8));
    out.append(be(t.tableOffset.value_or(table), 8));
    return out;
}

QByteArray bytesOf(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

Value sample()
{
    Dict d;
    d.emplace_back("bools", Array{true, false});
    d.emplace_back("ints", Array{0, 14, 255, 256, 65535, 65536, int64_t(1) << 32,
                                 std::numeric_limits<int64_t>::max(), -1,
                                 std::numeric_limits<int64_t>::min()});
    d.emplace_back("double", 1234567890.123456789);
    d.emplace_back("float", 0.1f);
    d.emplace_back("ascii", "IMG_0001.JPG");
    d.emplace_back("chinese", QStringLiteral("照片/婚礼_001.jpg"));
    d.emplace_back("data", QByteArray("\x00\x01\xFF", 3));
    d.emplace_back("floats", FloatArray{1.0f, -0.5f, 3.4028235e38f});
    d.emplace_back("empty array", Array{});
    d.emplace_back("empty floats", FloatArray{});
    d.emplace_back("empty dict", Dict{});
    d.emplace_back("nested", Array{Dict{{"k", Array{Array{1}}}}});
    return d;
}

} // namespace

TEST(BplistWrite, RoundTripsEveryValueType)
{
    const Value v = sample();
    const auto back = read(write(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, normalised(v));
}

TEST(BplistWrite, KeepsFloatAndDoublePrecisionApart)
{
    const auto back = read(write(Array{0.1f, 0.1}));
    ASSERT_TRUE(back);
    const Array &a = back->as<Array>();
    ASSERT_TRUE(a[0].is<Float>());
    EXPECT_EQ(a[0].as<Float>().value, 0.1f);
    ASSERT_TRUE(a[1].is<double>());
    EXPECT_EQ(a[1].as<double>(), 0.1);
}

TEST(BplistWrite, NonFiniteRealsSurvive)
{
    const auto back = read(write(Array{std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<double>::quiet_NaN()}));
    ASSERT_TRUE(back);
    const Array &a = back->as<Array>();
    EXPECT_EQ(a[0].as<double>(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(a[1].as<Float>().value, -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(a[2].as<double>()));
}

TEST(BplistWrite, LoneSurrogatesInStringsRoundTrip)
{
    // Paths with bytes that are not UTF-8 are held as lone surrogates; they must come back.
    QString s = QStringLiteral("/card/caf");
    s.append(QChar(char16_t(0xDCE9)));
    s.append(QStringLiteral(".jpg"));
    const auto back = read(write(Dict{{s, 1}}));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->as<Dict>().at(0).first, s);
}

TEST(BplistWrite, LengthsAtAndAboveTheInlineLimit)
{
    // Counts of 15 and more are written after the marker as an integer object.
    for (int n : {14, 15, 16, 255, 256, 70000}) {
        FloatArray floats(size_t(n), 0.25f);
        const Value v = Array{QString(n, QChar('x')), QString(n, QChar(0x4E2D)),
                              QByteArray(n, 'b'), floats, Array(size_t(n), Value(7))};
        const auto back = read(write(v));
        ASSERT_TRUE(back) << n;
        EXPECT_EQ(*back, normalised(v)) << n;
    }
}

TEST(BplistWrite, ManyObjectsNeedWiderReferences)
{
    // Above 255 and 65535 objects the reference width grows; every element must still resolve.
    for (size_t n : {250u, 300u, 70000u}) {
        Array a;
        for (size_t i = 0; i < n; ++i)
            a.push_back(int64_t(i) * 1000);
        const auto back = read(write(a));
        ASSERT_TRUE(back) << n;
        EXPECT_EQ(*back, Value(a)) << n;
    }
}

TEST(BplistWrite, RepeatedStringsAreStoredOnce)
{
    Array entries;
    for (int i = 0; i < 1000; ++i)
        entries.push_back(Dict{{"sharpness", i}, {"exposure", i}});
    const QByteArray bytes = write(entries);
    const auto reader = Reader::open(bytes);
    ASSERT_TRUE(reader);
    // two keys, 2000 integers, 1000 dictionaries, one array
    EXPECT_EQ(reader->objectCount(), 2u + 2000u + 1000u + 1u);
    const auto back = read(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, Value(entries));
}

TEST(BplistRead, DictionaryLookupTakesTheLastOfRepeatedKeys)
{
    const QByteArray bytes = write(Dict{{"a", 1}, {"b", 2}, {"a", 3}});
    const auto r = Reader::open(bytes);
    ASSERT_TRUE(r);
    const auto d = r->dictItems(r->root());
    ASSERT_TRUE(d);
    EXPECT_EQ(r->toInteger(*r->find(*d, QLatin1StringView("a"))), 3);
    EXPECT_EQ(r->toInteger(*r->find(*d, QLatin1StringView("b"))), 2);
    EXPECT_FALSE(r->find(*d, QLatin1StringView("c")));
    EXPECT_FALSE(r->find(*d, QLatin1StringView("")));
}

TEST(BplistRead, TypedAccessorsRefuseOtherTypes)
{
    const auto r = Reader::open(write(Array{"text", 1, 2.0}));
    ASSERT_TRUE(r);
    const auto items = r->arrayItems(r->root());
    ASSERT_TRUE(items);
    EXPECT_FALSE(r->toInteger((*items)[0]));
    EXPECT_FALSE(r->toReal((*items)[1]));
    EXPECT_FALSE(r->toString((*items)[2]));
    EXPECT_FALSE(r->arrayItems((*items)[0]));
    EXPECT_FALSE(r->dictItems(r->root()));
    EXPECT_FALSE(r->kind(r->objectCount()));
}

TEST(BplistRead, IntegerWidthsAndSigns)
{
    // 1-, 2- and 4-byte integers are unsigned, 8-byte ones signed, 16-byte ones when they fit.
    const std::vector<QByteArray> objects = {
        bytesOf({0xA5, 1, 2, 3, 4, 5}),
        bytesOf({0x10, 0xFF}),
        bytesOf({0x11, 0xFF, 0xFF}),
        bytesOf({0x12, 0xFF, 0xFF, 0xFF, 0xFF}),
        bytesOf({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}),
        bytesOf({0x14, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                 0xFF, 0xFF, 0xFF, 0xFD}),
    };
    const auto v = read(assemble(objects));
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, Value(Array{255, 65535, int64_t(0xFFFFFFFF), -2, -3}));

    // A 128-bit value beyond 64 bits does not decode.
    const auto big = read(assemble({bytesOf({0xA1, 1}),
                                    bytesOf({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                             0})}));
    EXPECT_FALSE(big);
}

TEST(BplistRead, RejectsForeignAndShortInput)
{
    EXPECT_FALSE(read(QByteArray()));
    EXPECT_FALSE(read(QByteArray("bplist00")));
    EXPECT_FALSE(read(QByteArray(200, '\0')));
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
        "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
        "version=\"1.0\"><dict><key>a</key><integer>1</integer></dict></plist>\n";
    EXPECT_FALSE(read(xml));
    QByteArray wrongVersion = write(Array{1});
    wrongVersion[7] = '1';
    EXPECT_FALSE(read(wrongVersion));
}

TEST(BplistRead, EveryTruncationFailsCleanly)
{
    const QByteArray full = write(sample());
    for (qsizetype n = 0; n < full.size(); ++n)
        EXPECT_FALSE(read(full.left(n))) << n;
    // Extra bytes after the trailer move the trailer: not a list any more.
    EXPECT_FALSE(read(full + QByteArray(1, '\0')));
}

TEST(BplistRead, AbsurdTrailerFields)
{
    const std::vector<QByteArray> one = {bytesOf({0x10, 0x05})};
    ASSERT_EQ(read(assemble(one)), Value(5));

    EXPECT_FALSE(read(assemble(one, {.offsetSize = 0})));
    EXPECT_FALSE(read(assemble(one, {.refSize = 0})));
    EXPECT_FALSE(read(assemble(one, {.refSize = 9})));
    EXPECT_FALSE(read(assemble(one, {.count = 0})));
    EXPECT_FALSE(read(assemble(one, {.count = uint64_t(1) << 62})));
    EXPECT_FALSE(read(assemble(one, {.count = ~uint64_t(0)})));
    EXPECT_FALSE(read(assemble(one, {.top = 1})));
    EXPECT_FALSE(read(assemble(one, {.top = ~uint64_t(0)})));
    EXPECT_FALSE(read(assemble(one, {.tableOffset = 0})));
    EXPECT_FALSE(read(assemble(one, {.tableOffset = 3})));
    EXPECT_FALSE(read(assemble(one, {.tableOffset = 1000})));
    EXPECT_FALSE(read(assemble(one, {.tableOffset = ~uint64_t(0)})));

    // offsetSize 9 and a trailer whose table points at the trailer itself
    QByteArray bad = assemble(one);
    bad[bad.size() - 26] = char(9);
    EXPECT_FALSE(read(bad));
}

TEST(BplistRead, ObjectsThatOverrunTheirSpace)
{
    // An array claiming more elements than there are bytes before the offset table.
    EXPECT_FALSE(read(assemble({bytesOf({0xAF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF})})));
    EXPECT_FALSE(read(assemble({bytesOf({0xAF, 0x13, 0x80, 0, 0, 0, 0, 0, 0, 0})})));
    EXPECT_FALSE(read(assemble({bytesOf({0xA3, 0})})));
    // A length given by something other than an integer.
    EXPECT_FALSE(read(assemble({bytesOf({0x5F, 0x22, 0, 0, 0, 1, 'a'})})));
    // Strings, data and integers longer than what remains.
    EXPECT_FALSE(read(assemble({bytesOf({0x55, 'a', 'b'})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x62, 0, 'a'})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x44, 1})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x13, 1, 2})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x23, 1, 2, 3})})));
    // A reference past the object table, and an object offset inside the table.
    EXPECT_FALSE(read(assemble({bytesOf({0xA1, 7})})));
    QByteArray intoTable = assemble({bytesOf({0x10, 1})});
    intoTable[10] = char(10);
    EXPECT_FALSE(read(intoTable));
    // Unknown markers and types a Value cannot hold.
    EXPECT_FALSE(read(assemble({bytesOf({0x70})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x21, 0, 0})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x00})})));
    EXPECT_FALSE(read(assemble({bytesOf({0x33, 0, 0, 0, 0, 0, 0, 0, 0})})));
}

TEST(BplistRead, CyclesAndSharedReferencesAreBounded)
{
    // An array holding itself.
    EXPECT_FALSE(read(assemble({bytesOf({0xA1, 0})})));
    // A dictionary whose value is the dictionary.
    EXPECT_FALSE(read(assemble({bytesOf({0xD1, 1, 0}), bytesOf({0x51, 'k'})})));
    // Forty arrays each holding the next one twice: 2^40 values if expanded.
    std::vector<QByteArray> objects;
    for (int i = 0; i < 40; ++i)
        objects.push_back(bytesOf({0xA2, i + 1, i + 1}));
    objects.push_back(bytesOf({0x10, 1}));
    EXPECT_FALSE(read(assemble(objects)));
    // Sharing within reason is fine: one string used by many entries.
    std::vector<QByteArray> shared = {bytesOf({0xA3, 1, 1, 1}), bytesOf({0x51, 'x'})};
    EXPECT_EQ(read(assemble(shared)), Value(Array{"x", "x", "x"}));
}

TEST(BplistRead, RandomBytesAndBitFlipsNeverCrash)
{
    QRandomGenerator rng(20261208);
    for (int i = 0; i < 2000; ++i) {
        QByteArray junk(qsizetype(rng.bounded(300)), '\0');
        for (char &c : junk)
            c = char(rng.bounded(256));
        if (i % 2 == 0)
            junk.replace(0, std::min<qsizetype>(8, junk.size()), "bplist00");
        (void)read(junk);
    }
    const QByteArray good = write(sample());
    for (qsizetype pos = 0; pos < good.size(); ++pos) {
        for (int bit : {0, 3, 7}) {
            QByteArray flipped = good;
            flipped[pos] = char(flipped[pos] ^ (1 << bit));
            (void)read(flipped);
        }
    }
    SUCCEED();
}
