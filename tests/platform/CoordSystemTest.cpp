#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/CoordConvert.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"

using ZORV_3_13_0_::DataSet::kErrNotConvertible;
using ZORV_3_13_0_::DataSet::kErrNotSupported;
using CS = ZELUNCoordSystem;

namespace {

ZELUNUString u8(std::string const& s)
{
    return ZELUNUString::fromUtf8(s);
}

CS localGrid()
{
    CS cs;
    cs.setKind(CS::kLocalGrid);
    cs.setCentralMeridian(-3.25);
    cs.setOriginLatitude(51.5);
    cs.setScale(1.0 / 3.0);
    cs.setFalseEasting(0.1);
    cs.setFalseNorthing(-2500.75);
    cs.setUnitFactor(0.3048006096012192);
    cs.setName(u8("site grid; name=x \xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x8C\x8A"));
    return cs;
}

}  // namespace

TEST(ZELUNCoordSystem, DefaultAndUtmParameters)
{
    CS d;
    EXPECT_EQ(d.kind(), CS::kGeographic);
    EXPECT_EQ(d.zone(), 0);
    EXPECT_EQ(d.centralMeridian(), 0.0);
    EXPECT_EQ(d.originLatitude(), 0.0);
    EXPECT_EQ(d.scale(), 1.0);
    EXPECT_EQ(d.falseEasting(), 0.0);
    EXPECT_EQ(d.falseNorthing(), 0.0);
    EXPECT_EQ(d.unitFactor(), 1.0);
    EXPECT_TRUE(d.name().isEmpty());
    EXPECT_TRUE(d.isValid());

    struct Case {
        int zone;
        double cm;
        double fn;
    } const cases[] = {{1, -177.0, 0.0}, {33, 15.0, 0.0}, {60, 177.0, 0.0}, {-33, 15.0, 10000000.0}, {-1, -177.0, 10000000.0}};
    for (Case const& c : cases) {
        CS u = CS::utm(c.zone, "n");
        EXPECT_EQ(u.kind(), CS::kUTM);
        EXPECT_EQ(u.zone(), c.zone);
        EXPECT_EQ(u.centralMeridian(), c.cm) << c.zone;
        EXPECT_EQ(u.scale(), 0.9996);
        EXPECT_EQ(u.falseEasting(), 500000.0);
        EXPECT_EQ(u.falseNorthing(), c.fn) << c.zone;
        EXPECT_EQ(u.name(), ZELUNUString("n"));
        EXPECT_TRUE(u.isValid());
    }
}

TEST(ZELUNCoordSystem, CopyAndEqualityCoverEveryParameter)
{
    CS const base = localGrid();
    CS copy(base);
    EXPECT_TRUE(copy == base);
    EXPECT_FALSE(copy != base);
    CS assigned;
    assigned = base;
    EXPECT_EQ(assigned, base);

    std::vector<std::function<void(CS&)>> const changes = {
        [](CS& c) { c.setKind(CS::kMercator); },
        [](CS& c) { c.setZone(1); },
        [](CS& c) { c.setCentralMeridian(-3.2500000000000004); },
        [](CS& c) { c.setOriginLatitude(51.6); },
        [](CS& c) { c.setScale(0.3333); },
        [](CS& c) { c.setFalseEasting(0.2); },
        [](CS& c) { c.setFalseNorthing(2500.75); },
        [](CS& c) { c.setUnitFactor(1.0); },
        [](CS& c) { c.setName("Site grid"); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        CS changed(base);
        changes[i](changed);
        EXPECT_FALSE(changed == base) << "change " << i;
        EXPECT_TRUE(changed != base) << "change " << i;
    }
}

TEST(ZELUNCoordSystem, Validity)
{
    double const inf = std::numeric_limits<double>::infinity();
    double const nan = std::numeric_limits<double>::quiet_NaN();
    ZELUNUString withNul("ab");
    withNul.append(static_cast<char16_t>(0));
    ZELUNUString loneLead("a");
    loneLead.append(static_cast<char16_t>(0xD83C));
    ZELUNUString loneTrail;
    loneTrail.append(static_cast<char16_t>(0xDF0A));
    loneTrail.append(static_cast<char16_t>('a'));
    ZELUNUString swapped;
    swapped.append(static_cast<char16_t>(0xDF0A));
    swapped.append(static_cast<char16_t>(0xD83C));

    std::vector<std::pair<char const*, std::function<void(CS&)>>> const invalid = {
        {"kind 6", [](CS& c) { c.setKind(static_cast<CS::Kind>(6)); }},
        {"kind -1", [](CS& c) { c.setKind(static_cast<CS::Kind>(-1)); }},
        {"utm zone 0", [](CS& c) { c = CS::utm(0); }},
        {"utm zone 61", [](CS& c) { c = CS::utm(61); }},
        {"utm zone -61", [](CS& c) { c = CS::utm(-61); }},
        {"cm inf", [&](CS& c) { c.setCentralMeridian(inf); }},
        {"lat0 nan", [&](CS& c) { c.setOriginLatitude(nan); }},
        {"k nan", [&](CS& c) { c.setScale(nan); }},
        {"k 0", [](CS& c) { c.setScale(0.0); }},
        {"k negative", [](CS& c) { c.setScale(-1.0); }},
        {"fe -inf", [&](CS& c) { c.setFalseEasting(-inf); }},
        {"fn inf", [&](CS& c) { c.setFalseNorthing(inf); }},
        {"unit 0", [](CS& c) { c.setUnitFactor(0.0); }},
        {"unit inf", [&](CS& c) { c.setUnitFactor(inf); }},
        {"name with U+0000", [&](CS& c) { c.setName(withNul); }},
        {"name ends in a lead surrogate", [&](CS& c) { c.setName(loneLead); }},
        {"name starts with a trail surrogate", [&](CS& c) { c.setName(loneTrail); }},
        {"surrogates in the wrong order", [&](CS& c) { c.setName(swapped); }},
    };
    for (auto const& [label, change] : invalid) {
        CS cs;
        change(cs);
        EXPECT_FALSE(cs.isValid()) << label;
        ZELUNUString a("untouched"), b, c;
        EXPECT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, a), kErrNotConvertible) << label;
        EXPECT_EQ(a, ZELUNUString("untouched")) << label;
        EXPECT_EQ(CoordConvert::coordToStrings(cs, a, b, c), kErrNotConvertible) << label;
    }

    CS zoneOnOtherKind;
    zoneOnOtherKind.setZone(99);  // the zone means nothing outside UTM
    EXPECT_TRUE(zoneOnOtherKind.isValid());
    CS pair;
    pair.setName(u8("\xF0\x9F\x8C\x8A"));
    EXPECT_TRUE(pair.isValid());
}

TEST(CoordConvert, DocumentedTexts)
{
    CS cs = CS::utm(-33, "WGS 84 / UTM zone 33S");
    ZELUNUString text;
    ASSERT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, text), 0);
    EXPECT_EQ(text.toUtf8(), "utm;zone=-33;cm=15;lat0=0;k=0.9996;fe=500000;fn=10000000;unit=1;name=WGS 84 / UTM zone 33S");

    ZELUNUString a, b, c;
    ASSERT_EQ(CoordConvert::coordToStrings(cs, a, b, c), 0);
    EXPECT_EQ(a.toUtf8(), "utm");
    EXPECT_EQ(b.toUtf8(), "zone=-33;cm=15;lat0=0;k=0.9996;fe=500000;fn=10000000;unit=1");
    EXPECT_EQ(c, cs.name());

    char const* const kinds[] = {"geographic", "tmerc", "utm", "merc", "webmerc", "localgrid"};
    for (int k = 0; k < 6; ++k) {
        CS s;
        s.setKind(static_cast<CS::Kind>(k));
        if (k == CS::kUTM) s.setZone(5);
        ASSERT_EQ(CoordConvert::coordToStrings(s, a, b, c), 0) << k;
        EXPECT_EQ(a.toUtf8(), kinds[k]);
    }

    // Other formats are not known.
    EXPECT_EQ(CoordConvert::coordToString(cs, static_cast<CoordConvert::CoordFormat>(1), text), kErrNotSupported);
}

TEST(CoordConvert, NameLengthDecidesTheForm)
{
    ZELUNUString atLimit;
    for (int i = 0; i < CoordConvert::kMaxCompactNameLength; ++i) atLimit.append(static_cast<char16_t>('a' + i % 26));
    ZELUNUString overLimit(atLimit);
    overLimit.append(static_cast<char16_t>('z'));

    ZELUNUString text, a, b, c;
    CS cs = CS::utm(10, atLimit);
    EXPECT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, text), 0);
    cs.setName(overLimit);
    EXPECT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, text), kErrNotConvertible);
    ASSERT_EQ(CoordConvert::coordToStrings(cs, a, b, c), 0);
    ZELUNType<CS> holder;
    ASSERT_EQ(CoordConvert::coordFromStrings(a, b, c, holder), 0);
    EXPECT_EQ(*holder, cs);

    // A one-string text carrying a longer name is not one this form writes.
    std::string tooLong = "utm;zone=10;cm=-123;lat0=0;k=0.9996;fe=500000;fn=0;unit=1;name=" + overLimit.toUtf8();
    EXPECT_EQ(CoordConvert::coordFromString(u8(tooLong), CoordConvert::kDefinitionFormat, holder), kErrNotConvertible);
    EXPECT_TRUE(holder.isNull());
}

TEST(CoordConvert, BothFormsRoundTrip)
{
    CS geographic;
    geographic.setUnitFactor(1.0 / 3600.0);  // arc seconds
    CS tmerc;
    tmerc.setKind(CS::kTransverseMercator);
    tmerc.setCentralMeridian(-2.0);
    tmerc.setOriginLatitude(49.0);
    tmerc.setScale(0.9996012717);
    tmerc.setFalseEasting(400000.0);
    tmerc.setFalseNorthing(-100000.0);
    CS merc;
    merc.setKind(CS::kMercator);
    merc.setCentralMeridian(5e-324);  // smallest subnormal
    merc.setFalseEasting(1.7976931348623157e308);
    merc.setFalseNorthing(-0.0);
    CS web;
    web.setKind(CS::kWebMercator);
    web.setName(u8("a;b;c;name=d"));
    std::vector<CS> const systems = {CS(), geographic, tmerc, CS::utm(31, "UTM 31N"), CS::utm(-60), merc, web,
                                     localGrid()};

    for (std::size_t i = 0; i < systems.size(); ++i) {
        CS const& cs = systems[i];
        ZELUNUString text, a, b, c;
        ASSERT_EQ(CoordConvert::coordToString(cs, CoordConvert::kDefinitionFormat, text), 0) << i;
        ZELUNType<CS> one(new CS(CS::utm(1)));  // replaced on success
        ASSERT_EQ(CoordConvert::coordFromString(text, CoordConvert::kDefinitionFormat, one), 0) << text.toUtf8();
        EXPECT_EQ(*one, cs) << text.toUtf8();

        ASSERT_EQ(CoordConvert::coordToStrings(cs, a, b, c), 0) << i;
        ZELUNType<CS> three;
        ASSERT_EQ(CoordConvert::coordFromStrings(a, b, c, three), 0) << b.toUtf8();
        EXPECT_EQ(*three, cs) << b.toUtf8();

        // And back to the very same texts.
        ZELUNUString again;
        ASSERT_EQ(CoordConvert::coordToString(*one, CoordConvert::kDefinitionFormat, again), 0);
        EXPECT_EQ(again, text);
    }
    // Negative zero keeps its sign through the text.
    ZELUNUString a, b, c;
    ASSERT_EQ(CoordConvert::coordToStrings(merc, a, b, c), 0);
    EXPECT_NE(b.toUtf8().find("fn=-0;"), std::string::npos) << b.toUtf8();
}

TEST(CoordConvert, MalformedTextsAreRefused)
{
    std::string const good = "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n";
    ZELUNType<CS> holder;
    ASSERT_EQ(CoordConvert::coordFromString(u8(good), CoordConvert::kDefinitionFormat, holder), 0);

    char const* const bad[] = {
        "",
        "merc",
        "merc;",
        "utm",
        "Merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "mercator;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;nam=n",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;unit=1;fn=0;name=n",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=;name=n",
        "merc;zone=0;cm= 1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1.5 ;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=+1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1.5x;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=0x10;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0.5;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=99999999999;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1e999;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=nan;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=inf;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1.5;lat0=0;k=0;fe=0;fn=0;unit=1;name=n",
        "merc;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=-1;name=n",
        "utm;zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
        "utm;zone=61;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1;name=n",
    };
    for (char const* text : bad) {
        ZELUNType<CS> filled(new CS());
        EXPECT_EQ(CoordConvert::coordFromString(u8(text), CoordConvert::kDefinitionFormat, filled), kErrNotConvertible)
            << '"' << text << '"';
        EXPECT_TRUE(filled.isNull()) << text;
    }

    ZELUNType<CS> filled(new CS());
    EXPECT_EQ(CoordConvert::coordFromString(u8(good), static_cast<CoordConvert::CoordFormat>(2), filled),
              kErrNotSupported);
    EXPECT_TRUE(filled.isNull());

    // The three-string form: a kind alone, the parameters alone, any name.
    std::string const params = "zone=0;cm=1.5;lat0=0;k=1;fe=0;fn=0;unit=1";
    ZELUNUString nulName("a");
    nulName.append(static_cast<char16_t>(0));
    struct Case {
        ZELUNUString first, second, third;
        long status;
    } const cases[] = {
        {u8("merc"), u8(params), u8("n"), 0},
        {u8("merc"), u8(params), u8(std::string(500, 'x')), 0},
        {u8(good), u8(params), u8("n"), kErrNotConvertible},
        {u8("merc;"), u8(params), u8("n"), kErrNotConvertible},
        {u8("merc"), u8(params + ";"), u8("n"), kErrNotConvertible},
        {u8("merc"), u8(params + ";name=n"), u8("n"), kErrNotConvertible},
        {u8("merc"), u8("cm=1.5"), u8("n"), kErrNotConvertible},
        {u8("merc"), u8(""), u8(""), kErrNotConvertible},
        {u8("merc"), u8(params), nulName, kErrNotConvertible},
    };
    for (Case const& c : cases) {
        ZELUNType<CS> h(new CS(CS::utm(2)));
        EXPECT_EQ(CoordConvert::coordFromStrings(c.first, c.second, c.third, h), c.status)
            << c.first.toUtf8() << " | " << c.second.toUtf8();
        EXPECT_EQ(h.isNull(), c.status != 0);
        if (!h.isNull()) {
            EXPECT_EQ(h->kind(), CS::kMercator);
            EXPECT_EQ(h->centralMeridian(), 1.5);
            EXPECT_EQ(h->name(), c.third);
        }
    }
}
