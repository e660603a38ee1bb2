#include "zorvsupport/types/BandType.h"

#include <algorithm>
#include <limits>

#include "zorvsupport/types/StringTable.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

template <class E>
E largestValue()
{
    if constexpr (std::is_same_v<E, ::HPGEOM_3_13_0::ZELUNVec3<double>>) {
        double const m = std::numeric_limits<double>::max();
        return E(m, m, m);
    } else {
        return std::numeric_limits<E>::max();
    }
}

// The default no-data value by data type; `zeroTuples` makes numeric tuples
// all zero (the empty text of a string band).
struct DefaultNoDataVisitor {
    DataType type;
    bool zeroTuples;

    template <class Tag>
    Variant accept(Tag const&) const
    {
        using E = typename Tag::element_type;
        Variant value(type);
        if (IsTupleTag<Tag>::value && zeroTuples && !std::is_same_v<E, ::HPGEOM_3_13_0::ZELUNVec3<double>>)
            return value;
        E* elements = static_cast<E*>(value.getPtr());
        std::fill(elements, elements + type.getLength(), largestValue<E>());
        return value;
    }
};

// Steps shared by the factories once category and data type are set.
BandType withNoData(BandType b, Variant const& noData)
{
    b.setNoDataValue(noData);
    if (noData == Variant()) b.setNoDataValue(BandType::getDefaultNoDataValue(b));
    return b;
}

}  // namespace

BandType::BandType()
    : m_category(kUndefined),
      m_unitDirection(static_cast<ZELUNUnit::LengthDirection>(0)),
      m_colorFormat(kColorUndefined)
{
}

BandType::BandType(BandType const& other) = default;
BandType& BandType::operator=(BandType const& other) = default;
BandType::~BandType() = default;

void BandType::setNoDataValue(Variant const& value)
{
    m_noDataValue = value;
}

void BandType::setStringTable(boost::shared_ptr<StringTable> table)
{
    if (m_category == kStringTable) m_stringTable = table;
}

BandType BandType::createScalar(DataType const& type, ZELUNUString const& unitKey,
                                ZELUNUnit::LengthDirection unitDirection, Variant const& noData)
{
    BandType b;
    b.m_category = kScalar;
    b.m_dataType = type;
    b.m_unitKey = unitKey;
    b.m_unitDirection = unitDirection;
    return withNoData(b, noData);
}

BandType BandType::createString(int maxLength, Variant const& noData)
{
    BandType b;
    b.m_category = kString;
    // A negative maximum length would wrap to a tuple of billions of units;
    // it is taken as 0, a uint16 scalar.
    b.m_dataType = DataType(DataType::kUInt16, maxLength > 0 ? static_cast<unsigned>(maxLength) : 0u);
    return withNoData(b, noData);
}

BandType BandType::createStringTable(boost::shared_ptr<StringTable> table, Variant const& noData)
{
    BandType b;
    b.m_category = kStringTable;
    b.m_dataType = DataType(DataType::kUInt16, 0);
    b.m_stringTable = table;
    return withNoData(b, noData);
}

BandType BandType::createDate(Variant const& noData)
{
    BandType b;
    b.m_category = kDate;
    b.m_dataType = DataType(DataType::kFloat64, 0);
    return withNoData(b, noData);
}

BandType BandType::createTime(Variant const& noData)
{
    BandType b;
    b.m_category = kTime;
    b.m_dataType = DataType(DataType::kFloat64, 0);
    return withNoData(b, noData);
}

BandType BandType::createDateTime(Variant const& noData)
{
    BandType b;
    b.m_category = kDateTime;
    b.m_dataType = DataType(DataType::kFloat64, 0);
    return withNoData(b, noData);
}

BandType BandType::createColor(ColorFormat format, Variant const& noData)
{
    BandType b;
    b.m_category = kColor;
    b.m_colorFormat = format;
    switch (format) {
    case kColorRGBA: b.m_dataType = DataType(DataType::kUInt8, 4); break;
    case kColorRGB: b.m_dataType = DataType(DataType::kUInt8, 3); break;
    case kColorSingleByte: b.m_dataType = DataType(DataType::kUInt8, 0); break;
    default: break;
    }
    return withNoData(b, noData);
}

Variant BandType::getDefaultNoDataValue(BandType const& bandType)
{
    DataType const& type = bandType.m_dataType;
    if (bandType.m_category == kStringTable && type == DataType(DataType::kUInt16, 0)) {
        Variant value(type);
        *value.getTypedPtr<TDataType<DataType::kUInt16>>() = StringTable::kInvalidIndex;
        return value;
    }
    if (bandType.m_category == kColor && type.getType() == DataType::kUInt8) {
        // getLength() counts a scalar as one element, so it never matches.
        unsigned const length = type.getLength();
        if ((bandType.m_colorFormat == kColorRGBA && length == 4) || (bandType.m_colorFormat == kColorRGB && length == 3)) {
            Variant value(type);
            unsigned char* rgba = value.getTypedPtr(TTupleDataType<TDataType<DataType::kUInt8>>(length));
            std::fill(rgba, rgba + length, static_cast<unsigned char>(255));
            if (length == 4) rgba[3] = 0;
            return value;
        }
    }
    return type.applyVisitor(DefaultNoDataVisitor{type, bandType.m_category == kString});
}

bool operator==(BandType const& a, BandType const& b)
{
    return a.getCategory() == b.getCategory() && a.getDataType() == b.getDataType() &&
           a.getUnitKey() == b.getUnitKey() && a.getUnitDirection() == b.getUnitDirection() &&
           a.getNoDataValue() == b.getNoDataValue();
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
