#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "support/FailingAllocation.h"
#include "support/XmlDoc.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"

TEST(ZELUNVec3, OrderedZThenYThenX)
{
    using V = ZELUNVec3<double>;
    EXPECT_EQ(V(), V(0, 0, 0));
    EXPECT_TRUE(V(5, 0, 1) < V(0, 9, 2));
    EXPECT_FALSE(V(1, 2, 3) < V(0, 2, 3));
    EXPECT_TRUE(V(0, 2, 3) < V(1, 2, 3));
    EXPECT_TRUE(V(9, 1, 3) < V(0, 2, 3));
    EXPECT_TRUE(V(0, 2, 3) > V(9, 1, 3));
    EXPECT_FALSE(V(1, 2, 3) < V(1, 2, 3));
}

TEST(ZELUNType, CopyMovesAndSelfAssignmentIsSafe)
{
    ZELUNType<int> a(new int(4));
    ZELUNType<int> b(a);
    EXPECT_TRUE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(*b, 4);
    ZELUNType<int> c;
    c = b;
    EXPECT_TRUE(b.isNull());
    EXPECT_EQ(*c, 4);
    ZELUNType<int>& alias = c;
    c = alias;
    ASSERT_FALSE(c.isNull());
    EXPECT_EQ(*c, 4);
}

TEST(ZELUNArray, ResizeKeepsStorageWhenShrinking)
{
    ZELUNArray<int> a;
    EXPECT_EQ(a.data(), nullptr);
    a.resize(4);
    for (int i = 0; i < 4; ++i) a[i] = i;
    int* storage = a.data();
    a.resize(2);
    EXPECT_EQ(a.data(), storage);
    EXPECT_EQ(a.capacity(), 4u);
    ZELUNArray<int> copy(a);
    EXPECT_NE(copy.data(), a.data());
    EXPECT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[1], 1);
}

// Arrays of arrays copied and assigned while allocations fail in turn:
// std::bad_alloc leaks nothing (the sanitizer builds check) and a copy or a
// reallocating assignment leaves the target as it was.
TEST(ZELUNArray, CopiesUnderFailingAllocations)
{
    auto points = [](double first, std::size_t n) {
        ZELUNArray<ZELUNArray<double>> a(n);
        for (std::size_t i = 0; i < n; ++i) {
            a[i].resize(3);
            a[i][0] = first + double(i);
        }
        return a;
    };
    ZELUNArray<ZELUNArray<double>> const source = points(10, 5);
    auto same = [](ZELUNArray<ZELUNArray<double>> const& a, double first, std::size_t n) {
        if (a.size() != n) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (a[i].size() != 3 || a[i][0] != first + double(i)) return false;
        return true;
    };
    unsigned const copies = zorvtest::forEachAllocationFailure(
        [] { return std::unique_ptr<ZELUNArray<ZELUNArray<double>>>(); },
        [&](auto& copy) { copy = std::make_unique<ZELUNArray<ZELUNArray<double>>>(source); },
        [&](auto& copy, bool threw) {
            EXPECT_EQ(bool(copy), !threw);
            if (copy) {
                EXPECT_TRUE(same(*copy, 10, 5));
            }
        });
    EXPECT_GT(copies, 5u);
    unsigned const assignments = zorvtest::forEachAllocationFailure(
        [&] { return points(0, 2); }, [&](ZELUNArray<ZELUNArray<double>>& target) { target = source; },
        [&](ZELUNArray<ZELUNArray<double>>& target, bool threw) {
            EXPECT_TRUE(threw ? same(target, 0, 2) : same(target, 10, 5));
        });
    EXPECT_GT(assignments, 5u);
}

TEST(ZELUNUString, NarrowTextIsLatin1BothWays)
{
    std::string all;
    for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
    ZELUNUString s(all);
    EXPECT_EQ(s.length(), 255);
    EXPECT_EQ(s.charAt(0xE8), 0xE9);  // byte 0xE9 is U+00E9
    EXPECT_EQ(s.toNarrow(), all);
    std::ostringstream os;
    using ZELUNPP_3_13_0::operator<<;
    os << s;
    EXPECT_EQ(os.str(), all);

    ZELUNUString wide = ZELUNUString::fromUtf8("\xC4\x80x");  // U+0100 has no narrow form
    EXPECT_FALSE(wide.isNarrow());
    EXPECT_EQ(wide.toNarrow(), "?x");
    EXPECT_EQ(ZELUNUString::fromUtf8("\xC3\xA9").toUtf8(), "\xC3\xA9");
    EXPECT_EQ(ZELUNUString("\xE9", 1, "ISO-8859-1"), ZELUNUString("\xE9"));
    EXPECT_EQ(ZELUNUString("\xC3\xA9", 2, "utf-8"), ZELUNUString("\xE9"));
}

TEST(ZELUNXMLDocument, ChildrenAndAttributes)
{
    zorvtest::XmlDoc doc("<r><a/><b n=\"1\"/><a k=\"\xC3\xA9\"/></r>");
    ASSERT_TRUE(doc.ok());
    _xmlNode* a = ZELUNXMLDocument::getFirstChild(doc.root(), "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(ZELUNXMLDocument::getFirstChild(doc.root(), "A"), nullptr);
    _xmlNode* a2 = ZELUNXMLDocument::getNextSibling(*a, "a");
    ASSERT_NE(a2, nullptr);
    EXPECT_EQ(ZELUNXMLDocument::getNextSibling(*a2, "a"), nullptr);

    ZELUNUString v("untouched");
    EXPECT_FALSE(ZELUNXMLDocument::getProperty(*a, "k", v));
    EXPECT_EQ(v, ZELUNUString("untouched"));
    EXPECT_TRUE(ZELUNXMLDocument::getProperty(*a2, "k", v));
    EXPECT_EQ(v, ZELUNUString("\xE9"));

    _xmlNode* c = ZELUNXMLDocument::addChild(doc.root(), "c", nullptr, true);
    ASSERT_NE(c, nullptr);
    ZELUNUString text("x<y");
    EXPECT_NE(ZELUNXMLDocument::setProperty(*c, "t", &text), nullptr);
    EXPECT_TRUE(ZELUNXMLDocument::getProperty(*c, "t", v));
    EXPECT_EQ(v, text);
}
