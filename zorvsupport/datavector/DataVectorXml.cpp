// XML form of data vectors: a "DataVector" element with the header as
// attributes, a "DataType" child and the values under "Values".
#include <cstdint>

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

// Reads the "value" children of "Values" into `elements` elements of L
// values each, in order: a scalar from the child's attribute, a tuple from
// exactly L nested "value" children. With no destination every value is read
// into one scratch value: the walk then only finds the status that a read of
// this document gives, without room for its values.
struct ReadXmlValuesVisitor {
    _xmlNode const* values;
    void* destination;
    std::uint64_t elements;

    template <class E>
    static long readTuple(E* first, unsigned length, bool keep, _xmlNode const& tuple)
    {
        _xmlNode* c = ZELUNXMLDocument::getFirstChild(tuple, valueElementName());
        if (!c) return kErrNoTupleValueElement;
        unsigned i = 0;
        for (; c; c = ZELUNXMLDocument::getNextSibling(*c, valueElementName()), ++i) {
            if (i >= length) return kErrValueCountMismatch;
            if (long st = getXMLAttribute<E>(*c, valueElementName(), first[keep ? i : 0])) return st;
        }
        return i == length ? kSuccess : kErrValueCountMismatch;
    }

    template <class T>
    long accept(T const& tag) const
    {
        using E = typename T::element_type;
        // A "DataVector" element without "Values" has no values to give.
        if (!values) return kErrValueCountMismatch;
        E scratch{};
        bool const keep = destination != nullptr;
        E* dst = keep ? static_cast<E*>(destination) : &scratch;
        unsigned const L = tag.getLength();
        std::uint64_t i = 0;
        for (_xmlNode* c = ZELUNXMLDocument::getFirstChild(*values, valueElementName()); c;
             c = ZELUNXMLDocument::getNextSibling(*c, valueElementName()), ++i) {
            if (i >= elements) return kErrValueCountMismatch;
            E* at = keep ? dst + i * L : dst;
            long st = IsTupleTag<T>::value ? readTuple(at, L, keep, *c)
                                           : getXMLAttribute<E>(*c, valueElementName(), *at);
            if (st) return st;
        }
        return i == elements ? kSuccess : kErrValueCountMismatch;
    }
};

// Elements (tuples count once) a header declares, in 64 bits (saturating).
std::uint64_t declaredElements(DataVectorHeader const& header)
{
    return header.declaredValueCount() / header.m_type.getLength();
}

// True when "Values" holds a "value" for every declared value: one child per
// element, and for tuples L nested children in each of the first elements.
// Counting stops at what the header declares, so the walk is linear in the
// document whatever it declares.
bool holdsDeclaredValues(DataVectorHeader const& header, _xmlNode const* values)
{
    std::uint64_t const elements = declaredElements(header);
    if (!header.m_type.isTuple()) return detail::countValueChildren(values, elements) >= elements;
    if (!values) return elements == 0;
    unsigned const L = header.m_type.getLength();
    std::uint64_t found = 0;
    for (_xmlNode* c = ZELUNXMLDocument::getFirstChild(*values, valueElementName()); c && found < elements;
         c = ZELUNXMLDocument::getNextSibling(*c, valueElementName()), ++found)
        if (detail::countValueChildren(c, L) < L) return false;
    return found == elements;
}

// The values must be in the document before anything is allocated for them;
// when they are not, the read fails, and its status is found by a walk that
// keeps nothing.
long checkValueCount(DataVectorHeader const& header, _xmlNode const* values)
{
    if (holdsDeclaredValues(header, values)) return kSuccess;
    long st = header.m_type.applyVisitor(ReadXmlValuesVisitor{values, nullptr, declaredElements(header)});
    return st ? st : kErrValueCountMismatch;
}

// Reads the values into a vector made for them from the header.
long readValuesInto(DataVector& vector, _xmlNode const* values)
{
    std::uint64_t const elements = vector.size();
    return vector.getDataType().applyVisitor(ReadXmlValuesVisitor{values, vector.getDataPtr(), elements});
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
    if (long st = detail::checkHeader(*this, header, [&] { return checkValueCount(header, values); })) return st;
    // The values are read into a vector of the stored shape and taken over
    // only when all of them were read: a refused read leaves this one as it was.
    if (!header.isCreatable()) return kErrOutOfMemory;
    boost::shared_ptr<DataVector> fresh = header.createDataVector();
    if (!fresh || !header.hasShapeOf(*fresh)) return kErrOutOfMemory;
    if (long st = readValuesInto(*fresh, values)) return st;
    fresh->setResizeable(isResizeable());
    fresh->setCompressionMethod(getCompressionMethod());
    return swap(*fresh);
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
    if ((status = readValuesInto(*v, values))) return none;
    return v;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
