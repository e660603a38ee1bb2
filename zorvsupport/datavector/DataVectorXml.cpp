// XML form of data vectors: a "DataVector" element with the header as
// attributes, a "DataType" child and the values under "Values".
#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavector/VectorReading.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/TextForms.h"
#include "zorvsupport/types/ValueElements.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

using detail::valueElementName;

// Writes every stored element (or tuple) of the visited type below "Values".
struct WriteXmlValuesVisitor {
    DataVector const* vector;
    _xmlNode* values;

    template <class E>
    long writeElement(E const& value, _xmlNode& element) const
    {
        return setXMLAttribute<E>(element, valueElementName(), value);
    }

    template <class E>
    long writeTuple(E const* first, unsigned length, _xmlNode& tuple) const
    {
        for (unsigned i = 0; i < length; ++i) {
            _xmlNode* child = ZELUNXMLDocument::addChild(tuple, valueElementName(), nullptr, true);
            if (!child) return kErrVectorXmlWriteFailed;
            if (long st = writeElement(first[i], *child)) return st;
        }
        return kSuccess;
    }

    template <class T>
    long accept(T const&) const
    {
        using E = typename T::element_type;
        auto const& storage = dynamic_cast<DataVectorImp::TDataVector<T> const&>(*vector);
        E const* p = storage.getDataPtr();
        unsigned L = storage.valuesPerElement();
        std::size_t n = storage.valueCount();
        for (std::size_t i = 0; i < n; i += (IsTupleTag<T>::value ? L : 1)) {
            _xmlNode* child = ZELUNXMLDocument::addChild(*values, valueElementName(), nullptr, true);
            if (!child) return kErrVectorXmlWriteFailed;
            long st = IsTupleTag<T>::value ? writeTuple(p + i, L, *child) : writeElement(p[i], *child);
            if (st) return st;
        }
        return kSuccess;
    }
};

// Reads the "value" children of "Values" into the stored elements in order.
struct ReadXmlValuesVisitor {
    DataVector* vector;
    _xmlNode const* values;

    template <class E>
    long readElement(E& value, _xmlNode const& element) const
    {
        return getXMLAttribute<E>(element, valueElementName(), value);
    }

    template <class E>
    long readTuple(E* first, unsigned length, _xmlNode const& tuple) const
    {
        _xmlNode* c = ZELUNXMLDocument::getFirstChild(tuple, valueElementName());
        if (!c) return kErrNoTupleValueElement;
        unsigned i = 0;
        for (; c; c = ZELUNXMLDocument::getNextSibling(*c, valueElementName()), ++i) {
            if (i >= length) return kErrValueCountMismatch;
            if (long st = readElement(first[i], *c)) return st;
        }
        return i == length ? kSuccess : kErrValueCountMismatch;
    }

    template <class T>
    long accept(T const&) const
    {
        using E = typename T::element_type;
        auto& storage = dynamic_cast<DataVectorImp::TDataVector<T>&>(*vector);
        E* p = static_cast<E*>(vector->getDataPtr());
        unsigned L = storage.valuesPerElement();
        std::size_t step = IsTupleTag<T>::value ? L : 1;
        std::size_t n = storage.valueCount();
        std::size_t i = 0;
        // A "DataVector" element without "Values" has no values to give.
        if (!values) return kErrValueCountMismatch;
        for (_xmlNode* c = ZELUNXMLDocument::getFirstChild(*values, valueElementName()); c;
             c = ZELUNXMLDocument::getNextSibling(*c, valueElementName()), i += step) {
            if (i >= n || step == 0) return kErrValueCountMismatch;
            long st = IsTupleTag<T>::value ? readTuple(p + i, L, *c) : readElement(p[i], *c);
            if (st) return st;
        }
        return i >= n ? kSuccess : kErrValueCountMismatch;
    }
};

// Elements (tuples count once) a header declares, in 64 bits (saturating).
unsigned long long declaredElements(DataVectorHeader const& header)
{
    unsigned L = header.m_type.getLength();
    return L ? header.declaredValueCount() / L : 0;
}

// The document must hold at least one "value" per declared element before
// anything is allocated for them.
long checkValueCount(DataVectorHeader const& header, _xmlNode const* values)
{
    unsigned long long declared = declaredElements(header);
    return declared > detail::countValueChildren(values, declared) ? kErrValueCountMismatch : kSuccess;
}

// The "DataVector" element below `node` and its header.
_xmlNode* readHeader(_xmlNode const& node, DataVectorHeader& header, long& status)
{
    _xmlNode* element = ZELUNXMLDocument::getFirstChild(node, "DataVector");
    status = element ? header.readFromXML(*element) : kErrNoDataVectorElement;
    return element;
}

_xmlNode* valuesOf(_xmlNode* element)
{
    return ZELUNXMLDocument::getFirstChild(*element, "Values");
}

}  // namespace

long DataVector::writeToXML(_xmlNode& node) const
{
    _xmlNode* element = ZELUNXMLDocument::addChild(node, "DataVector", nullptr, true);
    if (!element) return kErrVectorXmlWriteFailed;
    if (long st = DataVectorHeader(*this).writeToXML(*element)) return st;
    _xmlNode* values = ZELUNXMLDocument::addChild(*element, "Values", nullptr, true);
    if (!values) return kErrVectorXmlWriteFailed;
    return getDataType().applyVisitor(WriteXmlValuesVisitor{this, values});
}

long DataVector::readFromXML(_xmlNode const& node)
{
    DataVectorHeader header;
    long status = kSuccess;
    _xmlNode* element = readHeader(node, header, status);
    if (status) return status;
    _xmlNode* values = valuesOf(element);
    if (long st = detail::adoptHeader(*this, header, [&] { return checkValueCount(header, values); })) return st;
    return getDataType().applyVisitor(ReadXmlValuesVisitor{this, values});
}

boost::shared_ptr<DataVector> DataVector::create(_xmlNode const& node, long& status)
{
    boost::shared_ptr<DataVector> none;
    DataVectorHeader header;
    _xmlNode* element = readHeader(node, header, status);
    if (status) return none;
    _xmlNode* values = valuesOf(element);
    boost::shared_ptr<DataVector> v =
        detail::createFromHeader(header, status, [&] { return checkValueCount(header, values); });
    if (!v) return none;
    if ((status = v->getDataType().applyVisitor(ReadXmlValuesVisitor{v.get(), values}))) return none;
    return v;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
