// Range and subsection fill: one element's bytes repeated over runs of
// storage. Large fills go out with non-temporal stores, dispatched at run
// time to the best SIMD target.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/Fill.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Writes `bytes` bytes at dst, byte i being pattern[i mod period], with
// non-temporal stores on aligned whole vectors. `pattern` holds at least
// period + 256 valid bytes of the repetition (a vector of any target).
void streamRepeat(unsigned char* dst, std::size_t bytes, unsigned char const* pattern, std::size_t period)
{
    static_assert(HWY_MAX_BYTES <= 256, "the pattern block is padded for 256-byte vectors");
    hn::ScalableTag<std::uint8_t> const d;
    std::size_t const n = hn::Lanes(d);
    std::size_t head = (n - reinterpret_cast<std::uintptr_t>(dst) % n) % n;
    if (head > bytes) head = bytes;
    std::memcpy(dst, pattern, head);
    std::size_t i = head, o = head;
    for (; i + n <= bytes; i += n) {
        hn::Stream(hn::LoadU(d, pattern + o), d, dst + i);
        o += n;
        if (o >= period) o -= period;
    }
    std::memcpy(dst + i, pattern + o, bytes - i);
    hwy::FlushStream();
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <algorithm>
#include <cstdint>

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(streamRepeat);
}  // namespace simd

namespace DataVectorUtils {
namespace {

// Fills runs of elements of `width` bytes with one element's bytes. Built
// once per call: the value's bytes repeated over a cache-resident pattern
// block that every run copies from.
class RunFiller {
public:
    // Fills larger than this in one call bypass the cache, when their runs
    // are long enough for non-temporal stores to pay: a short run leaves
    // partly written lines at both ends and pays the stream's fixed cost.
    static constexpr std::size_t kStreamBytes = std::size_t(8) << 20;
    static constexpr std::size_t kStreamRunBytes = 4096;

    // `totalBytes` in runs of `runBytes` each.
    RunFiller(void const* value, std::size_t width, std::size_t totalBytes, std::size_t runBytes)
        : m_value(static_cast<unsigned char const*>(value)), m_width(width)
    {
        bool const stream = totalBytes >= kStreamBytes && runBytes >= kStreamRunBytes;
        bool uniform = true;
        for (std::size_t i = 1; i < width && uniform; ++i) uniform = m_value[i] == m_value[0];
        if (uniform) {
            m_mode = kMemset;
        } else if (width > kChunk / 2) {
            m_mode = kPerElement;
        } else if (!stream && width <= 8 && (width & (width - 1)) == 0) {
            m_mode = kScalar;
        } else {
            // The period is a whole number of elements; streaming reads up to
            // one vector beyond it. One element, then doubling copies.
            m_mode = stream ? kStream : kChunks;
            m_period = kChunk / width * width;
            std::size_t const used = m_mode == kStream ? sizeof m_pattern : std::min(m_period, totalBytes);
            std::memcpy(m_pattern, m_value, width);
            for (std::size_t done = width; done < used; done *= 2)
                std::memcpy(m_pattern + done, m_pattern, std::min(done, used - done));
        }
    }

    // Writes `count` elements from dst on.
    void operator()(unsigned char* dst, std::size_t count) const
    {
        std::size_t const bytes = count * m_width;
        if (bytes == 0) return;
        switch (m_mode) {
        case kMemset: std::memset(dst, m_value[0], bytes); break;
        case kScalar:
            switch (m_width) {
            case 2: fillScalar<std::uint16_t>(dst, count); break;
            case 4: fillScalar<std::uint32_t>(dst, count); break;
            default: fillScalar<std::uint64_t>(dst, count); break;
            }
            break;
        case kChunks:
            for (std::size_t i = 0; i < bytes; i += m_period) std::memcpy(dst + i, m_pattern, std::min(m_period, bytes - i));
            break;
        case kStream: HWY_DYNAMIC_DISPATCH(simd::streamRepeat)(dst, bytes, m_pattern, m_period); break;
        case kPerElement:
            for (std::size_t i = 0; i < bytes; i += m_width) std::memcpy(dst + i, m_value, m_width);
            break;
        }
    }

private:
    static constexpr std::size_t kChunk = 4096;
    enum Mode { kMemset, kScalar, kChunks, kStream, kPerElement };

    // The value as one unsigned word, so that float bits (NaN included)
    // travel unchanged and the stores cannot alias the value; the word type
    // may alias the stored element type.
    template <class U>
    void fillScalar(unsigned char* dst, std::size_t count) const
    {
        typedef U __attribute__((__may_alias__)) Word;
        Word word;
        std::memcpy(&word, m_value, sizeof word);
        std::fill_n(reinterpret_cast<Word*>(dst), count, word);
    }

    unsigned char const* m_value;
    std::size_t m_width;
    std::size_t m_period = 0;
    Mode m_mode = kMemset;
    // Room for the widest vector of any target beyond the period.
    unsigned char m_pattern[kChunk + 256];
};

// The bytes of one stored element of the vector's storage: the value, or
// for a tuple storage whose length differs from the value's, the value
// assigned by the tuple rule into a slot of the storage's length.
template <class T>
struct ElementBytes {
    using E = typename T::element_type;
    static constexpr bool kTuple = IsTupleTag<T>::value;

    ElementBytes(DataVectorImp::TDataVector<T> const& storage, T const& tag, E const* value)
        : slots(storage.valuesPerElement()), width(sizeof(E) * slots), data(value)
    {
        if constexpr (kTuple) {
            if (slots != tag.getLength()) {
                own.set(T(unsigned(slots)), ConstTupleProxy<T>(value, tag.getLength()));
                data = own.getPtr();
            }
        } else {
            (void)tag;
        }
    }

    std::size_t slots, width;
    void const* data;
    Variant own;
};

struct FillVisitor {
    DataVector* vector;
    unsigned first, last;
    Variant value;

    template <class T>
    long accept(T const& tag) const
    {
        auto const* v = value.getTypedPtr(tag);
        if (!v) return kErrValueTypeMismatch;
        auto& storage = dynamic_cast<DataVectorImp::TDataVector<T>&>(*vector);
        ElementBytes<T> const element(storage, tag, v);
        std::size_t const count = std::size_t(last) - first;
        auto* dst = reinterpret_cast<unsigned char*>(storage.getDataPtr());
        if (count == 0 || !dst) return kSuccess;
        std::size_t const bytes = count * element.width;
        RunFiller(element.data, element.width, bytes, bytes)(dst + first * element.width, count);
        return kSuccess;
    }
};

struct FillSubsectionVisitor {
    DataVectorND<2>* vector;
    unsigned x, y, w, h;
    Variant value;

    template <class T>
    long accept(T const& tag) const
    {
        auto const* v = value.getTypedPtr(tag);
        if (!v) return kErrValueTypeMismatch;
        auto& target = dynamic_cast<TDataVector2D<T>&>(*vector);
        ElementBytes<T> const element(target, tag, v);
        auto* data = static_cast<unsigned char*>(target.getDataPtr());
        if (w == 0 || h == 0 || !data) return kSuccess;
        std::size_t const d0 = target.getDimension(0);
        fillBlock(data + (std::size_t(y) * d0 + x) * element.width, d0 * element.width, w, h, element);
        return kSuccess;
    }

    // h rows of w elements, `stride` bytes apart; whole rows are one run.
    template <class T>
    static void fillBlock(unsigned char* dst, std::size_t stride, std::size_t w, std::size_t h,
                          ElementBytes<T> const& element)
    {
        std::size_t const rowBytes = w * element.width, total = rowBytes * h;
        if (rowBytes == stride) return RunFiller(element.data, element.width, total, total)(dst, w * h);
        RunFiller const filler(element.data, element.width, total, rowBytes);
        for (std::size_t r = 0; r < h; ++r) filler(dst + r * stride, w);
    }
};

}  // namespace

long fill(DataVector& vector, unsigned first, unsigned last, Variant const& value)
{
    DataType const type = vector.getDataType();
    if (value.getDataType() != type) return kErrValueTypeMismatch;
    if (last > vector.size()) return kErrFillOutOfRange;
    if (first > last) return kSuccess;
    return type.applyVisitor(FillVisitor{&vector, first, last, value});
}

long fillSubsection(DataVectorND<2>& vector, ZELUNnPoint<unsigned, 2> origin, ZELUNnPoint<unsigned, 2> size,
                    Variant const& value)
{
    DataType const type = vector.getDataType();
    if (value.getDataType() != type) return kErrValueTypeMismatch;
    if (std::uint64_t(origin[0]) + size[0] > vector.getDimension(0)) return kErrFillOutOfRange;
    if (std::uint64_t(origin[1]) + size[1] > vector.getDimension(1)) return kErrFillOutOfRange;
    return type.applyVisitor(FillSubsectionVisitor{&vector, origin[0], origin[1], size[0], size[1], value});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
