// Block comparisons: a box against one value, and a box against an equally
// sized box. Both stop at the first element that differs.

#include <cstddef>
#include <cstring>

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/ElementScan.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {
namespace {

using Box = ZELUNnBox<unsigned, 2>;

// Extent of a box on an axis; an axis whose hi is not above its lo is empty.
unsigned extentOf(Box const& box, int axis)
{
    return box.high[axis] > box.low[axis] ? box.high[axis] - box.low[axis] : 0u;
}

struct SubsectionEqualValueVisitor {
    DataVectorND<2> const* vector;
    Box const* box;
    Variant const* value;
    long* err;

    template <class T>
    bool accept(T const& tag) const
    {
        using E = typename T::element_type;
        E const* v = value->getTypedPtr(tag);
        if (!v) {
            *err = kErrValueTypeMismatch;
            return false;
        }
        auto const& vec = dynamic_cast<TDataVector2D<T> const&>(*vector);
        std::size_t const w = extentOf(*box, 0), h = extentOf(*box, 1);
        if (w == 0 || h == 0) return true;
        std::size_t const L = tag.getLength(), stride = std::size_t(vec.getDimension(0)) * L;
        E const* row = static_cast<E const*>(vec.getConstDataPtr()) + box->low[1] * stride + box->low[0] * L;
        for (std::size_t r = 0; r < h; ++r, row += stride)
            if (scanElements(row, w, L, v, false) != w) return false;
        return true;
    }
};

// Whether the n elements of L components at a equal those at b.
template <class E>
bool runsEqual(E const* a, E const* b, std::size_t n, std::size_t L)
{
    std::size_t const count = n * L;
    if constexpr (kBitwiseEqual<E>) {
        return std::memcmp(a, b, count * sizeof(E)) == 0;
    } else {
        // Blocks of 32 values without an early exit inside vectorise; the
        // first block holding a difference ends the comparison.
        std::size_t i = 0;
        for (; i + 32 <= count; i += 32) {
            bool same = true;
            for (std::size_t k = 0; k < 32; ++k) same &= a[i + k] == b[i + k];
            if (!same) return false;
        }
        return componentsEqual(a + i, b + i, count - i);
    }
}

struct SubsectionEqualBoxVisitor {
    DataVectorND<2> const* a;
    Box const* boxA;
    DataVectorND<2> const* b;
    Box const* boxB;
    long* err;

    template <class T>
    bool accept(T const& tag) const
    {
        using E = typename T::element_type;
        auto const& va = dynamic_cast<TDataVector2D<T> const&>(*a);
        auto const& vb = dynamic_cast<TDataVector2D<T> const&>(*b);
        std::size_t const w = extentOf(*boxA, 0), h = extentOf(*boxA, 1);
        if (w == 0 || h == 0) return true;
        std::size_t const L = tag.getLength();
        std::size_t const strideA = std::size_t(va.getDimension(0)) * L, strideB = std::size_t(vb.getDimension(0)) * L;
        E const* rowA = static_cast<E const*>(va.getConstDataPtr()) + boxA->low[1] * strideA + boxA->low[0] * L;
        E const* rowB = static_cast<E const*>(vb.getConstDataPtr()) + boxB->low[1] * strideB + boxB->low[0] * L;
        for (std::size_t r = 0; r < h; ++r, rowA += strideA, rowB += strideB)
            if (!runsEqual(rowA, rowB, w, L)) return false;
        return true;
    }
};

}  // namespace

bool subsectionEqual(DataVectorND<2> const& vector, ZELUNnBox<unsigned, 2> const& box, Variant const& value,
                     long& err)
{
    err = kSuccess;
    DataType const type = vector.getDataType();
    if (type != value.getDataType()) {
        err = kErrValueTypeMismatch;
        return false;
    }
    for (int axis = 0; axis < 2; ++axis) {
        unsigned const dim = vector.getDimension(axis);
        if (box.high[axis] > dim || box.low[axis] >= dim) {
            err = kErrBoxOutOfRange;
            return false;
        }
    }
    return type.applyVisitor(SubsectionEqualValueVisitor{&vector, &box, &value, &err});
}

bool subsectionEqual(DataVectorND<2> const& a, ZELUNnBox<unsigned, 2> const& boxA, DataVectorND<2> const& b,
                     ZELUNnBox<unsigned, 2> const& boxB, long& err)
{
    DataType const type = a.getDataType();
    if (type != b.getDataType()) {
        err = kErrDataTypesDiffer;
        return false;
    }
    if (extentOf(boxA, 0) != extentOf(boxB, 0) || extentOf(boxA, 1) != extentOf(boxB, 1)) {
        err = kErrSubsectionsDiffer;
        return false;
    }
    if (boxA.high[0] > a.getDimension(0) || boxA.high[1] > a.getDimension(1) || boxB.high[0] > b.getDimension(0) ||
        boxB.high[1] > b.getDimension(1)) {
        err = kErrSubsectionsDiffer;
        return false;
    }
    return type.applyVisitor(SubsectionEqualBoxVisitor{&a, &boxA, &b, &boxB, &err});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
