#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Variant.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class StringTable;

// Layout of the values of a colour band. The underlying type is fixed, so a
// stored value outside the named ones survives unchanged.
enum ColorFormat : int {
    kColorRGBA = 0,        // uint8 4-tuple: red, green, blue, alpha
    kColorRGB = 1,         // uint8 3-tuple: red, green, blue
    kColorSingleByte = 2,  // uint8 scalar
    kColorUndefined = 3
};

// Describes the values of a band: how they are read and shown (category),
// their element type, the unit of scalar values (key and length direction),
// the string table of index bands, the no-data value and the colour layout.
// A plain value class; copies share the string table.
class ZORV_EXPORT BandType {
public:
    // The underlying type is fixed, so a stored value outside the named ones
    // survives unchanged.
    enum Category : int {
        kScalar = 0,       // numbers in the unit named by the unit key
        kString = 1,       // uint16 tuple of UTF-16 units, ended early by a 0
        kStringTable = 2,  // uint16 index into the string table
        kDate = 3,         // float64 milliseconds since 1970-01-01 00:00 UTC
        kTime = 4,
        kDateTime = 5,
        kColor = 6,        // by the colour format
        kUndefined = 7
    };

    // Category kUndefined, undefined data type, empty unit key, direction 0,
    // no string table, undefined no-data value, kColorUndefined.
    BandType();
    BandType(BandType const& other);
    BandType& operator=(BandType const& other);
    ~BandType();

    DataType const& getDataType() const { return m_dataType; }
    Category const& getCategory() const { return m_category; }
    ZELUNUString const& getUnitKey() const { return m_unitKey; }
    ZELUNUnit::LengthDirection getUnitDirection() const { return m_unitDirection; }
    Variant const& getNoDataValue() const { return m_noDataValue; }
    ColorFormat getColorFormat() const { return m_colorFormat; }
    // The held table; null when there is none.
    StringTable const* getStringTable() const { return m_stringTable.get(); }
    StringTable* getStringTable() { return m_stringTable.get(); }

    // A copy of `value`, whatever its data type.
    void setNoDataValue(Variant const& value);
    // Only for category kStringTable (an empty handle removes the table);
    // ignored for every other category.
    void setStringTable(boost::shared_ptr<StringTable> table);

    // Factories. An undefined no-data argument is replaced by
    // getDefaultNoDataValue() of the band type built; a defined one is kept
    // as it is.
    static BandType createScalar(DataType const& type, ZELUNUString const& unitKey,
                                 ZELUNUnit::LengthDirection unitDirection, Variant const& noData);
    // uint16 tuple of `maxLength` units (a uint16 scalar for 0 or less).
    static BandType createString(int maxLength, Variant const& noData);
    // uint16 scalar indexes into `table`.
    static BandType createStringTable(boost::shared_ptr<StringTable> table, Variant const& noData);
    // float64 scalar date values.
    static BandType createDate(Variant const& noData);
    static BandType createTime(Variant const& noData);
    static BandType createDateTime(Variant const& noData);
    // The data type follows the colour format; any other format value leaves
    // it undefined and is stored as given.
    static BandType createColor(ColorFormat format, Variant const& noData);

    // kInvalidIndex for a uint16 string-table band; (255, 255, 255, 0) and
    // (255, 255, 255) for RGBA and RGB colour bands of matching uint8 tuples;
    // otherwise by the data type: the largest value of the element kind in
    // every element (0 in every element of a numeric tuple of a string band),
    // and an undefined value for a data type without element kind.
    static Variant getDefaultNoDataValue(BandType const& bandType);

private:
    Category m_category;
    DataType m_dataType;
    ZELUNUString m_unitKey;
    ZELUNUnit::LengthDirection m_unitDirection;
    boost::shared_ptr<StringTable> m_stringTable;
    Variant m_noDataValue;
    ColorFormat m_colorFormat;
};

// Equal categories, data types, unit keys (exact), unit directions and
// no-data values; string tables and colour formats are not compared.
ZORV_EXPORT bool operator==(BandType const& a, BandType const& b);

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
