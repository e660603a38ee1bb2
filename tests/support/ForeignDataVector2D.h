#pragma once

#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/types/VariantRef.h"

namespace zorvtest {

// A two-dimensional vector of a class the library does not know (a
// DataVectorND<2> that is none of the library's leaf classes), over
// caller-owned values, for the operations that take DataVectorND<2>. Its
// data type is set by the test and may change after the first query.
class ForeignDataVector2D : public ZORV_3_13_0_::DataSet::DataVectorND<2> {
public:
    using DataType = ZORV_3_13_0_::DataSet::DataType;

    ForeignDataVector2D(DataType type, unsigned d0, unsigned d1, void* data)
        : DataVectorND<2>(Index(d0, d1)), m_type(type), m_later(type), m_data(data)
    {
    }

    // getDataType answers `later` from its second call on.
    void changeTypeAfterFirstQuery(DataType later) { m_later = later; }

    DataType getDataType() const override { return m_queries++ == 0 ? m_type : m_later; }
    boost::shared_ptr<DataVector> clone() const override { return {}; }
    unsigned getElementsSizeInBytes(unsigned n) const override { return n * m_type.getTypeSize(); }
    void* getDataPtr() override { return m_data; }
    void const* getConstDataPtr() const override { return m_data; }
    long reserve(unsigned) override { return 0; }
    unsigned capacity() const override { return size(); }
    long swap(DataVector&) override { return ZORV_3_13_0_::DataSet::kErrSwapTypeMismatch; }
    long resizeLastDimension(unsigned) override { return ZORV_3_13_0_::DataSet::kErrNotResizeable; }
    long getValue(Index, ZORV_3_13_0_::DataSet::Variant&) const override { return 0; }
    long setValue(Index, ZORV_3_13_0_::DataSet::ConstVariantRef const&) override { return 0; }
    ZORV_3_13_0_::DataSet::VariantRef getRef(Index) override { return {}; }
    ZORV_3_13_0_::DataSet::ConstVariantRef get(Index) const override { return {}; }
    long resizeDimensions(Index, bool) override { return ZORV_3_13_0_::DataSet::kErrNotResizeable; }

private:
    DataType m_type, m_later;
    void* m_data;
    mutable unsigned m_queries = 0;
};

}  // namespace zorvtest
