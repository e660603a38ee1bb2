#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "zorvsupport/types/DataType.h"

namespace zorvtest {

namespace detail {
template <class... T>
struct TypeList {};
template <class... A, class... B>
TypeList<A..., B...> operator+(TypeList<A...>, TypeList<B...>);
template <class L>
struct GTestTypes;
template <class... T>
struct GTestTypes<TypeList<T...>> {
    using type = ::testing::Types<T...>;
};
}  // namespace detail

// The 22 element types as a typed-test list: the scalar tag and the tuple
// tag of every element kind, from the library's kind list.
#define ZORV_TEST_TAGS(k, T, name)                                                               \
    +detail::TypeList<ZORV_3_13_0_::DataSet::TDataType<k>,                                     \
                      ZORV_3_13_0_::DataSet::TTupleDataType<ZORV_3_13_0_::DataSet::TDataType<k>>>()
using ElementTags = detail::GTestTypes<decltype(detail::TypeList<>() ZORV_FOR_EACH_ELEMENT_KIND(ZORV_TEST_TAGS))>::type;
#undef ZORV_TEST_TAGS

// The value types of the eleven element kinds, as a typed-test list.
#define ZORV_TEST_VALUES(k, T, name) +detail::TypeList<T>()
using ElementValueTypes =
    detail::GTestTypes<decltype(detail::TypeList<>() ZORV_FOR_EACH_ELEMENT_KIND(ZORV_TEST_VALUES))>::type;
#undef ZORV_TEST_VALUES

// The 22 element types as data types: every kind as a scalar and as a tuple
// of `tupleLength` values.
inline std::vector<ZORV_3_13_0_::DataSet::DataType> allElementTypes(unsigned tupleLength = 3)
{
    using ZORV_3_13_0_::DataSet::DataType;
    std::vector<DataType> out;
    for (int k : ZORV_3_13_0_::DataSet::kElementKindCodes) {
        out.emplace_back(static_cast<DataType::Type>(k), 0);
        out.emplace_back(static_cast<DataType::Type>(k), tupleLength);
    }
    return out;
}

}  // namespace zorvtest
