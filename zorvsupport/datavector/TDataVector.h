#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/datavector/DataVectorImp.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/ConstVariantRef.h"
#include "zorvsupport/types/Variant.h"
#include "zorvsupport/types/VariantRef.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A vector of element type T (a TDataType<k> or TTupleDataType<TDataType<k>>
// tag) and N dimensions: the dimension layer joined with the typed storage.
// The leaves TDataVector1D..4D complete it with cloning and element access.
template <class T, int N>
class ZORV_EXPORT TDataVector : public DataVectorND<N>, public DataVectorImp::TDataVector<T> {
public:
    using Storage = DataVectorImp::TDataVector<T>;
    using element_type = typename Storage::element_type;
    using Index = typename DataVectorND<N>::Index;
    static constexpr bool kIsTuple = IsTupleTag<T>::value;

    DataType getDataType() const override { return this->getElementType().getDataType(); }
    unsigned getElementsSizeInBytes(unsigned n) const override
    {
        return n * this->getElementType().getSizeInBytes();
    }
    void* getDataPtr() override { return Storage::getDataPtr(); }
    void const* getConstDataPtr() const override { return Storage::getDataPtr(); }
    long reserve(unsigned n) override;
    unsigned capacity() const override;
    long swap(DataVector& other) override;
    long resizeLastDimension(unsigned n) override;
    long resizeDimensions(Index dims, bool preserve) override;

    // Values per element: the tuple length, or 1 for scalars.
    unsigned getTupleLength() const { return this->valuesPerElement(); }
    // Library-internal, for operations that rebuild the values: sets the
    // dimensions to `dims` and, when `block` is given, exchanges the stored
    // values with it. The values must fit the new dimensions.
    void reshape(Index dims, typename Storage::storage_type* block = nullptr) noexcept
    {
        if (block) this->values().swap(*block);
        this->setDimensions(dims);
    }
    // Linear element offset of an index, first index fastest (unchecked).
    unsigned offsetOf(Index index) const
    {
        Index const dims = this->getDimensions();  // no virtual call per element
        unsigned p = index[N - 1];
        for (int d = N - 2; d >= 0; --d) p = index[d] + dims[d] * p;
        return p;
    }

protected:
    TDataVector(T type, Index dims);
    TDataVector(TDataVector const& other) = default;
    ~TDataVector() override = default;

    // The element access shared by the four leaves.
    long getValueAt(Index index, Variant& value) const;
    long setValueAt(Index index, ConstVariantRef const& value);
    VariantRef refAt(Index index);
    ConstVariantRef constRefAt(Index index) const;

    // Value count of `dims` in 64 bits (saturating); never wraps.
    std::uint64_t valueCountOf(Index dims) const;
};

// Declares what every leaf has: constructors, clone, the four element
// access operations and the creator.
#define ZORV_DATAVECTOR_LEAF_BODY(Leaf, N)                                                     \
public:                                                                                        \
    using Base = TDataVector<T, N>;                                                            \
    using typename Base::Index;                                                                \
    using typename Base::element_type;                                                         \
    Leaf(T type, Index dims) : Base(type, dims) {}                                             \
    Leaf(Leaf const& other) = default;                                                         \
    ~Leaf() override = default;                                                                \
    boost::shared_ptr<DataVector> clone() const override;                                      \
    long getValue(Index index, Variant& value) const override { return this->getValueAt(index, value); } \
    long setValue(Index index, ConstVariantRef const& value) override { return this->setValueAt(index, value); } \
    VariantRef getRef(Index index) override { return this->refAt(index); }                     \
    ConstVariantRef get(Index index) const override { return this->constRefAt(index); }        \
    static boost::shared_ptr<Leaf> create(T type, Index dims);                                 \
    /* Tuple view of the element at an index (tuple classes only; unchecked). */             \
    template <class... I, class U = T, class = std::enable_if_t<IsTupleTag<U>::value && sizeof...(I) == N>> \
    ConstTupleProxy<U> tuple(I... i) const                                                     \
    {                                                                                          \
        unsigned L = this->getTupleLength();                                                   \
        return ConstTupleProxy<U>(this->values().data() + this->offsetOf(Index(i...)) * L, L); \
    }                                                                                          \
    template <class... I, class U = T, class = std::enable_if_t<IsTupleTag<U>::value && sizeof...(I) == N>> \
    TupleProxy<U> tuple(I... i)                                                                \
    {                                                                                          \
        unsigned L = this->getTupleLength();                                                   \
        return TupleProxy<U>(this->values().data() + this->offsetOf(Index(i...)) * L, L);      \
    }                                                                                          \
    /* Reference to the value of a scalar element at an index (unchecked). */                 \
    template <class... I, class U = T, class = std::enable_if_t<!IsTupleTag<U>::value && sizeof...(I) == N>> \
    element_type const& element(I... i) const                                                  \
    {                                                                                          \
        return this->values().data()[this->offsetOf(Index(i...))];                             \
    }                                                                                          \
    template <class... I, class U = T, class = std::enable_if_t<!IsTupleTag<U>::value && sizeof...(I) == N>> \
    element_type& element(I... i)                                                              \
    {                                                                                          \
        return this->values().data()[this->offsetOf(Index(i...))];                             \
    }                                                                                          \
                                                                                               \
private:

template <class T>
class ZORV_EXPORT TDataVector1D : public TDataVector<T, 1> {
    ZORV_DATAVECTOR_LEAF_BODY(TDataVector1D, 1)
};

template <class T>
class ZORV_EXPORT TDataVector2D : public TDataVector<T, 2> {
    ZORV_DATAVECTOR_LEAF_BODY(TDataVector2D, 2)

public:
    // Tuple iterators from an index on, in storage order (tuple classes only).
    template <class U = T, class = std::enable_if_t<IsTupleTag<U>::value>>
    ConstTupleIterator<U> tupleIterator(unsigned i, unsigned j) const
    {
        unsigned L = this->getTupleLength();
        return ConstTupleIterator<U>(L, this->values().data() + this->offsetOf(Index(i, j)) * L);
    }
    template <class U = T, class = std::enable_if_t<IsTupleTag<U>::value>>
    TupleIterator<U> tupleIterator(unsigned i, unsigned j)
    {
        unsigned L = this->getTupleLength();
        return TupleIterator<U>(L, this->values().data() + this->offsetOf(Index(i, j)) * L);
    }
};

template <class T>
class ZORV_EXPORT TDataVector3D : public TDataVector<T, 3> {
    ZORV_DATAVECTOR_LEAF_BODY(TDataVector3D, 3)
};

template <class T>
class ZORV_EXPORT TDataVector4D : public TDataVector<T, 4> {
    ZORV_DATAVECTOR_LEAF_BODY(TDataVector4D, 4)
};

#undef ZORV_DATAVECTOR_LEAF_BODY

// The leaf class of element type T and N dimensions: TDataVectorLeaf<T, 2>
// is TDataVector2D<T>.
template <class T, int N>
struct TDataVectorLeafOf;
template <class T>
struct TDataVectorLeafOf<T, 1> {
    using type = TDataVector1D<T>;
};
template <class T>
struct TDataVectorLeafOf<T, 2> {
    using type = TDataVector2D<T>;
};
template <class T>
struct TDataVectorLeafOf<T, 3> {
    using type = TDataVector3D<T>;
};
template <class T>
struct TDataVectorLeafOf<T, 4> {
    using type = TDataVector4D<T>;
};
template <class T, int N>
using TDataVectorLeaf = typename TDataVectorLeafOf<T, N>::type;

// The eight vector classes and the storage of one element tag (a scalar or a
// tuple tag), declared or defined by `how` (`extern template` here, `template`
// in the library's instance units).
#define ZORV_VECTOR_CLASSES_OF_TAG(how, Tag)          \
    how class DataVectorImp::TDataVector<Tag>;        \
    how class TDataVector<Tag, 1>;                    \
    how class TDataVector<Tag, 2>;                    \
    how class TDataVector<Tag, 3>;                    \
    how class TDataVector<Tag, 4>;                    \
    how class TDataVector1D<Tag>;                     \
    how class TDataVector2D<Tag>;                     \
    how class TDataVector3D<Tag>;                     \
    how class TDataVector4D<Tag>;
#define ZORV_VECTOR_CLASSES_OF_KIND(how, k)           \
    ZORV_VECTOR_CLASSES_OF_TAG(how, TDataType<k>)     \
    ZORV_VECTOR_CLASSES_OF_TAG(how, TTupleDataType<TDataType<k>>)

// The 88 classes are instantiated once, inside the library.
#define ZORV_EXTERN_VECTORS(k, E, name) ZORV_VECTOR_CLASSES_OF_KIND(extern template, k)
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_EXTERN_VECTORS)
#undef ZORV_EXTERN_VECTORS

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
