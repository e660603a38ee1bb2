#pragma once

// Library-internal: member definitions of the concrete vector classes.
// Included only by the library's instantiation units; clients see the
// extern declarations.

#include <new>

#include "zorvsupport/datavector/OverlapCopy.h"
#include "zorvsupport/datavector/TDataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

template <class T, int N>
std::uint64_t TDataVector<T, N>::valueCountOf(Index dims) const
{
    std::uint64_t c = dims[0];
    for (int i = 1; i < N; ++i) c = DataVectorImp::saturatingMultiply(c, dims[i]);
    // The element count must itself fit the 32-bit size().
    if (c > 0xFFFFFFFFull) return UINT64_MAX;
    return DataVectorImp::saturatingMultiply(c, this->valuesPerElement());
}

template <class T, int N>
TDataVector<T, N>::TDataVector(T type, Index dims)
    : DataVectorND<N>(dims), Storage(type)
{
    // The storage is sized after the tuple length is known.
    std::uint64_t count = valueCountOf(dims);
    this->replaceValues(count);
}

template <class T, int N>
long TDataVector<T, N>::reserve(unsigned n)
{
    this->reserveValues(DataVectorImp::saturatingMultiply(n, this->valuesPerElement()));
    return kSuccess;
}

template <class T, int N>
unsigned TDataVector<T, N>::capacity() const
{
    unsigned L = this->valuesPerElement();
    return L == 0 ? 0u : this->valueCapacity() / L;
}

template <class T, int N>
long TDataVector<T, N>::swap(DataVector& other)
{
    DataType theirs = other.getDataType();
    if (theirs != getDataType()) return kErrSwapTypeMismatch;
    auto* o = dynamic_cast<TDataVector*>(&other);
    if (!o) return kErrSwapTypeMismatch;
    if (long st = DataVectorND<N>::swap(other)) return st;
    this->swapStorage(*o);
    return kSuccess;
}

template <class T, int N>
long TDataVector<T, N>::resizeLastDimension(unsigned n)
{
    Index dims = this->getDimensions();
    dims[N - 1] = n;
    std::uint64_t count = valueCountOf(dims);
    if (count > Storage::kMaxValues) return kErrOutOfMemory;
    try {
        this->resizeValues(count);
    } catch (std::bad_alloc const&) {
        return kErrOutOfMemory;
    }
    this->setDimension(N - 1, n);
    return kSuccess;
}

template <class T, int N>
long TDataVector<T, N>::resizeDimensions(Index dims, bool preserve)
{
    if (dims == this->getDimensions()) return kSuccess;
    std::uint64_t count = valueCountOf(dims);
    if (count > Storage::kMaxValues) return kErrOutOfMemory;

    if (!preserve) {
        try {
            this->replaceValues(count);
        } catch (std::bad_alloc const&) {
            return kErrOutOfMemory;
        }
    } else if (N == 1 || this->size() == 0) {
        try {
            this->resizeValues(count);
        } catch (std::bad_alloc const&) {
            return kErrOutOfMemory;
        }
    } else {
        // A block of the new shape beside this one, the overlap copied into
        // it, then exchanged for the old block.
        unsigned oldDims[4] = {1, 1, 1, 1}, newDims[4] = {1, 1, 1, 1};
        Index const current = this->getDimensions();
        for (int i = 0; i < N; ++i) {
            oldDims[i] = current[i];
            newDims[i] = dims[i];
        }
        try {
            typename Storage::storage_type fresh(static_cast<std::size_t>(count));
            detail::copyOverlapBytes(reinterpret_cast<unsigned char*>(fresh.data()), newDims,
                                     reinterpret_cast<unsigned char const*>(this->values().data()), oldDims,
                                     sizeof(element_type) * std::size_t(getTupleLength()));
            this->values().swap(fresh);
        } catch (std::bad_alloc const&) {
            return kErrOutOfMemory;
        }
    }
    this->setDimensions(dims);
    return kSuccess;
}

template <class T, int N>
long TDataVector<T, N>::getValueAt(Index index, Variant& value) const
{
    Index const dims = this->getDimensions();
    for (int d = 0; d < N; ++d)
        if (index[d] >= dims[d]) return kErrIndexOutOfRange;
    unsigned p = offsetOf(index);
    if constexpr (kIsTuple) {
        unsigned L = getTupleLength();
        value.set(this->getElementType(), ConstTupleProxy<T>(this->values().data() + std::size_t(p) * L, L));
    } else {
        value.set(T(), this->values().data()[p]);
    }
    return kSuccess;
}

template <class T, int N>
long TDataVector<T, N>::setValueAt(Index index, ConstVariantRef const& value)
{
    Index const dims = this->getDimensions();
    for (int d = 0; d < N; ++d)
        if (index[d] >= dims[d]) return kErrIndexOutOfRange;
    unsigned p = offsetOf(index);
    if constexpr (kIsTuple) {
        unsigned L = getTupleLength();
        element_type const* src = value.getTypedPtr(this->getElementType());
        if (!src) return kErrElementTypeMismatch;
        TupleProxy<T>(this->values().data() + std::size_t(p) * L, L) = ConstTupleProxy<T>(src, L);
    } else {
        element_type const* src = value.template getTypedPtr<T>();
        if (!src) return kErrElementTypeMismatch;
        this->values().data()[p] = *src;
    }
    return kSuccess;
}

template <class T, int N>
VariantRef TDataVector<T, N>::refAt(Index index)
{
    unsigned p = offsetOf(index);
    if constexpr (kIsTuple) {
        unsigned L = getTupleLength();
        return VariantRef(this->getElementType(), TupleProxy<T>(this->values().data() + std::size_t(p) * L, L));
    } else {
        return VariantRef(getDataType(), this->values().data() + p);
    }
}

template <class T, int N>
ConstVariantRef TDataVector<T, N>::constRefAt(Index index) const
{
    unsigned p = offsetOf(index);
    return ConstVariantRef(getDataType(), this->values().data() + std::size_t(p) * getTupleLength());
}

#define ZORV_LEAF_DEFS(Leaf)                                                        \
    template <class T>                                                              \
    boost::shared_ptr<DataVector> Leaf<T>::clone() const                            \
    {                                                                               \
        return boost::shared_ptr<DataVector>(new Leaf(*this));                      \
    }                                                                               \
    template <class T>                                                              \
    boost::shared_ptr<Leaf<T>> Leaf<T>::create(T type, Index dims)                  \
    {                                                                               \
        return boost::shared_ptr<Leaf>(new Leaf(type, dims));                       \
    }
ZORV_LEAF_DEFS(TDataVector1D)
ZORV_LEAF_DEFS(TDataVector2D)
ZORV_LEAF_DEFS(TDataVector3D)
ZORV_LEAF_DEFS(TDataVector4D)
#undef ZORV_LEAF_DEFS

// Code of the element kind named `name` in the kind list; -1 for none.
constexpr int elementKindNamed(char const* name)
{
    char const* const names[] = {
#define ZORV_KIND_NAME(k, T, kindName) kindName,
        ZORV_FOR_EACH_ELEMENT_KIND(ZORV_KIND_NAME)
#undef ZORV_KIND_NAME
    };
    for (std::size_t i = 0; i < kElementKindCount; ++i) {
        char const* a = names[i];
        char const* b = name;
        while (*a && *a == *b) ++a, ++b;
        if (*a == *b) return kElementKindCodes[i];
    }
    return -1;
}

// One instance unit per element kind (instances/Vectors*.cpp), each naming
// its kind: a kind added to the list needs a unit of its own.
static_assert(kElementKindCount == 11, "an instance unit for every element kind");

// Defines the storage and the eight classes of the kind named `name`.
#define ZORV_INSTANTIATE_VECTORS(name)                                              \
    static_assert(elementKindNamed(name) >= 0, "a kind of the element-kind list"); \
    ZORV_VECTOR_CLASSES_OF_KIND(template, elementKindNamed(name))

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
