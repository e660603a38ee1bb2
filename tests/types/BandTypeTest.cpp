#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <limits>
#include <map>
#include <vector>

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/StringTable.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using Vec3 = ::HPGEOM_3_13_0::ZELUNVec3<double>;

namespace {

double const kMaxDouble = 1.7976931348623157e308;
float const kMaxFloat = 3.4028234663852886e38f;

// A table of texts in a vector; counts the calls the library makes.
class VectorTable : public StringTable {
public:
    std::vector<ZELUNUString> texts;
    int appendCalls = 0;
    long appendStatus = 0;

    unsigned short lookup(ZELUNUString const& text) override
    {
        for (unsigned i = 0; i < texts.size(); ++i)
            if (texts[i] == text) return static_cast<unsigned short>(i);
        return kInvalidIndex;
    }
    long getString(unsigned short index, ZELUNUString& text) override
    {
        if (index >= texts.size()) return 4242;
        text = texts[index];
        return 0;
    }
    unsigned int getCount() const override { return static_cast<unsigned>(texts.size()); }
    long setString(unsigned short index, ZELUNUString const& text) override
    {
        texts.at(index) = text;
        return 0;
    }
    unsigned short append(ZELUNUString const& text, long& status) override
    {
        ++appendCalls;
        texts.push_back(text);
        status = appendStatus;
        return static_cast<unsigned short>(texts.size() - 1);
    }
    long remove(unsigned short index) override
    {
        texts.erase(texts.begin() + index);
        return 0;
    }
    long clear() override
    {
        texts.clear();
        return 0;
    }
};

// The elements of a value as doubles (3-vectors as x, y, z), with its type.
struct Elements {
    DataType type;
    std::vector<double> values;
    bool operator==(Elements const& o) const { return type == o.type && values == o.values; }
};

struct ElementsVisitor {
    Variant const& v;
    template <class Tag>
    std::vector<double> accept(Tag const& tag) const
    {
        std::vector<double> out;
        auto const* p = v.getTypedPtr(tag);
        if (p == nullptr) return out;
        for (unsigned i = 0; i < tag.getLength(); ++i) {
            if constexpr (std::is_same_v<typename Tag::element_type, Vec3>) {
                out.push_back(p[i].x);
                out.push_back(p[i].y);
                out.push_back(p[i].z);
            } else {
                out.push_back(static_cast<double>(p[i]));
            }
        }
        return out;
    }
};

Elements elementsOf(Variant const& v)
{
    return Elements{v.getDataType(), v.getDataType().applyVisitor(ElementsVisitor{v})};
}

std::ostream& operator<<(std::ostream& os, Elements const& e)
{
    os << "type " << e.type.getType() << "x" << e.type.getTupleLength() << " {";
    for (double d : e.values) os << d << ' ';
    return os << '}';
}

bool isUndefinedValue(Variant const& v)
{
    return v.getDataType() == DataType() && !v.valid();
}

class PlainBand : public Band {
public:
    ZELUNUString const& getName() const override { return m_name; }
    BandType const& getBandType() const override { return m_type; }
    ZELUNUString const& getDescription() const override { return m_name; }
    long setName(ZELUNUString const& name) override
    {
        m_name = name;
        return 0;
    }
    long setDescription(ZELUNUString const&) override { return 0; }
    bool isReadOnly() const override { return false; }
    long getMinValue(Variant&) const override { return 0; }
    long getMaxValue(Variant&) const override { return 0; }
    bool isPersistent() const override { return true; }

private:
    ZELUNUString m_name{"Depth"};
    BandType m_type;
};

class ComputedBand : public PlainBand {
public:
    ZELUNUString getComputedBandExpression() const override { return ZELUNUString("Depth * 2"); }
};

}  // namespace

TEST(BandType, DefaultConstructed)
{
    BandType b;
    EXPECT_EQ(b.getCategory(), BandType::kUndefined);
    EXPECT_EQ(static_cast<int>(b.getCategory()), 7);
    EXPECT_EQ(b.getDataType(), DataType(DataType::kUndefined, 0));
    EXPECT_TRUE(b.getUnitKey().isEmpty());
    EXPECT_EQ(static_cast<int>(b.getUnitDirection()), 0);
    EXPECT_EQ(b.getStringTable(), nullptr);
    EXPECT_TRUE(isUndefinedValue(b.getNoDataValue()));
    EXPECT_EQ(b.getColorFormat(), kColorUndefined);
    EXPECT_EQ(static_cast<int>(b.getColorFormat()), 3);
    EXPECT_TRUE(isUndefinedValue(BandType::getDefaultNoDataValue(b)));
}

TEST(BandType, FactoriesFillTheDefaultNoDataValue)
{
    auto table = boost::make_shared<VectorTable>();
    struct Row {
        char const* name;
        BandType band;
        BandType::Category category;
        Elements noData;
    };
    using D = DataType;
    Row const rows[] = {
        {"string 10", BandType::createString(10, Variant()), BandType::kString,
         {D(D::kUInt16, 10), std::vector<double>(10, 0.0)}},
        {"string 0", BandType::createString(0, Variant()), BandType::kString, {D(D::kUInt16, 0), {65535}}},
        {"string table", BandType::createStringTable(table, Variant()), BandType::kStringTable,
         {D(D::kUInt16, 0), {65535}}},
        {"date", BandType::createDate(Variant()), BandType::kDate, {D(D::kFloat64, 0), {kMaxDouble}}},
        {"time", BandType::createTime(Variant()), BandType::kTime, {D(D::kFloat64, 0), {kMaxDouble}}},
        {"date-time", BandType::createDateTime(Variant()), BandType::kDateTime, {D(D::kFloat64, 0), {kMaxDouble}}},
        {"rgba", BandType::createColor(kColorRGBA, Variant()), BandType::kColor,
         {D(D::kUInt8, 4), {255, 255, 255, 0}}},
        {"rgb", BandType::createColor(kColorRGB, Variant()), BandType::kColor, {D(D::kUInt8, 3), {255, 255, 255}}},
        {"single byte", BandType::createColor(kColorSingleByte, Variant()), BandType::kColor, {D(D::kUInt8, 0), {255}}},
        {"colour undefined", BandType::createColor(kColorUndefined, Variant()), BandType::kColor, {D(), {}}},
        {"colour 9", BandType::createColor(static_cast<ColorFormat>(9), Variant()), BandType::kColor, {D(), {}}},
        {"float32 3-tuple", BandType::createScalar(D(D::kFloat32, 3), "m", ZELUNUnit::kDown, Variant()),
         BandType::kScalar, {D(D::kFloat32, 3), std::vector<double>(3, kMaxFloat)}},
        {"vec3 2-tuple", BandType::createScalar(D(D::kVec3, 2), "", ZELUNUnit::kNoDirection, Variant()),
         BandType::kScalar, {D(D::kVec3, 2), std::vector<double>(6, kMaxDouble)}},
        {"int16 2-tuple", BandType::createScalar(D(D::kInt16, 2), "", ZELUNUnit::kNoDirection, Variant()),
         BandType::kScalar, {D(D::kInt16, 2), {32767, 32767}}},
        {"undefined", BandType::createScalar(D(), "", ZELUNUnit::kNoDirection, Variant()), BandType::kScalar, {D(), {}}},
        {"code 10", BandType::createScalar(D(static_cast<D::Type>(10), 0), "", ZELUNUnit::kNoDirection, Variant()),
         BandType::kScalar, {D(), {}}},
        {"code 12", BandType::createScalar(D(static_cast<D::Type>(12), 0), "", ZELUNUnit::kNoDirection, Variant()),
         BandType::kScalar, {D(), {}}},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.band.getCategory(), r.category);
        EXPECT_EQ(elementsOf(r.band.getNoDataValue()), r.noData);
        EXPECT_EQ(elementsOf(BandType::getDefaultNoDataValue(r.band)), r.noData);
    }
    EXPECT_EQ(rows[2].band.getStringTable(), table.get());
    EXPECT_EQ(rows[0].band.getDataType(), DataType(DataType::kUInt16, 10));
    EXPECT_EQ(rows[9].band.getDataType(), DataType());
    EXPECT_EQ(rows[10].band.getDataType(), DataType());
    EXPECT_EQ(static_cast<int>(rows[10].band.getColorFormat()), 9);
    EXPECT_EQ(rows[15].band.getDataType(), DataType(static_cast<DataType::Type>(10), 0));
}

TEST(BandType, DefaultNoDataOfEveryScalarKindIsItsLargestValue)
{
#define ZORV_CHECK_KIND(k, T, name)                                                                           \
    {                                                                                                         \
        SCOPED_TRACE(name);                                                                                   \
        BandType const b = BandType::createScalar(DataType(static_cast<DataType::Type>(k), 0), "",            \
                                                  ZELUNUnit::kNoDirection, Variant());                       \
        T const* p = b.getNoDataValue().getTypedPtr<TDataType<k>>();                                          \
        ASSERT_NE(p, nullptr);                                                                                \
        if constexpr (std::is_same_v<T, Vec3>)                                                                \
            EXPECT_EQ(*p, Vec3(kMaxDouble, kMaxDouble, kMaxDouble));                                          \
        else                                                                                                  \
            EXPECT_EQ(*p, std::numeric_limits<T>::max());                                                     \
    }
    ZORV_FOR_EACH_ELEMENT_KIND(ZORV_CHECK_KIND)
#undef ZORV_CHECK_KIND
    BandType const u64 = BandType::createScalar(DataType::kUInt64, "", ZELUNUnit::kNoDirection, Variant());
    EXPECT_EQ(*u64.getNoDataValue().getTypedPtr<TDataType<9>>(), 18446744073709551615ULL);
    BandType const f32 = BandType::createScalar(DataType::kFloat32, "", ZELUNUnit::kNoDirection, Variant());
    EXPECT_EQ(static_cast<double>(*f32.getNoDataValue().getTypedPtr<TDataType<0>>()), 3.4028234663852886e38);
}

TEST(BandType, DefinedNoDataArgumentIsKeptAsGiven)
{
    BandType const zero =
        BandType::createScalar(DataType::kUInt8, "m", ZELUNUnit::kDown, Variant(static_cast<unsigned char>(0)));
    EXPECT_EQ(elementsOf(zero.getNoDataValue()), (Elements{DataType::kUInt8, {0}}));

    // Another data type than the band's is not compared, let alone converted.
    BandType const mixed = BandType::createScalar(DataType::kUInt16, "", ZELUNUnit::kNoDirection, Variant(-7));
    EXPECT_EQ(elementsOf(mixed.getNoDataValue()), (Elements{DataType::kInt32, {-7}}));

    // A value of code 10 is not the undefined value: it is stored.
    BandType const ten =
        BandType::createDate(Variant(DataType(static_cast<DataType::Type>(10), 0)));
    EXPECT_EQ(ten.getNoDataValue().getDataType(), DataType(static_cast<DataType::Type>(10), 0));

    BandType b = BandType::createDate(Variant());
    b.setNoDataValue(Variant(0.0));
    EXPECT_EQ(elementsOf(b.getNoDataValue()), (Elements{DataType::kFloat64, {0.0}}));
    b.setNoDataValue(Variant());
    EXPECT_TRUE(isUndefinedValue(b.getNoDataValue()));
}

TEST(BandType, ScalarFieldsAndOutOfRangeDirection)
{
    BandType const b = BandType::createScalar(DataType(DataType::kFloat64, 0), "ft", ZELUNUnit::kUp, Variant());
    EXPECT_EQ(b.getUnitKey(), ZELUNUString("ft"));
    EXPECT_EQ(b.getUnitDirection(), ZELUNUnit::kUp);
    EXPECT_EQ(b.getColorFormat(), kColorUndefined);
    EXPECT_EQ(b.getStringTable(), nullptr);
    BandType const odd = BandType::createScalar(DataType::kInt32, "", static_cast<ZELUNUnit::LengthDirection>(7), Variant());
    EXPECT_EQ(static_cast<int>(odd.getUnitDirection()), 7);
}

TEST(BandType, NegativeStringLengthMakesAScalar)
{
    BandType const b = BandType::createString(-3, Variant());
    EXPECT_EQ(b.getDataType(), DataType(DataType::kUInt16, 0));
    EXPECT_EQ(elementsOf(b.getNoDataValue()), (Elements{DataType::kUInt16, {65535}}));
}

TEST(BandType, SetStringTableOnlyForStringTableBands)
{
    auto first = boost::make_shared<VectorTable>();
    auto second = boost::make_shared<VectorTable>();
    BandType date = BandType::createDate(Variant());
    date.setStringTable(first);
    EXPECT_EQ(date.getStringTable(), nullptr);

    BandType index = BandType::createStringTable(first, Variant());
    index.setStringTable(second);
    EXPECT_EQ(index.getStringTable(), second.get());
    index.setStringTable(boost::shared_ptr<StringTable>());
    EXPECT_EQ(index.getStringTable(), nullptr);
    BandType const& constIndex = index;
    EXPECT_EQ(constIndex.getStringTable(), nullptr);
}

TEST(BandType, CopiesShareTheStringTable)
{
    auto table = boost::make_shared<VectorTable>();
    BandType const a = BandType::createStringTable(table, Variant());
    EXPECT_EQ(table.use_count(), 2);
    {
        BandType b(a);
        EXPECT_EQ(b.getStringTable(), table.get());
        BandType c;
        c = b;
        EXPECT_EQ(c.getStringTable(), table.get());
        EXPECT_EQ(table.use_count(), 4);
        EXPECT_TRUE(c == a);
    }
    EXPECT_EQ(table.use_count(), 2);
}

TEST(BandType, EqualityComparesFiveFields)
{
    auto t1 = boost::make_shared<VectorTable>();
    auto t2 = boost::make_shared<VectorTable>();
    // Neither the string table nor the colour format takes part.
    EXPECT_TRUE(BandType::createStringTable(t1, Variant()) == BandType::createStringTable(t2, Variant()));
    EXPECT_TRUE(BandType::createColor(kColorUndefined, Variant()) ==
                BandType::createColor(static_cast<ColorFormat>(5), Variant()));

    BandType const base = BandType::createScalar(DataType::kFloat32, "m", ZELUNUnit::kDown, Variant(-1.0f));
    EXPECT_TRUE(base == BandType::createScalar(DataType::kFloat32, "m", ZELUNUnit::kDown, Variant(-1.0f)));
    EXPECT_FALSE(base == BandType::createScalar(DataType::kFloat32, "ft", ZELUNUnit::kDown, Variant(-1.0f)));
    EXPECT_FALSE(base == BandType::createScalar(DataType::kFloat32, "M", ZELUNUnit::kDown, Variant(-1.0f)));
    EXPECT_FALSE(base == BandType::createScalar(DataType::kFloat32, "m", ZELUNUnit::kUp, Variant(-1.0f)));
    EXPECT_FALSE(base == BandType::createScalar(DataType::kFloat32, "m", ZELUNUnit::kDown, Variant(-2.0f)));
    EXPECT_FALSE(base == BandType::createScalar(DataType::kFloat32, "m", ZELUNUnit::kDown, Variant(-1.0)));
    EXPECT_FALSE(base == BandType::createScalar(DataType(DataType::kFloat32, 1), "m", ZELUNUnit::kDown, Variant(-1.0f)));
    EXPECT_FALSE(BandType::createDate(Variant()) == BandType::createTime(Variant()));
    EXPECT_TRUE(BandType() == BandType());
    // A NaN no-data value is unequal to itself, so is its band type.
    BandType const nan = BandType::createDate(Variant(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(nan == nan);
}

TEST(StringTable, Constants)
{
    EXPECT_EQ(StringTable::kInvalidIndex, 0xFFFF);
    EXPECT_EQ(StringTable::kMaxStringLength, 2000u);
}

TEST(StringTable, LookupOrAppend)
{
    VectorTable table;
    table.texts = {"sand", "rock"};
    long status = 99;
    EXPECT_EQ(table.lookupOrAppend("rock", status), 1);
    EXPECT_EQ(status, 99);
    EXPECT_EQ(table.appendCalls, 0);

    table.appendStatus = 17;
    EXPECT_EQ(table.lookupOrAppend("mud", status), 2);
    EXPECT_EQ(status, 17);
    EXPECT_EQ(table.appendCalls, 1);
    EXPECT_EQ(table.texts.size(), 3u);
    EXPECT_EQ(table.lookupOrAppend("mud", status), 2);
    EXPECT_EQ(table.appendCalls, 1);
}

TEST(Band, ComputedBandAndHiddenFlag)
{
    PlainBand plain;
    EXPECT_FALSE(plain.isHidden());
    EXPECT_FALSE(plain.isComputedBand());
    EXPECT_TRUE(plain.getComputedBandExpression().isEmpty());

    ComputedBand computed;
    EXPECT_TRUE(computed.isComputedBand());
    Band const& asBand = computed;
    EXPECT_EQ(asBand.getComputedBandExpression(), ZELUNUString("Depth * 2"));

    plain.setIsHidden(true);
    PlainBand copy(plain);
    EXPECT_TRUE(copy.isHidden());
    PlainBand other;
    other = plain;
    EXPECT_TRUE(other.isHidden());
    plain.setIsHidden(false);
    other = plain;
    EXPECT_FALSE(other.isHidden());
}
