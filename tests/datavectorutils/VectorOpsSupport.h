#pragma once

// Shared by the tests of the bulk vector operations: element kinds of every
// width, and vectors and values filled with recognisable bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/ForeignDataVector.h"
#include "support/ForeignDataVector2D.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"

namespace vectorops {

using namespace ZORV_3_13_0_::DataSet;
using P2 = ZELUNnPoint<unsigned, 2>;
using zorvtest::Bytes;
using zorvtest::ForeignDataVector;
using ForeignVector = zorvtest::ForeignDataVector2D;

// One element width each: 1, 2, 4 and 8 bytes, the 3-vector, a tuple.
inline std::vector<DataType> const& widthKinds()
{
    static std::vector<DataType> const kinds = {
        DataType(DataType::kUInt8),   DataType(DataType::kInt16),  DataType(DataType::kFloat32),
        DataType(DataType::kFloat64), DataType(DataType::kVec3), DataType(DataType::kUInt16, 3)};
    return kinds;
}

inline std::string nameOf(DataType t)
{
    return std::to_string(int(t.getType())) + "x" + std::to_string(t.getTupleLength());
}

// Bytes of one element.
inline std::size_t widthOf(DataType t)
{
    return std::size_t(elementSizeOf(t.getType())) * t.getLength();
}

inline Bytes bytesOf(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return p ? Bytes(p, p + v.getSizeInBytes()) : Bytes();
}

// Gives every byte of the vector a value that depends on its position and
// `seed`, so that moved or repeated elements show.
inline void markBytes(DataVector& v, unsigned seed)
{
    auto* p = static_cast<unsigned char*>(v.getDataPtr());
    for (std::size_t i = 0, n = v.getSizeInBytes(); i < n; ++i) p[i] = static_cast<unsigned char>(seed + i * 7 + i / 251);
}

inline boost::shared_ptr<DataVectorND<2>> marked2D(DataType t, unsigned d0, unsigned d1, unsigned seed)
{
    auto v = DataVectorND<2>::create(t, P2(d0, d1));
    markBytes(*v, seed);
    return v;
}

// A value of type t whose bytes are b, b + 1, ... (b a multiple of 4 keeps
// float and double values away from NaN patterns, which tests compare
// bytewise anyway).
inline Variant valueOf(DataType t, unsigned char b)
{
    Variant v(t);
    auto* p = static_cast<unsigned char*>(const_cast<void*>(v.getPtr()));
    for (std::size_t i = 0; i < widthOf(t); ++i) p[i] = static_cast<unsigned char>(b + i);
    return v;
}

// `before` with elements [first, last) of width w replaced by `value`.
inline Bytes withRun(Bytes before, std::size_t first, std::size_t last, Variant const& value, std::size_t w)
{
    auto const* v = static_cast<unsigned char const*>(value.getPtr());
    for (std::size_t e = first; e < last; ++e) std::memcpy(before.data() + e * w, v, w);
    return before;
}

// Bit patterns of values of up to 8 bytes, so that NaN and the sign of zero
// compare exactly.
template <class E>
std::vector<std::uint64_t> bitsOf(std::vector<E> const& values)
{
    std::vector<std::uint64_t> bits;
    for (E const& e : values) {
        std::uint64_t b = 0;
        std::memcpy(&b, &e, sizeof(E) < 8 ? sizeof(E) : 8);
        bits.push_back(b);
    }
    return bits;
}

}  // namespace vectorops
