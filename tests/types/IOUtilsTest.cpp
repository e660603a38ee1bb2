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

ZELUNCoordSystem longNamed()
{
    // Longer than the one-string form carries, so only three strings fit.
    return ZELUNCoordSystem::utm(33, ZELUNUString(std::string(CoordConvert::kMaxCompactNameLength + 1, 'N').c_str()));
}

std::string const kUtm33Params = "zone=33;cm=15;lat0=0;k=0.9996;fe=500000;fn=0;unit=1";
std::string const kGeographicText = "geographic;zone=0;cm=0;lat0=0;k=1;fe=0;fn=0;unit=1;name=WGS 84";

ZELUNCoordSystem wgs84()
{
    ZELUNCoordSystem cs;
    cs.setName("WGS 84");
    return cs;
}

}  // namespace

TEST(IOUtilsCoordSystem, OneStringLayout)
{
    for (bool swap : {false, true}) {
        IOBuffer b(128, swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(IOUtils::writeToBinary(b, wgs84()), 0);
        Bytes const expected = stored(kGeographicText, swap);
        EXPECT_EQ(b.tell(), expected.size());
        EXPECT_EQ(IOUtils::getSerializedSize(wgs84()), expected.size());
        EXPECT_EQ(bytesOf(b, b.tell()), expected);

        // Read from a buffer that ends right behind it.
        IOBuffer exact = bufferOf(expected, swap);
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(exact, holder), 0);
        EXPECT_EQ(*holder, wgs84());
        EXPECT_EQ(exact.tell(), expected.size());
    }
}

TEST(IOUtilsCoordSystem, ThreeStringLayout)
{
    ZELUNCoordSystem const cs = longNamed();
    std::string const name(CoordConvert::kMaxCompactNameLength + 1, 'N');
    for (bool swap : {false, true}) {
        Bytes const expected = stored("utm", swap) + stored(kUtm33Params, swap) + stored(name, swap);
        IOBuffer b(256, swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(IOUtils::writeToBinary(b, cs), 0);
        EXPECT_EQ(b.tell(), expected.size());
        EXPECT_EQ(IOUtils::getSerializedSize(cs), 12u + 3u + kUtm33Params.size() + name.size());
        EXPECT_EQ(bytesOf(b, b.tell()), expected);

        IOBuffer exact = bufferOf(expected, swap);
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(exact, holder), 0);
        EXPECT_EQ(*holder, cs);
        EXPECT_EQ(exact.tell(), expected.size());
    }
}

TEST(IOUtilsCoordSystem, SystemWithoutTextForm)
{
    ZELUNCoordSystem invalid;
    invalid.setScale(0.0);
    IOBuffer b(256, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(b, invalid), kErrNotConvertible);
    EXPECT_EQ(b.tell(), 0u);
    EXPECT_EQ(IOUtils::getSerializedSize(invalid), 0u);
}

TEST(IOUtilsCoordSystem, WriteIntoShortBuffers)
{
    // Three strings: the failing text is the last, the ones before it stay.
    unsigned const firstTwo = 4 + 3 + 4 + static_cast<unsigned>(kUtm33Params.size());
    IOBuffer b(firstTwo + 6, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(b, longNamed()), kErrBufferExhausted);
    EXPECT_EQ(b.tell(), firstTwo + 4);
    IOBuffer small(10, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(IOUtils::writeToBinary(small, wgs84()), kErrBufferExhausted);
}

// What follows a stored system in the host's record decides how it reads.
TEST(IOUtilsCoordSystem, ReadingDecidesByWhatFollows)
{
    Bytes const one = stored(kGeographicText);

    {
        // A host value behind the one string is left for the host.
        IOBuffer b = bufferOf(one + Bytes{7, 0, 0, 0});
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
        EXPECT_EQ(*holder, wgs84());
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
        EXPECT_EQ(*holder, wgs84());
        EXPECT_EQ(b.tell(), one.size());
        ZELUNUString host;
        EXPECT_EQ(IOUtils::readFromBinary(b, host), 0);
        EXPECT_EQ(host, ZELUNUString("host"));
    }
    {
        // Two texts behind it are tried as the second and third first; the
        // three do not form a system, the first alone does, and the two texts
        // are left for the host.
        IOBuffer b = bufferOf(one + stored("x") + stored("y"));
        ZELUNType<ZELUNCoordSystem> holder;
        ASSERT_EQ(IOUtils::readFromBinary(b, holder), 0);
        EXPECT_EQ(*holder, wgs84());
        EXPECT_EQ(b.tell(), one.size());
    }
    {
        // Neither reading works: the status of the three-string conversion,
        // with the three texts consumed.
        Bytes const all = stored("utm") + stored("x") + stored("y");
        IOBuffer b = bufferOf(all);
        ZELUNType<ZELUNCoordSystem> holder(new ZELUNCoordSystem());
        EXPECT_EQ(IOUtils::readFromBinary(b, holder), kErrNotConvertible);
        EXPECT_TRUE(holder.isNull());
        EXPECT_EQ(b.tell(), all.size());
    }
    {
        // Three strings whose third is cut off: the kind alone is tried as a
        // one-string text, fails, and the position is back behind it.
        Bytes const cut = stored("utm") + stored(kUtm33Params) + stored(10, "short");
        IOBuffer b = bufferOf(cut);
        ZELUNType<ZELUNCoordSystem> holder(new ZELUNCoordSystem());
        EXPECT_EQ(IOUtils::readFromBinary(b, holder), kErrNotConvertible);
        EXPECT_TRUE(holder.isNull());
        EXPECT_EQ(b.tell(), 7u);
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
        IOBuffer b = bufferOf(stored(50, "geo"));
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
    ZELUNCoordSystem const systems[] = {wgs84(), longNamed(), ZELUNCoordSystem::utm(-12, "south"), longNamed()};
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
