#pragma once

// Library-internal: the one switch over the dimension counts 1..4.

#include <type_traits>
#include <utility>

namespace ZORV_3_13_0_ {
namespace DataSet {

// Calls visitor.template operator()<N>() for a dimension count n in 1..4 and
// returns its result; any other count gives a value-initialised result,
// which each caller maps to its own rule.
template <class Visitor>
auto visitByDimension(unsigned n, Visitor&& visitor)
    -> decltype(std::forward<Visitor>(visitor).template operator()<1>())
{
    using Result = decltype(std::forward<Visitor>(visitor).template operator()<1>());
    switch (n) {
    case 1: return std::forward<Visitor>(visitor).template operator()<1>();
    case 2: return std::forward<Visitor>(visitor).template operator()<2>();
    case 3: return std::forward<Visitor>(visitor).template operator()<3>();
    case 4: return std::forward<Visitor>(visitor).template operator()<4>();
    default:
        if constexpr (std::is_void_v<Result>)
            return;
        else
            return Result{};
    }
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
