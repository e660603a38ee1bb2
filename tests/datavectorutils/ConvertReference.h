#pragma once

// The element conversion rule written out on its own, branch by branch, as
// the reference the conversion tests compare against bit for bit, and the
// helpers the conversion tests share.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/types/ConstVariantRef.h"

namespace zorvtest {

using namespace ZORV_3_13_0_::DataSet;

template <class T>
constexpr DataType::Type codeOf()
{
#define ZORV_CODE_OF(k, E, name) \
    if constexpr (std::is_same_v<T, E>) return static_cast<DataType::Type>(k);
    ZORV_FOR_EACH_NUMERIC_KIND(ZORV_CODE_OF)
#undef ZORV_CODE_OF
    return DataType::kUndefined;
}

template <class T>
DataType typeOf()
{
    return DataType(codeOf<T>(), 0);
}

// The largest value of D written in the source's real type, as the rule
// tabulates it: the 32-bit maxima round up to 2^31 and 2^32 in float32, the
// uint64 maximum to 2^64 in both, the int64 maximum to 2^63 (compared exactly).
template <class D, class S>
double roundingHigh()
{
    if constexpr (std::is_same_v<D, unsigned long long>)
        return 18446744073709551616.0;
    else if constexpr (std::is_same_v<D, long long>)
        return 9223372036854775808.0;
    else if constexpr (std::is_same_v<S, float> && std::is_same_v<D, int>)
        return 2147483648.0;
    else if constexpr (std::is_same_v<S, float> && std::is_same_v<D, unsigned int>)
        return 4294967296.0;
    else
        return static_cast<double>(std::numeric_limits<D>::max());
}

template <class D, class S>
D referenceValue(S x)
{
    constexpr bool realS = std::is_floating_point_v<S>;
    constexpr bool realD = std::is_floating_point_v<D>;
    if constexpr (realS && !realD) {
        double const xd = x;
        double const y = xd < 0 ? xd - 0.5 : xd + 0.5;
        if (std::isnan(y)) return sizeof(D) == 8 ? static_cast<D>(1ull << 63) : D(0);
        if (y >= roundingHigh<D, S>()) return std::numeric_limits<D>::max();
        if (y <= static_cast<double>(std::numeric_limits<D>::lowest())) return std::numeric_limits<D>::lowest();
        return static_cast<D>(y);  // strictly inside D's range: exact after truncation
    } else if constexpr (!realS && !realD) {
        __int128 const v = x;
        __int128 const low = std::numeric_limits<D>::lowest(), high = std::numeric_limits<D>::max();
        return static_cast<D>(v < low ? low : v > high ? high : v);
    } else if constexpr (!realS) {
        if constexpr (std::is_same_v<S, unsigned long long> && std::is_same_v<D, float>)
            return static_cast<float>(static_cast<double>(x));
        else
            return static_cast<D>(x);
    } else {
        double const bound = std::is_same_v<S, float> || std::is_same_v<D, float>
                                 ? static_cast<double>(std::numeric_limits<float>::max())
                                 : std::numeric_limits<double>::max();
        double const v = x;
        if (v < -bound) return static_cast<D>(-bound);
        if (v > bound) return static_cast<D>(bound);
        return static_cast<D>(x);
    }
}

template <class S, class D>
D reference(S x, S srcNoData, D dstNoData)
{
    return x == srcNoData ? dstNoData : referenceValue<D>(x);
}

template <class T>
bool sameBits(T a, T b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
std::string bitsOf(T v)
{
    unsigned char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    static char const hex[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        s += hex[b[i] >> 4];
        s += hex[b[i] & 15];
    }
    return s;
}

// A one-dimensional library vector of T holding `values`.
template <class T>
boost::shared_ptr<DataVectorND<1>> vectorOf(std::vector<T> const& values)
{
    auto v = DataVectorND<1>::create(typeOf<T>(), ZELUNnPoint<unsigned, 1>(static_cast<unsigned>(values.size())));
    if (!values.empty()) std::memcpy(v->getDataPtr(), values.data(), values.size() * sizeof(T));
    return v;
}

template <class T>
std::vector<T> valuesOf(DataVector const& v)
{
    auto const* p = static_cast<T const*>(v.getConstDataPtr());
    return p ? std::vector<T>(p, p + v.size()) : std::vector<T>();
}

// Converts `values` with convertVector on one-dimensional vectors; the
// destination starts with a different length full of a sentinel.
template <class S, class D>
std::vector<D> convertThroughVector(std::vector<S> const& values, S srcNoData, D dstNoData, long* status = nullptr)
{
    auto src = vectorOf(values);
    auto dst = vectorOf(std::vector<D>(values.size() + 3, D(99)));
    long const st = DataVectorUtils::convertVector(*dst, ConstVariantRef(typeOf<D>(), &dstNoData), *src,
                                                   ConstVariantRef(typeOf<S>(), &srcNoData));
    if (status) *status = st;
    return valuesOf<D>(*dst);
}

// Calls f(T()) for each of the ten numeric element types.
template <class F>
void forEachNumericType(F&& f)
{
#define ZORV_EACH_TYPE(k, T, name) f(static_cast<T>(0));
    ZORV_FOR_EACH_NUMERIC_KIND(ZORV_EACH_TYPE)
#undef ZORV_EACH_TYPE
}

}  // namespace zorvtest
