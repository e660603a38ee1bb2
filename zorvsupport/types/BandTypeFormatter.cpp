#include "zorvsupport/types/BandTypeFormatter.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <new>

#include <unicode/locid.h>
#include <unicode/datefmt.h>
#include <unicode/timezone.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/types/StringTable.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// One shared ICU format. All members are constant-initialised, so the slots
// are usable whenever a formatter first runs; the formats are deleted when
// the library is unloaded.
struct DateFormatSlot {
    std::once_flag once;
    std::unique_ptr<icu::DateFormat> format;
};

DateFormatSlot gDateSlot;
DateFormatSlot gTimeSlot;
DateFormatSlot gDateTimeSlot;
// ICU formats must not format on two threads at once.
std::mutex gDateFormatUse;

enum class DateKind { kDate, kTime, kDateTime };

// Medium style in ICU's default locale, written in GMT. ICU answers null
// (and the GMT zone's copy is null) only when it finds no memory; that
// throws std::bad_alloc, nothing is kept and the next formatting tries again.
std::unique_ptr<icu::DateFormat> createDateFormat(DateKind kind)
{
    icu::Locale const& locale = icu::Locale::getDefault();
    std::unique_ptr<icu::DateFormat> format;
    switch (kind) {
    case DateKind::kDate: format.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, locale)); break;
    case DateKind::kTime: format.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale)); break;
    case DateKind::kDateTime:
        format.reset(
            icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kMedium, locale));
        break;
    }
    if (!format) throw std::bad_alloc();
    // setTimeZone would keep the local zone, silently, when its copy fails.
    icu::TimeZone* gmt = icu::TimeZone::getGMT()->clone();
    if (!gmt) throw std::bad_alloc();
    format->adoptTimeZone(gmt);
    return format;
}

icu::DateFormat const& sharedDateFormat(DateKind kind)
{
    DateFormatSlot& slot = kind == DateKind::kDate ? gDateSlot : kind == DateKind::kTime ? gTimeSlot : gDateTimeSlot;
    std::call_once(slot.once, [&slot, kind] { slot.format = createDateFormat(kind); });
    return *slot.format;
}

ZELUNUString const& notAvailableText()
{
    static ZELUNUString const text("N/A");
    return text;
}

}  // namespace

BandTypeFormatter::BandTypeFormatter(BandType const& bandType, ZELUNUnit const* displayUnit, int precision,
                                     double scale)
    : m_bandType(bandType), m_displayUnit(displayUnit), m_scale(scale)
{
    ZELUNDoubleFormat format = getDoubleFormat();
    format.setPrecision(static_cast<unsigned>(precision));
    setDoubleFormat(format);
}

BandTypeFormatter::~BandTypeFormatter() = default;

long BandTypeFormatter::toString(ConstVariantRef value, ZELUNUString& text) const
{
    text.remove();
    DataType const& type = value.getDataType();
    if (!(type == m_bandType.getDataType())) return kErrFormatTypeMismatch;
    if (!value.valid() || value == m_bandType.getNoDataValue()) {
        text = notAvailableText();
        return kSuccess;
    }
    switch (m_bandType.getCategory()) {
    case BandType::kString: {
        unsigned const length = m_bandType.getDataType().getLength();
        unsigned short const* units = value.getTypedPtr(TTupleDataType<TDataType<DataType::kUInt16>>(length));
        if (units == nullptr) return kErrNotFormattable;
        for (unsigned i = 0; i < length && units[i] != 0; ++i) text.append(static_cast<char16_t>(units[i]));
        return kSuccess;
    }
    case BandType::kStringTable: {
        // The table is shared, not part of the band type's value, so reading
        // it through a const band type is sound.
        StringTable* table = const_cast<BandType&>(m_bandType).getStringTable();
        if (table == nullptr) return kErrNoStringTable;
        unsigned short const* index = value.getTypedPtr<TDataType<DataType::kUInt16>>();
        if (index == nullptr) return kErrNotFormattable;
        return table->getString(*index, text);
    }
    case BandType::kDate:
    case BandType::kTime:
    case BandType::kDateTime: {
        double const* date = value.getTypedPtr<TDataType<DataType::kFloat64>>();
        if (date == nullptr) return kErrNotFormattable;
        icu::DateFormat const& format = getOrCreateDateFormat();
        UErrorCode status = U_ZERO_ERROR;
        {
            std::lock_guard<std::mutex> lock(gDateFormatUse);
            format.format(*date, text, nullptr, status);
        }
        // ICU reports a shortage in the status or leaves the text bogus.
        if (status == U_MEMORY_ALLOCATION_ERROR || text.isBogus()) {
            text.remove();
            throw std::bad_alloc();
        }
        return kSuccess;
    }
    default:
        return Formatter::toString(value, text);
    }
}

icu::DateFormat const& BandTypeFormatter::getOrCreateDateFormat() const
{
    switch (m_bandType.getCategory()) {
    case BandType::kDate: return sharedDateFormat(DateKind::kDate);
    case BandType::kTime: return sharedDateFormat(DateKind::kTime);
    default: return sharedDateFormat(DateKind::kDateTime);
    }
}

long BandTypeFormatter::scaleAndConvert(double& value) const
{
    value *= m_scale;
    if (m_displayUnit == nullptr) return kSuccess;
    ZELUNUnit const* bandUnit = ZELUNUnit::get(m_bandType.getUnitKey());
    if (bandUnit == nullptr) return kSuccess;
    long status = kSuccess;
    value = m_displayUnit->convert(value, bandUnit, status);
    return status;
}

long BandTypeFormatter::formatDouble(double value, ZELUNUString& text) const
{
    if (long st = scaleAndConvert(value)) return st;
    return Formatter::formatDouble(value, text);
}

long BandTypeFormatter::formatInt(long long value, ZELUNUString& text) const
{
    if (m_scale == 1.0 && m_displayUnit == nullptr) return Formatter::formatInt(value, text);
    double d = static_cast<double>(value);
    if (long st = scaleAndConvert(d)) return st;
    double const fraction = std::fabs(std::fmod(d, 1.0));
    double const tolerance = 0.5 / std::pow(10.0, static_cast<double>(getDoubleFormat().getPrecision()));
    if (tolerance < fraction) return Formatter::formatDouble(d, text);
    // Whole numbers in [-2^63, 2^63) truncate to the integer; everything
    // else, NaN and the infinities included, is out of range. Testing before
    // the cast keeps the conversion defined.
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
        text.remove();
        return kErrFormatOverflow;
    }
    try {
        return Formatter::formatInt(static_cast<long long>(d), text);
    } catch (std::bad_alloc const&) {
        throw;
    } catch (...) {
        text.remove();
        return kErrFormatOverflow;
    }
}

long ConstVariantRef::getAsString(BandType const& bandType, ZELUNUString& text) const
{
    BandTypeFormatter const formatter(bandType, nullptr, 2, 1.0);
    return formatter.toString(*this, text);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
