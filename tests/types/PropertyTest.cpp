#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/Property.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::Bytes;
using zorvtest::bufferOf;

// Stored bytes written by hand: u32 counts in either byte order.
struct Rec {
    bool bigEndian = false;
    Bytes out;

    Rec& u32(unsigned v)
    {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        if (bigEndian)
            out.insert(out.end(), {b[3], b[2], b[1], b[0]});
        else
            out.insert(out.end(), b, b + 4);
        return *this;
    }
    Rec& raw(Bytes const& bytes)
    {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Rec& text(std::string const& s)
    {
        u32(static_cast<unsigned>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
        return *this;
    }
    // A node with empty texts and no value: recordSize 20, then its count.
    Rec& minimalNode(unsigned childCount) { return u32(20).u32(0).u32(0).u32(0).u32(0).u32(childCount); }
};

Bytes bytesOf(IOBuffer const& b, unsigned n)
{
    return Bytes(b.getStartPtr(), b.getStartPtr() + n);
}

Bytes valueBytes(Property const& p)
{
    IOBuffer const& v = p.value();
    return v.getSizeInBytes() ? bytesOf(v, v.getSizeInBytes()) : Bytes();
}

void setValue(Property& p, Bytes const& bytes)
{
    p.value().resize(static_cast<unsigned>(bytes.size()));
    p.value().seek(0);
    p.value().write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

Property* const kNoParent = nullptr;

std::size_t liveChildren(Property const& p)
{
    std::size_t n = 0;
    for (auto const& c : p.children())
        if (c) ++n;
    return n;
}

// Writes `p` into a buffer of exactly getSerializedSize bytes and checks that
// the write fills it.
IOBuffer written(Property const& p, bool swap)
{
    IOBuffer b(p.getSerializedSize(), swap, IOBuffer::AllocatorHandle());
    EXPECT_EQ(p.writeToBinary(b), 0);
    EXPECT_EQ(b.tell(), b.getSizeInBytes());
    return b;
}

}  // namespace

TEST(Property, Paths)
{
    Property root(kNoParent, "r", "t");
    EXPECT_EQ(root.parentPath(), ZELUNUString("/"));
    EXPECT_EQ(root.path(), ZELUNUString("/r/"));
    Property* c = root.addChild("c", "tc");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->parentPath(), ZELUNUString("/r/"));
    EXPECT_EQ(c->path(), ZELUNUString("/r/c/"));
    EXPECT_EQ(c->type(), ZELUNUString("tc"));
    EXPECT_EQ(c->addChild("g", "")->path(), ZELUNUString("/r/c/g/"));

    Property d;
    EXPECT_TRUE(d.name().isEmpty());
    EXPECT_TRUE(d.parentPath().isEmpty());
    EXPECT_EQ(d.path(), ZELUNUString("/"));
    EXPECT_FALSE(d.value().getSwap());

    Property given(ZELUNUString("/a/b/"), "n", "t");
    EXPECT_EQ(given.path(), ZELUNUString("/a/b/n/"));
    EXPECT_EQ(given.type(), ZELUNUString("t"));

    // A name may hold the separator; it is matched as a whole name.
    EXPECT_EQ(Property::kPathSeparator, '/');
    Property* slash = root.addChild("x/y", "");
    ASSERT_NE(slash, nullptr);
    EXPECT_EQ(slash->path(), ZELUNUString("/r/x/y/"));
    EXPECT_EQ(root.getChild("x/y"), slash);
    EXPECT_EQ(root.getChild("x"), nullptr);
    EXPECT_EQ(root.getChild("y"), nullptr);
}

TEST(Property, AddChildAndGetChild)
{
    Property root(kNoParent, "r", "");
    Property* a = root.addChild("a", "first");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(root.addChild("a", "second"), nullptr);
    ASSERT_EQ(root.children().size(), 1u);
    EXPECT_EQ(root.getChild("a")->type(), ZELUNUString("first"));

    Property* upper = root.addChild("A", "upper");
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(root.getChild("A"), upper);
    EXPECT_EQ(root.getChild("a"), a);
    Property const& croot = root;
    EXPECT_EQ(croot.getChild("A"), upper);
    EXPECT_EQ(croot.getChild("b"), nullptr);

    // Names are compared unit by unit: precomposed and decomposed e-acute differ.
    ZELUNUString precomposed = ZELUNUString::fromUtf8("\xC3\xA9");
    ZELUNUString decomposed = ZELUNUString::fromUtf8("e\xCC\x81");
    Property* p = root.addChild(precomposed, "");
    Property* q = root.addChild(decomposed, "");
    ASSERT_NE(p, nullptr);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(root.getChild(decomposed), q);
    EXPECT_EQ(root.children().size(), 4u);
}

TEST(Property, FirstOfEqualNamesIsFound)
{
    // Only a stored tree can hold two children of one name.
    Rec r;
    r.u32(22).text("r").text("").text("/").u32(0).u32(2);
    r.u32(25).text("a").text("1").text("/r/").u32(0).u32(0);
    r.u32(25).text("a").text("2").text("/r/").u32(0).u32(0);
    IOBuffer b = bufferOf(r.out);
    Property root;
    ASSERT_EQ(root.readFromBinary(b), 0);
    ASSERT_EQ(root.children().size(), 2u);
    EXPECT_EQ(root.getChild("a")->type(), ZELUNUString("1"));
    EXPECT_EQ(root.getChild("a"), root.children()[0].get());
}

TEST(Property, CopyMovesChildren)
{
    Property root(kNoParent, "r", "t");
    root.value().setSwap(true);
    root.addChild("a", "");
    root.addChild("b", "");
    setValue(root, {1, 2, 3});
    root.value().seek(1);

    Property copy(root);
    EXPECT_EQ(copy.name(), ZELUNUString("r"));
    EXPECT_EQ(copy.type(), ZELUNUString("t"));
    EXPECT_EQ(copy.parentPath(), ZELUNUString("/"));
    ASSERT_EQ(copy.children().size(), 2u);
    EXPECT_EQ(copy.getChild("b")->path(), ZELUNUString("/r/b/"));
    EXPECT_EQ(valueBytes(copy), (Bytes{1, 2, 3}));
    EXPECT_TRUE(copy.value().getSwap());
    EXPECT_EQ(copy.value().tell(), 1u);

    // The source keeps two empty handles, which every walk skips.
    ASSERT_EQ(root.children().size(), 2u);
    EXPECT_EQ(liveChildren(root), 0u);
    EXPECT_EQ(valueBytes(root), (Bytes{1, 2, 3}));
    EXPECT_EQ(root.getChild("a"), nullptr);
    ASSERT_NE(root.addChild("a", "again"), nullptr);
    EXPECT_EQ(root.children().size(), 3u);
    EXPECT_EQ(root.getChild("a")->type(), ZELUNUString("again"));
}

TEST(Property, AssignmentMovesChildrenAndReplacesOld)
{
    Property source(kNoParent, "s", "ts");
    source.addChild("a", "")->addChild("a1", "");
    setValue(source, {9});
    Property target(kNoParent, "t", "tt");
    target.addChild("old1", "");
    target.addChild("old2", "");

    target = source;
    EXPECT_EQ(target.name(), ZELUNUString("s"));
    EXPECT_EQ(target.type(), ZELUNUString("ts"));
    ASSERT_EQ(target.children().size(), 1u);
    EXPECT_NE(target.getChild("a"), nullptr);
    EXPECT_EQ(target.getChild("old1"), nullptr);
    EXPECT_EQ(valueBytes(target), (Bytes{9}));
    EXPECT_EQ(liveChildren(source), 0u);
    EXPECT_EQ(source.children().size(), 1u);

    // Self-assignment keeps everything.
    Property& alias = target;
    target = alias;
    EXPECT_NE(target.getChild("a"), nullptr);

    // Assigning a node from one of its own children: the child's subtree
    // comes up, the old children (the source among them) go.
    Property* a = target.getChild("a");
    target = *a;
    EXPECT_EQ(target.name(), ZELUNUString("a"));
    ASSERT_EQ(target.children().size(), 1u);
    EXPECT_NE(target.getChild("a1"), nullptr);
}

TEST(Property, LeafLayoutBothByteOrders)
{
    for (bool swap : {false, true}) {
        Property root(kNoParent, "r", "t");
        root.value().setSwap(swap);
        Bytes const expected =
            swap ? Bytes{0, 0, 0, 23, 0, 0, 0, 1, 'r', 0, 0, 0, 1, 't', 0, 0, 0, 1, '/', 0, 0, 0, 0, 0, 0, 0, 0}
                 : Bytes{23, 0, 0, 0, 1, 0, 0, 0, 'r', 1, 0, 0, 0, 't', 1, 0, 0, 0, '/', 0, 0, 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(root.getSerializedSize(), 27u);
        IOBuffer b(40, swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(root.writeToBinary(b), 0);
        EXPECT_EQ(b.tell(), 27u);
        EXPECT_EQ(bytesOf(b, 27), expected) << "swap " << swap;
    }
}

TEST(Property, TreeLayoutAndRoundTripBothByteOrders)
{
    for (bool swap : {false, true}) {
        Property root(kNoParent, "r", "");
        root.value().setSwap(swap);  // before the children, which take it over
        setValue(root, {0xAA, 0xBB});
        root.addChild("c", "x");

        Rec r{swap, {}};
        r.u32(24).text("r").text("").text("/").u32(2).raw({0xAA, 0xBB}).u32(1);
        r.u32(25).text("c").text("x").text("/r/").u32(0).u32(0);
        ASSERT_EQ(r.out.size(), 57u);
        EXPECT_EQ(root.getSerializedSize(), 57u);
        IOBuffer b = written(root, swap);
        EXPECT_EQ(bytesOf(b, 57), r.out) << "swap " << swap;

        b.seek(0);
        Property back;
        back.value().setSwap(swap);
        ASSERT_EQ(back.readFromBinary(b), 0);
        EXPECT_EQ(b.tell(), 57u);
        EXPECT_EQ(back.name(), ZELUNUString("r"));
        EXPECT_TRUE(back.type().isEmpty());
        EXPECT_EQ(back.parentPath(), ZELUNUString("/"));
        EXPECT_EQ(valueBytes(back), (Bytes{0xAA, 0xBB}));
        ASSERT_EQ(back.children().size(), 1u);
        Property const* c = back.getChild("c");
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->type(), ZELUNUString("x"));
        EXPECT_EQ(c->parentPath(), ZELUNUString("/r/"));
        EXPECT_EQ(c->value().getSwap(), swap);
        EXPECT_TRUE(c->children().empty());
    }
}

TEST(Property, ByteOrderMustMatch)
{
    Property swapped(kNoParent, "r", "t");
    swapped.value().setSwap(true);
    IOBuffer clear(64, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(swapped.writeToBinary(clear), -1);
    EXPECT_EQ(clear.tell(), 0u);
    EXPECT_EQ(bytesOf(clear, 64), Bytes(64, 0));

    Property plain(kNoParent, "r", "t");
    IOBuffer stored = written(plain, false);
    stored.seek(0);
    Property reader(kNoParent, "keep", "");
    reader.value().setSwap(true);
    EXPECT_EQ(reader.readFromBinary(stored), kErrByteOrderMismatch);
    EXPECT_EQ(stored.tell(), 0u);
    EXPECT_EQ(reader.name(), ZELUNUString("keep"));

    // A child whose flag was changed afterwards stops the write at that child.
    Property root(kNoParent, "r", "");
    root.addChild("c", "")->value().setSwap(true);
    IOBuffer b(64, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(root.writeToBinary(b), -1);
}

TEST(Property, WriteIntoShortBuffer)
{
    Property root(kNoParent, "r", "t");
    root.addChild("c", "");
    for (unsigned size = 0; size < root.getSerializedSize(); ++size) {
        IOBuffer b(size, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(root.writeToBinary(b), kErrBufferExhausted) << size;
    }
}

TEST(Property, RecordSizeIsTakenAsStored)
{
    // Larger than the fields: the extra bytes are skipped.
    Rec big;
    big.u32(26).text("r").text("t").text("/").u32(0).raw({0xEE, 0xEE, 0xEE}).u32(0);
    IOBuffer b = bufferOf(big.out);
    Property p;
    ASSERT_EQ(p.readFromBinary(b), 0);
    EXPECT_EQ(b.tell(), 30u);
    EXPECT_EQ(p.name(), ZELUNUString("r"));
    EXPECT_TRUE(p.children().empty());

    // Smaller: the position goes back, here to the record's start, whose
    // recordSize of 0 is then read as the child count.
    Rec small;
    small.u32(0).text("r").text("t").text("/").u32(0);
    IOBuffer s = bufferOf(small.out);
    Property q;
    ASSERT_EQ(q.readFromBinary(s), 0);
    EXPECT_EQ(s.tell(), 4u);
    EXPECT_EQ(q.name(), ZELUNUString("r"));
    EXPECT_EQ(q.type(), ZELUNUString("t"));
}

TEST(Property, ReadingReplacesChildrenAndDropsSurplus)
{
    Property source(kNoParent, "r", "");
    source.addChild("c", "new");
    IOBuffer b = written(source, false);
    b.seek(0);

    Property target(kNoParent, "old", "");
    target.addChild("p", "");
    target.addChild("q", "");
    target.addChild("s", "");
    ASSERT_EQ(target.readFromBinary(b), 0);
    ASSERT_EQ(target.children().size(), 1u);
    EXPECT_EQ(target.children()[0]->name(), ZELUNUString("c"));
    EXPECT_EQ(target.children()[0]->type(), ZELUNUString("new"));
    EXPECT_EQ(target.name(), ZELUNUString("r"));
}

// Empty handles (after a move or a stopped read) are not written and not
// counted; the size agrees with what is written.
TEST(Property, EmptyHandlesAreSkipped)
{
    Property root(kNoParent, "r", "");
    root.addChild("a", "");
    root.addChild("b", "");
    Property taker(root);
    root.addChild("c", "");
    ASSERT_EQ(root.children().size(), 3u);

    IOBuffer b = written(root, false);
    Rec r;
    r.u32(22).text("r").text("").text("/").u32(0).u32(1);
    r.u32(24).text("c").text("").text("/r/").u32(0).u32(0);
    EXPECT_EQ(bytesOf(b, b.tell()), r.out);

    // A read that stops at the second of three children leaves the third
    // place empty.
    Rec cut;
    cut.u32(22).text("r").text("").text("/").u32(0).u32(3);
    cut.u32(24).text("x").text("").text("/r/").u32(0).u32(0);
    cut.u32(24).text("y").text("").text("/r/").u32(0xFFFFFFF0u).u32(0);
    cut.u32(24).text("z").text("").text("/r/").u32(0).u32(0);
    IOBuffer stored = bufferOf(cut.out);
    Property partial;
    EXPECT_EQ(partial.readFromBinary(stored), kErrBufferExhausted);
    ASSERT_EQ(partial.children().size(), 3u);
    EXPECT_TRUE(partial.children()[2].isNull());
    EXPECT_EQ(partial.getChild("z"), nullptr);
    EXPECT_NE(partial.getChild("y"), nullptr);
    ASSERT_NE(partial.addChild("w", ""), nullptr);
    IOBuffer again = written(partial, false);
    again.seek(0);
    Property back;
    ASSERT_EQ(back.readFromBinary(again), 0);
    ASSERT_EQ(back.children().size(), 3u);
    EXPECT_EQ(back.children()[2]->name(), ZELUNUString("w"));
}

// Sizes and counts read from a buffer are untrusted.
TEST(Property, HostileSizesAndCounts)
{
    {
        // start + recordSize past 2^32: no wrap into the buffer.
        Rec r;
        r.u32(0).u32(0).u32(0xFFFFFFFCu).text("r").text("t").text("/").u32(0).u32(0);
        IOBuffer b = bufferOf(r.out);
        b.seek(8);
        Property p;
        EXPECT_EQ(p.readFromBinary(b), kErrSeekOutOfRange);
    }
    {
        // recordSize just past the end.
        Rec r;
        r.u32(24).text("r").text("t").text("/").u32(0);
        IOBuffer b = bufferOf(r.out);
        Property p;
        EXPECT_EQ(p.readFromBinary(b), kErrSeekOutOfRange);
    }
    // Each case fails before the value buffer (where its value is kept) or
    // the children list is resized.
    Bytes const kept{7, 7, 7};
    struct Case {
        char const* label;
        Bytes bytes;
        long status;
        Bytes valueAfter;
    } const cases[] = {
        {"valueLength huge", Rec().u32(23).text("r").text("t").text("/").u32(0xFFFFFFF0u).out, kErrBufferExhausted,
         kept},
        {"valueLength one beyond", Rec().u32(26).text("r").text("t").text("/").u32(4).raw({1, 2, 3}).out,
         kErrBufferExhausted, kept},
        {"child count huge", Rec().u32(23).text("r").text("t").text("/").u32(0).u32(0x3FFFFFFFu).out,
         kErrBufferExhausted, Bytes()},
        {"two children, one byte short of two nodes",
         Rec().u32(23).text("r").text("t").text("/").u32(0).u32(2).raw(Bytes(47, 0)).out, kErrBufferExhausted, Bytes()},
        {"name count beyond", Rec().u32(23).u32(1000).raw({'r'}).out, kErrBufferExhausted, kept},
        {"name count above the text limit", Rec().u32(23).u32(0x7FFFFFFFu).raw({'r'}).out, kErrStringTooLong, kept},
    };
    for (Case const& c : cases) {
        IOBuffer b = bufferOf(c.bytes);
        Property p(kNoParent, "old", "");
        setValue(p, kept);
        p.addChild("k1", "");
        p.addChild("k2", "");
        EXPECT_EQ(p.readFromBinary(b), c.status) << c.label;
        EXPECT_EQ(valueBytes(p), c.valueAfter) << c.label;
        ASSERT_EQ(p.children().size(), 2u) << c.label;
        EXPECT_EQ(p.children()[0]->name(), ZELUNUString("k1")) << c.label;
    }

    // Exactly two smallest nodes behind a count of two are fine.
    Rec ok;
    ok.u32(23).text("r").text("t").text("/").u32(0).u32(2).minimalNode(0).minimalNode(0);
    IOBuffer b = bufferOf(ok.out);
    Property p;
    ASSERT_EQ(p.readFromBinary(b), 0);
    EXPECT_EQ(p.children().size(), 2u);
}

TEST(Property, NestingDepthIsBounded)
{
    auto chain = [](unsigned levels) {
        Rec r;
        for (unsigned i = 0; i < levels; ++i) r.minimalNode(i + 1 < levels ? 1 : 0);
        return r.out;
    };
    {
        IOBuffer b = bufferOf(chain(Property::kMaxReadDepth));
        Property root;
        ASSERT_EQ(root.readFromBinary(b), 0);
        EXPECT_EQ(b.tell(), b.getSizeInBytes());
        unsigned levels = 1;
        for (Property const* p = &root; !p->children().empty(); p = p->children()[0].get()) ++levels;
        EXPECT_EQ(levels, Property::kMaxReadDepth);
    }
    for (unsigned levels : {Property::kMaxReadDepth + 1, 100000u}) {
        IOBuffer b = bufferOf(chain(levels));
        Property root;
        EXPECT_EQ(root.readFromBinary(b), kErrNotSupported) << levels;
        // Stopped right where the node one level too deep starts.
        EXPECT_EQ(b.tell(), 24u * Property::kMaxReadDepth) << levels;
    }
}

TEST(Property, OverlappingRecordsCannotMultiplyMemory)
{
    // Every child claims a value running to the end of the buffer while its
    // recordSize of 20 sends the next child into that value: each value alone
    // fits the bytes left, together they would need memory quadratic in the
    // buffer size.
    unsigned const n = 2000;
    unsigned const size = 24 + 24 * n;
    Rec r;
    r.minimalNode(n);
    for (unsigned i = 0; i < n; ++i) {
        unsigned start = 24 + 24 * i;
        r.u32(20).u32(0).u32(0).u32(0).u32(size - (start + 20)).u32(0);
    }
    ASSERT_EQ(r.out.size(), size);
    IOBuffer b = bufferOf(r.out);
    Property root;
    EXPECT_EQ(root.readFromBinary(b), kErrBufferExhausted);
    ASSERT_EQ(root.children().size(), n);
    EXPECT_EQ(root.children()[0]->value().getSizeInBytes(), 0u);
}

// Every cut and every single-byte change of a stored tree is read without
// touching memory outside the buffer; cuts always fail.
TEST(Property, DamagedInputIsHandled)
{
    Property root(kNoParent, "root", "folder");
    setValue(root, {1, 2, 3, 4});
    Property* a = root.addChild("a", "int32");
    setValue(*a, {5, 0, 0, 0});
    a->addChild("a1", "");
    root.addChild(ZELUNUString::fromUtf8("\xC3\xA9t\xC3\xA9"), "text");
    IOBuffer good = written(root, false);
    Bytes const bytes = bytesOf(good, good.getSizeInBytes());

    for (std::size_t len = 0; len < bytes.size(); ++len) {
        IOBuffer b = bufferOf(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(len)));
        Property p;
        EXPECT_NE(p.readFromBinary(b), 0) << len;
        EXPECT_LE(b.tell(), b.getSizeInBytes());
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (unsigned char v : {0x00, 0x01, 0x7F, 0xFF}) {
            Bytes damaged = bytes;
            damaged[i] = v;
            IOBuffer b = bufferOf(damaged);
            Property p;
            if (p.readFromBinary(b) == 0) {
                IOBuffer out(p.getSerializedSize(), false, IOBuffer::AllocatorHandle());
                EXPECT_EQ(p.writeToBinary(out), 0) << i;
            }
            EXPECT_LE(b.tell(), b.getSizeInBytes());
        }
    }
}
