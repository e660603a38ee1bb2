#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "zorvsupport/platform/CoordConvert.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/IOUtils.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::Bytes;
using zorvtest::bufferOf;

Bytes bytesOf(IOBuffer const& b, unsigned n)
{
    return Bytes(b.getStartPtr(), b.getStartPtr() + n);
}

// A u32 count in either byte order, followed by the given bytes.
Bytes stored(unsigned n, std::string const& text, bool bigEndian = false)
{
    Bytes out = bigEndian ? Bytes{static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                                  static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)}
                          : Bytes{static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                                  static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
    out.resize(4 + text.size());
    std::copy(text.begin(), text.end(), out.begin() + 4);
    return out;
}

Bytes stored(std::string const& text, bool bigEndian = false)
{
    return stored(static_cast<unsigned>(text.size()), text, bigEndian);
}

Bytes operator+(Bytes a, Bytes const& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ZELUNUString u8(std::string const& s)
{
    return ZELUNUString::fromUtf8(s);
}

// Both text types through one interface, for tables of cases.
template <class Text>
Text makeText(std::string const& utf8);
template <>
ZELUNUString makeText<ZELUNUString>(std::string const& utf8)
{
    return u8(utf8);
}
template <>
std::string makeText<std::string>(std::string const& utf8)
{
    return utf8;
}

template <class Text>
class StoredText : public ::testing::Test {};
using TextTypes = ::testing::Types<ZELUNUString, std::string>;
TYPED_TEST_SUITE(StoredText, TextTypes);

}  // namespace

TEST(IOUtilsText, LayoutBothByteOrders)
{
    // "A", e with acute, CJK ideograph: 1 + 2 + 3 UTF-8 bytes.
    std::string const utf8 = "A\xC3\xA9\xE6\xBC\xA2";
    for (bool swap : {false, true}) {
        IOBuffer b(16, swap, IOBuffer::AllocatorHandle());
        ZELUNUString text = u8(utf8);
        ASSERT_EQ(IOUtils::writeToBinary(b, text), 0);
        EXPECT_EQ(b.tell(), 10u);
        EXPECT_EQ(IOUtils::getSerializedSize(text), 10u);
        EXPECT_EQ(bytesOf(b, 10), stored(utf8, swap)) << "swap " << swap;

        b.seek(0);
        ZELUNUString back("previous");
        ASSERT_EQ(IOUtils::readFromBinary(b, back), 0);
        EXPECT_EQ(back, text);
        EXPECT_EQ(b.tell(), 10u);

        // The same bytes as a std::string are taken as they are.
        b.seek(0);
        std::string raw;
        ASSERT_EQ(IOUtils::readFromBinary(b, raw), 0);
        EXPECT_EQ(raw, utf8);
    }
}

TEST(IOUtilsText, UnicodeStringStopsAtFirstNul)
{
    ZELUNUString text("ab");
    text.append(static_cast<char16_t>(0));
    text.append(ZELUNUString("cd"));
    ASSERT_EQ(text.length(), 5);
    IOBuffer b(16, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(IOUtils::writeToBinary(b, text), 0);
    EXPECT_EQ(b.tell(), 6u);
    EXPECT_EQ(IOUtils::getSerializedSize(text), 6u);
    EXPECT_EQ(bytesOf(b, 6), stored("ab"));
}

TEST(IOUtilsText, StdStringKeepsEmbeddedNul)
{
    std::string const text("ab\0cd", 5);
    IOBuffer b(16, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(IOUtils::writeToBinary(b, text), 0);
    EXPECT_EQ(b.tell(), 9u);
    EXPECT_EQ(IOUtils::getSerializedSize(text), 9u);
    EXPECT_EQ(bytesOf(b, 9), stored(text, true));
    b.seek(0);
    std::string back;
    ASSERT_EQ(IOUtils::readFromBinary(b, back), 0);
    EXPECT_EQ(back, text);
}

TYPED_TEST(StoredText, EmptyTextIsAZeroCount)
{
    IOBuffer b(4, false, IOBuffer::AllocatorHandle());
    TypeParam empty = makeText<TypeParam>("");
    ASSERT_EQ(IOUtils::writeToBinary(b, empty), 0);
    EXPECT_EQ(bytesOf(b, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(IOUtils::getSerializedSize(empty), 4u);
    b.seek(0);
    TypeParam back = makeText<TypeParam>("previous");
    ASSERT_EQ(IOUtils::readFromBinary(b, back), 0);
    EXPECT_EQ(back, empty);
}

TYPED_TEST(StoredText, WriteFailures)
{
    TypeParam text = makeText<TypeParam>("hello");
    IOBuffer tooShortForCount(3, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(tooShortForCount, text), kErrBufferExhausted);
    EXPECT_EQ(tooShortForCount.tell(), 0u);
    // The count is written, the bytes do not fit.
    IOBuffer tooShortForBytes(8, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(tooShortForBytes, text), kErrBufferExhausted);
    EXPECT_EQ(tooShortForBytes.tell(), 4u);
    EXPECT_EQ(bytesOf(tooShortForBytes, 8), (Bytes{5, 0, 0, 0, 0, 0, 0, 0}));
}

// Hostile counts: each refused before anything is allocated, with the count
// consumed and the target unchanged.
TYPED_TEST(StoredText, UntrustedCounts)
{
    struct Case {
        char const* label;
        Bytes bytes;
        long status;
        unsigned tell;
    } const cases[] = {
        {"fewer than four bytes", Bytes{5, 0, 0}, kErrBufferExhausted, 0},
        {"count above the limit, bytes present", stored(16777217u, std::string(16777217u, 'x')), kErrStringTooLong, 4},
        {"count above the limit, nothing behind", stored(16777217u, ""), kErrStringTooLong, 4},
        {"largest count", stored(0xFFFFFFFFu, "abc"), kErrStringTooLong, 4},
        {"count at the limit, nothing behind", stored(16777216u, ""), kErrBufferExhausted, 4},
        {"count beyond the bytes left", stored(1000u, "0123456789"), kErrBufferExhausted, 4},
        {"count one beyond the bytes left", stored(4u, "abc"), kErrBufferExhausted, 4},
    };
    for (Case const& c : cases) {
        IOBuffer b = bufferOf(c.bytes);
        TypeParam text = makeText<TypeParam>("unchanged");
        EXPECT_EQ(IOUtils::readFromBinary(b, text), c.status) << c.label;
        EXPECT_EQ(b.tell(), c.tell) << c.label;
        EXPECT_EQ(text, makeText<TypeParam>("unchanged")) << c.label;
    }
}

TYPED_TEST(StoredText, CountAtTheLimitIsRead)
{
    IOBuffer b = bufferOf(stored(16777216u, std::string(16777216u, 'q')), true);
    // Re-store the count big-endian to match the flag.
    b.seek(0);
    ASSERT_EQ(b.write(16777216u), 0);
    b.seek(0);
    TypeParam text;
    ASSERT_EQ(IOUtils::readFromBinary(b, text), 0);
    EXPECT_EQ(b.tell(), 4u + 16777216u);
    EXPECT_EQ(text, makeText<TypeParam>(std::string(16777216u, 'q')));
}

namespace {

std::string const kUtm33 = "EPSG:32633";

// Stored as one string: valid and without a name.
ZELUNCoordSystem utm33()
{
    return ZELUNCoordSystem(kUtm33.c_str());
}

// Stored as three strings: a name.
ZELUNCoordSystem wgs84Named()
{
    return ZELUNCoordSystem(ZELUNUString("EPSG:4326"), ZELUNUString("WGS 84"));
}

Bytes const kWgs84NamedBytes = stored("proj") + stored("EPSG:4326") + stored("WGS 84");

}  // namespace

TEST(IOUtilsCoordSystem, OneStringLayout)
{
    for (bool swap : {false, true}) {
        IOBuffer b(128, swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(IOUtils::writeToBinary(b, utm33()), 0);
        Bytes const expected = stored(kUtm33, swap);
        EXPECT_EQ(b.tell(), expected.size());
        EXPECT_EQ(IOUtils::getSerializedSize(utm33()), expected.size());
        EXPECT_EQ(bytesOf(b, b.tell()), expected);

        // Read from a buffer that ends right behind it.
        IOBuffer exact = bufferOf(expected, swap);
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(exact, holder), 0);
        EXPECT_EQ(*holder, utm33());
        EXPECT_EQ(exact.tell(), expected.size());
    }
}

TEST(IOUtilsCoordSystem, ThreeStringLayout)
{
    ZELUNCoordSystem const cs = wgs84Named();
    for (bool swap : {false, true}) {
        Bytes const expected = stored("proj", swap) + stored("EPSG:4326", swap) + stored("WGS 84", swap);
        IOBuffer b(256, swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(IOUtils::writeToBinary(b, cs), 0);
        EXPECT_EQ(b.tell(), expected.size());
        EXPECT_EQ(IOUtils::getSerializedSize(cs), 12u + 4u + 9u + 6u);
        EXPECT_EQ(bytesOf(b, b.tell()), expected);

        IOBuffer exact = bufferOf(expected, swap);
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(exact, holder), 0);
        EXPECT_EQ(*holder, cs);
        EXPECT_EQ(exact.tell(), expected.size());
    }
}

// Systems without a text form: nothing written, size 0.
TEST(IOUtilsCoordSystem, SystemsWithoutTextForm)
{
    auto named = [](std::u16string const& units) {
        return ZELUNCoordSystem(ZELUNUString("EPSG:4326"),
                                ZELUNUString(icu::UnicodeString(units.data(), static_cast<int32_t>(units.size()))));
    };
    struct Row {
        char const* label;
        ZELUNCoordSystem system;
    } const rows[] = {
        {"undefined", ZELUNCoordSystem()},
        {"invalid definition", ZELUNCoordSystem("nonsense")},
        {"name with U+0000", named(std::u16string(u"ab\0c", 4))},
        {"name with a lone lead", named(u"a\xD83C")},
        {"name with a lone trail", named(u"\xDF0A" u"a")},
        {"name with a swapped pair", named(u"\xDF0A\xD83C")},
    };
    for (Row const& r : rows) {
        IOBuffer b(256, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(IOUtils::writeToBinary(b, r.system), kErrNotConvertible) << r.label;
        EXPECT_EQ(b.tell(), 0u) << r.label;
        EXPECT_EQ(IOUtils::getSerializedSize(r.system), 0u) << r.label;
    }
}

TEST(IOUtilsCoordSystem, WriteIntoShortBuffers)
{
    // Three strings: the failing text is the last, the ones before it stay.
    unsigned const firstTwo = 4 + 4 + 4 + 9;
    IOBuffer b(firstTwo + 6, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(b, wgs84Named()), kErrBufferExhausted);
    EXPECT_EQ(b.tell(), firstTwo + 4);
    IOBuffer small(10, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(small, utm33()), kErrBufferExhausted);
}

// What follows a stored system in the host's record decides how it reads.
TEST(IOUtilsCoordSystem, ReadingDecidesByWhatFollows)
{
    Bytes const one = stored(kUtm33);

    {
        // A host value behind the one string is left for the host.
        IOBuffer b = bufferOf(one + Bytes{7, 0, 0, 0});
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
        EXPECT_EQ(*holder, utm33());
        EXPECT_EQ(b.tell(), one.size());
        unsigned hostValue = 0;
        EXPECT_EQ(b.read(hostValue), 0);
        EXPECT_EQ(hostValue, 7u);
    }
    {
        // So is a single host text, although it reads as a second text.
        IOBuffer b = bufferOf(one + stored("host"));
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
        EXPECT_EQ(*holder, utm33());
        EXPECT_EQ(b.tell(), one.size());
        ZELUNUString host;
        EXPECT_EQ(IOUtils::readFromBinary(b, host), 0);
        EXPECT_EQ(host, ZELUNUString("host"));
    }
    {
        // Two texts behind it are tried as the second and third first; the
        // first is not "proj", the first alone is a system, and the two texts
        // are left for the host, even when they hold a system's texts.
        for (Bytes const& behind : {stored("x") + stored("y"), stored("EPSG:4326") + stored("WGS 84")}) {
            IOBuffer b = bufferOf(one + behind);
            ZELUNType<ZELUNCoordSystem> holder;
            ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
            EXPECT_EQ(*holder, utm33());
            EXPECT_EQ(b.tell(), one.size());
        }
    }
    {
        // A three-string system behind it is read next, as itself.
        IOBuffer b = bufferOf(one + kWgs84NamedBytes);
        ZELUNType<ZELUNCoordSystem> first, second;
        ASSERT_EQ(IOUtils::readFromBinary(b, first), 0);
        ASSERT_EQ(IOUtils::readFromBinary(b, second), 0);
        EXPECT_EQ(*first, utm33());
        EXPECT_EQ(*second, wgs84Named());
        EXPECT_EQ(b.tell(), one.size() + kWgs84NamedBytes.size());
    }
    {
        // Neither reading works: the status of the three-string conversion,
        // with the three texts consumed.
        Bytes const all = stored("proj") + stored("nonsense") + stored("y");
        IOBuffer b = bufferOf(all);
        ZELUNType<ZELUNCoordSystem> holder(new ZELUNCoordSystem());
        EXPECT_EQ(IOUtils::readFromBinary(b, holder), kErrNotConvertible);
        EXPECT_TRUE(holder.isNull());
        EXPECT_EQ(b.tell(), all.size());
    }
    {
        // Three strings whose third is cut off: "proj" alone is tried as a
        // one-string text, fails, and the position is back behind it.
        Bytes const cut = stored("proj") + stored("EPSG:4326") + stored(10, "short");
        IOBuffer b = bufferOf(cut);
        ZELUNType<ZELUNCoordSystem> holder(new ZELUNCoordSystem());
        EXPECT_EQ(IOUtils::readFromBinary(b, holder), kErrNotConvertible);
        EXPECT_TRUE(holder.isNull());
        EXPECT_EQ(b.tell(), 8u);
    }
    {
        // A second text whose count exceeds the limit is a failed try too.
        Bytes const tooLong = one + stored(16777217u, "");
        IOBuffer b = bufferOf(tooLong);
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
        EXPECT_EQ(b.tell(), one.size());
    }
    {
        // The first text itself cannot be read: its status, an empty holder.
        IOBuffer b = bufferOf(stored(50, "EPSG"));
        ZELUNType<ZELUNCoordSystem> holder(new ZELUNCoordSystem());
        EXPECT_EQ(IOUtils::readFromBinary(b, holder), kErrBufferExhausted);
        EXPECT_TRUE(holder.isNull());
        EXPECT_EQ(b.tell(), 4u);
        IOBuffer empty(0, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(IOUtils::readFromBinary(empty, holder), kErrBufferExhausted);
    }
}

TEST(IOUtilsCoordSystem, RecordOfSeveralSystemsRoundTrips)
{
    // Mixed layouts back to back, followed by host data.
    ZELUNCoordSystem const systems[] = {utm33(), wgs84Named(),
                                        ZELUNCoordSystem(ZELUNUString("EPSG:32712"), ZELUNUString("south")),
                                        ZELUNCoordSystem("+proj=longlat +datum=WGS84"), wgs84Named()};
    for (bool swap : {false, true}) {
        unsigned size = 4;
        for (ZELUNCoordSystem const& cs : systems) size += IOUtils::getSerializedSize(cs);
        IOBuffer b(size, swap, IOBuffer::AllocatorHandle());
        for (ZELUNCoordSystem const& cs : systems) ASSERT_EQ(IOUtils::writeToBinary(b, cs), 0);
        ASSERT_EQ(b.write(0xA1B2C3D4u), 0);
        ASSERT_EQ(b.tell(), size);
        b.seek(0);
        for (ZELUNCoordSystem const& cs : systems) {
            ZELUNType<ZELUNCoordSystem> holder;
            ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
            EXPECT_EQ(*holder, cs);
        }
        unsigned tail = 0;
        EXPECT_EQ(b.read(tail), 0);
        EXPECT_EQ(tail, 0xA1B2C3D4u);
    }
}
