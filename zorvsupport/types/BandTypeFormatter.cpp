#include "zorvsupport/types/BandTypeFormatter.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/MemoryProbe.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/types/StringTable.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// One shared ICU format with the calendar it writes through. All members
// are constant-initialised, so the slots are usable whenever a formatter
// first runs; the formats are deleted when the library is unloaded. A mutex
// rather than std::call_once: a creation that throws must leave the slot
// free for the next attempt, and the standard library's call_once hangs
// every later call after an exception.
struct DateFormatSlot {
    std::mutex mutex;
    std::atomic<icu::DateFormat*> made{nullptr};
    std::unique_ptr<icu::DateFormat> format;
    // Written through instead of the format's own: ICU clones its calendar
    // for every date, and a clone that runs out of memory can leave the
    // formatting looping for ever.
    std::unique_ptr<icu::Calendar> calendar;
};

DateFormatSlot gDateSlot;
DateFormatSlot gTimeSlot;
DateFormatSlot gDateTimeSlot;
// ICU formats and calendars must not be used on two threads at once.
std::mutex gDateFormatUse;

enum class DateKind { kDate, kTime, kDateTime };

DateFormatSlot& slotOf(DateKind kind)
{
    return kind == DateKind::kDate ? gDateSlot : kind == DateKind::kTime ? gTimeSlot : gDateTimeSlot;
}

// ICU answers a shortage inside a date format quietly: while the format is
// made (it falls back to its default pattern, or answers null) and while it
// writes (fields come out missing or cut, with status 0). So what it makes
// or writes is taken only when two attempts in a row agree and memory is
// there after them; anything else is a shortage, and nothing is kept.
constexpr int kAttempts = 4;

// Medium style in ICU's default locale.
std::unique_ptr<icu::DateFormat> makeDateFormat(DateKind kind)
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
    return format;
}

// GMT as a zone of its own. ICU's setTimeZone would keep the local zone,
// silently, when its copy fails.
icu::TimeZone* gmt()
{
    icu::TimeZone* zone = icu::TimeZone::getGMT()->clone();
    if (!zone) throw std::bad_alloc();
    return zone;
}

// Fills a slot: the format of a kind, written in GMT, and a calendar of the
// same type in GMT.
void fill(DateFormatSlot& slot, DateKind kind)
{
    std::unique_ptr<icu::DateFormat> format = makeDateFormat(kind);
    for (int i = 0;; ++i) {
        if (i == kAttempts) throw std::bad_alloc();
        std::unique_ptr<icu::DateFormat> again = makeDateFormat(kind);
        if (!ZELUNMemory::available()) throw std::bad_alloc();
        if (*again == *format) break;
        format = std::move(again);
    }
    format->adoptTimeZone(gmt());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(gmt(), icu::Locale::getDefault(), status));
    // A calendar of another type than the format's would be cloned again.
    if (!calendar || U_FAILURE(status) || std::strcmp(calendar->getType(), format->getCalendar()->getType()) != 0)
        throw std::bad_alloc();
    slot.format = std::move(format);
    slot.calendar = std::move(calendar);
}

icu::DateFormat const& sharedDateFormat(DateKind kind)
{
    DateFormatSlot& slot = slotOf(kind);
    if (icu::DateFormat* made = slot.made.load(std::memory_order_acquire)) return *made;
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (!slot.format) {
        fill(slot, kind);
        slot.made.store(slot.format.get(), std::memory_order_release);
    }
    return *slot.format;
}

// `date` written by `format` into `out`, through `calendar` when there is
// one; false for a shortage ICU reports.
bool writeDate(icu::DateFormat const& format, icu::Calendar* calendar, double date, icu::UnicodeString& out)
{
    out.remove();
    UErrorCode status = U_ZERO_ERROR;
    if (calendar) {
        calendar->setTime(date, status);
        if (U_SUCCESS(status)) format.format(*calendar, out, nullptr, status);
    } else {
        format.format(date, out, nullptr, status);
    }
    return status != U_MEMORY_ALLOCATION_ERROR && !out.isBogus();
}

// The text of `date`, appended to `text`. A format of the library's slots
// writes through the slot's calendar; one of a derived formatter's own
// through its own calendar.
void appendDate(icu::DateFormat const& format, double date, ZELUNUString& text)
{
    icu::Calendar* calendar = nullptr;
    for (DateKind kind : {DateKind::kDate, DateKind::kTime, DateKind::kDateTime})
        if (slotOf(kind).made.load(std::memory_order_acquire) == &format) calendar = slotOf(kind).calendar.get();
    icu::UnicodeString first, again;
    {
        std::lock_guard<std::mutex> lock(gDateFormatUse);
        if (!writeDate(format, calendar, date, first)) throw std::bad_alloc();
        for (int i = 0;; ++i) {
            if (i == kAttempts || !writeDate(format, calendar, date, again) || !ZELUNMemory::available())
                throw std::bad_alloc();
            if (again == first) break;
            first.swap(again);
        }
    }
    text.append(first);
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
        appendDate(getOrCreateDateFormat(), *date, text);
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
