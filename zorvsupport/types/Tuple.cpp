#include "zorvsupport/types/Tuple.h"

#include <algorithm>
#include <cstring>

namespace ZORV_3_13_0_ {
namespace DataSet {

template <class T>
void Tuple<T>::set(element_type const* source, unsigned n)
{
    if (m_buffer && n == this->m_length) {
        // Same byte size: keep the block so that pointers into it stay valid.
        if (source) {
            if (n != 0 && source != m_buffer) std::memmove(m_buffer, source, n * sizeof(element_type));
        } else {
            std::fill(m_buffer, m_buffer + n, element_type{});
        }
        return;
    }
    // value-initialised: zeros (3-vectors (0, 0, 0)); a block even for n = 0.
    element_type* block = new element_type[n]();
    if (source && n != 0) std::memcpy(block, source, n * sizeof(element_type));
    delete[] m_buffer;
    m_buffer = block;
    this->m_data = block;
    this->m_length = n;
}

#define ZORV_INSTANTIATE(k, T, name) template class ZORV_EXPORT Tuple<TTupleDataType<TDataType<k>>>;
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_INSTANTIATE)
#undef ZORV_INSTANTIATE

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
