#include <gtest/gtest.h>

#include <string>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/CoordConvert.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"

using namespace ZORV_3_13_0_::DataSet;
using CS = ZELUNCoordSystem;

namespace {

ZELUNUString u8(std::string const& s)
{
    return ZELUNUString::fromUtf8(s);
}

// UTF-16 units as written, NULs and lone surrogates included.
template <std::size_t N>
ZELUNUString units(char16_t const (&s)[N])
{
    return ZELUNUString(icu::UnicodeString(s, static_cast<int32_t>(N - 1)));
}

char const* const kWkt = "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                         "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]";

}  // namespace

TEST(CoordConvert, WhichSystemHasWhichForm)
{
    struct Row {
        char const* label;
        CS system;
        long oneString;   // status of coordToString
        long threeStrings;  // status of coordToStrings
    } const rows[] = {
        {"unnamed", CS("EPSG:32633"), 0, 0},
        {"named", CS(u8("EPSG:32633"), u8("UTM 33 \xE2\x80\x94 \xF0\x9F\x8C\x8A")), kErrNotConvertible, 0},
        {"undefined", CS(), kErrNotConvertible, kErrNotConvertible},
        {"invalid", CS("nonsense"), kErrNotConvertible, kErrNotConvertible},
        {"invalid and named", CS(u8("EPSG:4978"), u8("geocentric")), kErrNotConvertible, kErrNotConvertible},
        {"name with U+0000", CS(u8("EPSG:4326"), units(u"ab\0c")), kErrNotConvertible, kErrNotConvertible},
        {"name with a lone lead", CS(u8("EPSG:4326"), units(u"a\xD83C")), kErrNotConvertible, kErrNotConvertible},
        {"name with a lone trail", CS(u8("EPSG:4326"), units(u"\xDF0A" u"a")), kErrNotConvertible,
         kErrNotConvertible},
        {"name with a swapped pair", CS(u8("EPSG:4326"), units(u"\xDF0A\xD83C")), kErrNotConvertible,
         kErrNotConvertible},
    };
    for (Row const& r : rows) {
        ZELUNUString text("untouched"), a("a"), b("b"), c("c");
        EXPECT_EQ(CoordConvert::coordToString(r.system, CoordConvert::kDefinitionFormat, text), r.oneString)
            << r.label;
        EXPECT_EQ(text, r.oneString ? ZELUNUString("untouched") : r.system.definition()) << r.label;
        EXPECT_EQ(CoordConvert::coordToStrings(r.system, a, b, c), r.threeStrings) << r.label;
        if (r.threeStrings == 0) {
            EXPECT_EQ(a, ZELUNUString("proj")) << r.label;
            EXPECT_EQ(b, r.system.definition()) << r.label;
            EXPECT_EQ(c, r.system.name()) << r.label;
        } else {
            EXPECT_EQ(a, ZELUNUString("a")) << r.label;
        }
    }
    ZELUNUString text;
    EXPECT_EQ(CoordConvert::coordToString(CS("EPSG:4326"), static_cast<CoordConvert::CoordFormat>(1), text),
              kErrNotSupported);
}

TEST(CoordConvert, BothFormsRoundTrip)
{
    CS const systems[] = {
        CS("EPSG:4326"),
        CS("+proj=longlat +datum=WGS84"),
        CS(kWkt),
        CS(u8("EPSG:32633"), u8("UTM zone 33N; name=x \xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x8C\x8A")),
        CS(u8("EPSG:32660"), u8(std::string(500, 'n'))),
    };
    for (CS const& cs : systems) {
        ASSERT_TRUE(cs.isValid()) << cs.definition().toUtf8();
        ZELUNUString text, a, b, c;
        if (cs.name().isEmpty()) {
            ASSERT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, text), 0);
            ZELUNType<CS> one(new CS("EPSG:32632"));  // replaced on success
            ASSERT_EQ(CoordConvert::coordFromString(text, CoordConvert::kDefinitionFormat, one), 0);
            EXPECT_TRUE(*one == cs) << text.toUtf8();
        }
        ASSERT_EQ(CoordConvert::coordToStrings(cs, a, b, c), 0);
        ZELUNType<CS> three;
        ASSERT_EQ(CoordConvert::coordFromStrings(a, b, c, three), 0);
        EXPECT_TRUE(*three == cs) << b.toUtf8();
    }
}

TEST(CoordConvert, ReadingRefusesWhatIsNotASystem)
{
    for (char const* text : {"", "nonsense", "proj", "EPSG:4978", "EPSG:5703", "EPSG:4326 junk"}) {
        ZELUNType<CS> holder(new CS("EPSG:4326"));
        EXPECT_EQ(CoordConvert::coordFromString(u8(text), CoordConvert::kDefinitionFormat, holder),
                  kErrNotConvertible)
            << text;
        EXPECT_TRUE(holder.isNull()) << text;
    }
    ZELUNType<CS> holder(new CS("EPSG:4326"));
    EXPECT_EQ(CoordConvert::coordFromString(u8("EPSG:4326"), static_cast<CoordConvert::CoordFormat>(2), holder),
              kErrNotSupported);
    EXPECT_TRUE(holder.isNull());

    // A one-string text gives a system without a name.
    ASSERT_EQ(CoordConvert::coordFromString(u8("EPSG:32633"), CoordConvert::kDefinitionFormat, holder), 0);
    EXPECT_TRUE(holder->name().isEmpty());
    EXPECT_TRUE(holder->isValid());

    struct Case {
        char const* label;
        ZELUNUString first, second, third;
        long status;
    } const cases[] = {
        {"named", u8("proj"), u8("EPSG:4326"), u8("WGS 84"), 0},
        {"empty name", u8("proj"), u8("EPSG:4326"), u8(""), 0},
        {"tag in capitals", u8("PROJ"), u8("EPSG:4326"), u8("n"), kErrNotConvertible},
        {"tag with a space", u8("proj "), u8("EPSG:4326"), u8("n"), kErrNotConvertible},
        {"definition first", u8("EPSG:4326"), u8("proj"), u8("n"), kErrNotConvertible},
        {"invalid definition", u8("proj"), u8("nonsense"), u8("n"), kErrNotConvertible},
        {"geocentric", u8("proj"), u8("EPSG:4978"), u8("n"), kErrNotConvertible},
        {"name with U+0000", u8("proj"), u8("EPSG:4326"), units(u"a\0"), kErrNotConvertible},
        {"name with a lone lead", u8("proj"), u8("EPSG:4326"), units(u"\xD800"), kErrNotConvertible},
    };
    for (Case const& c : cases) {
        ZELUNType<CS> h(new CS("EPSG:32632"));
        EXPECT_EQ(CoordConvert::coordFromStrings(c.first, c.second, c.third, h), c.status) << c.label;
        EXPECT_EQ(h.isNull(), c.status != 0) << c.label;
        if (!h.isNull()) {
            EXPECT_EQ(h->definition(), c.second) << c.label;
            EXPECT_EQ(h->name(), c.third) << c.label;
        }
    }
}
