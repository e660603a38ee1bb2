#include "zorvsupport/datavectorutils/ConvertElements.h"

#include <boost/preprocessor/seq/elem.hpp>
#include <boost/preprocessor/seq/for_each_product.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavectorutils/ConvertRule.h"
#include "zorvsupport/types/DataType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

// No __restrict: `out` may be `first`. Each element is read before the
// element at the same position is written, which is all in-place needs.
template <class S, class D>
long convertElements(S const* first, S const* last, D* out, S srcNoData, D dstNoData)
{
    std::size_t const n = static_cast<std::size_t>(last - first);
    std::size_t i = 0;
    if constexpr (ConvertDetail::HasVectorKernel<S, D>::value)
        if (n) i = ConvertDetail::convertBody(first, n, out, srcNoData, dstNoData);
    for (; i < n; ++i) out[i] = ConvertDetail::convertElement(first[i], srcNoData, dstNoData);
    return kSuccess;
}

// The 100 pairs: the product of the numeric kind list with itself.
#define ZORV_NUMERIC_SEQ_ELEMENT(k, T, name) (T)
#define ZORV_INSTANTIATE_LOOP(S, D) template ZORV_EXPORT long convertElements<S, D>(S const*, S const*, D*, S, D);
#define ZORV_INSTANTIATE_PAIR(r, pair) ZORV_INSTANTIATE_LOOP(BOOST_PP_SEQ_ELEM(0, pair), BOOST_PP_SEQ_ELEM(1, pair))
BOOST_PP_SEQ_FOR_EACH_PRODUCT(ZORV_INSTANTIATE_PAIR, (ZORV_FOR_EACH_NUMERIC_KIND(ZORV_NUMERIC_SEQ_ELEMENT))(
                                                         ZORV_FOR_EACH_NUMERIC_KIND(ZORV_NUMERIC_SEQ_ELEMENT)))
#undef ZORV_INSTANTIATE_LOOP
#undef ZORV_INSTANTIATE_PAIR
#undef ZORV_NUMERIC_SEQ_ELEMENT

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
