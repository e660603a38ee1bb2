#pragma once

#include <vector>

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/ConstVariantRef.h"
#include "zorvsupport/types/VariantRef.h"

namespace zorvtest {

// A data vector of a class the library does not know: a direct DataVector
// subclass, none of the library's leaf classes, whose data type, dimension
// count and dimensions, resizeable flag and data pointer (null included) are
// set by the test. It owns a zero-filled block sized for its type and
// dimensions unless a data pointer was set, and records every
// resizeLastDimension call.
class ForeignDataVector : public ZORV_3_13_0_::DataSet::DataVector {
public:
    using DataType = ZORV_3_13_0_::DataSet::DataType;

    explicit ForeignDataVector(DataType type = DataType(DataType::kFloat32, 0),
                               std::vector<unsigned> dims = {2, 2});
    ~ForeignDataVector() override;

    // Settings; each re-sizes the own block (zero-filled) to the new shape.
    void setDataType(DataType type);
    void setDimensions(std::vector<unsigned> dims);
    // Reports `p` as the data pointer from now on (null allowed); the own
    // block stays allocated.
    void setDataPtr(void* p);
    // Status that resizeLastDimension returns (after recording the call and,
    // for 0, adopting the dimension).
    void setResizeStatus(long status) { m_resizeStatus = status; }

    // The n of every resizeLastDimension call, in order.
    std::vector<unsigned> const& resizeCalls() const { return m_resizeCalls; }
    // The own block, whatever the reported data pointer.
    std::vector<unsigned char>& ownBytes() { return m_block; }
    template <class E>
    E* values()
    {
        return reinterpret_cast<E*>(m_block.data());
    }

    boost::shared_ptr<DataVector> clone() const override;
    DataType getDataType() const override { return m_type; }
    unsigned getElementsSizeInBytes(unsigned n) const override { return n * m_type.getTypeSize(); }
    void* getDataPtr() override;
    void const* getConstDataPtr() const override;
    unsigned size() const override;
    long reserve(unsigned) override { return 0; }
    unsigned capacity() const override { return size(); }
    unsigned getNumDimensions() const override { return static_cast<unsigned>(m_dims.size()); }
    unsigned getDimension(int i) const override;
    long swap(DataVector& other) override;
    long resizeLastDimension(unsigned n) override;

private:
    void fitBlock();

    DataType m_type;
    std::vector<unsigned> m_dims;
    std::vector<unsigned char> m_block;
    bool m_pointerSet = false;
    void* m_pointer = nullptr;
    long m_resizeStatus = 0;
    std::vector<unsigned> m_resizeCalls;
};

// A DataVectorND<N> of a class the library does not know (no TDataVector),
// for operations that first cast to the dimension layer: data type and
// dimensions are set by the test, the resizeable flag through
// setResizeable, and every resizeDimensions call is recorded and adopted. It
// holds no values: its data pointer is null.
template <int N>
class ForeignDataVectorND : public ZORV_3_13_0_::DataSet::DataVectorND<N> {
public:
    using DataType = ZORV_3_13_0_::DataSet::DataType;
    using Index = typename ZORV_3_13_0_::DataSet::DataVectorND<N>::Index;
    struct Resize {
        Index dims;
        bool preserve;
    };

    ForeignDataVectorND(DataType type, Index dims) : ZORV_3_13_0_::DataSet::DataVectorND<N>(dims), m_type(type) {}

    void setDataType(DataType type) { m_type = type; }
    void setDimensions(Index dims) { ZORV_3_13_0_::DataSet::DataVectorND<N>::setDimensions(dims); }
    std::vector<Resize> const& resizes() const { return m_resizes; }

    boost::shared_ptr<ZORV_3_13_0_::DataSet::DataVector> clone() const override { return {}; }
    DataType getDataType() const override { return m_type; }
    unsigned getElementsSizeInBytes(unsigned n) const override { return n * m_type.getTypeSize(); }
    void* getDataPtr() override { return nullptr; }
    void const* getConstDataPtr() const override { return nullptr; }
    long reserve(unsigned) override { return 0; }
    unsigned capacity() const override { return 0; }
    long swap(ZORV_3_13_0_::DataSet::DataVector&) override { return ZORV_3_13_0_::DataSet::kErrSwapTypeMismatch; }
    long resizeLastDimension(unsigned) override { return ZORV_3_13_0_::DataSet::kErrNotSupported; }
    long getValue(Index, ZORV_3_13_0_::DataSet::Variant&) const override { return 0; }
    long setValue(Index, ZORV_3_13_0_::DataSet::ConstVariantRef const&) override { return 0; }
    ZORV_3_13_0_::DataSet::VariantRef getRef(Index) override { return {}; }
    ZORV_3_13_0_::DataSet::ConstVariantRef get(Index) const override { return {}; }
    long resizeDimensions(Index dims, bool preserve) override
    {
        m_resizes.push_back({dims, preserve});
        setDimensions(dims);
        return ZORV_3_13_0_::DataSet::kSuccess;
    }

private:
    DataType m_type;
    std::vector<Resize> m_resizes;
};

}  // namespace zorvtest
