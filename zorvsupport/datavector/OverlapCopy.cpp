#include "zorvsupport/datavector/OverlapCopy.h"

#include <cstring>

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

void copyOverlapBytes(unsigned char* dst, unsigned const dd[4], unsigned char const* src, unsigned const sd[4],
                      std::size_t elementBytes)
{
    std::size_t m[4];
    for (int i = 0; i < 4; ++i) {
        m[i] = dd[i] < sd[i] ? dd[i] : sd[i];
        if (m[i] == 0) return;
    }
    std::size_t const row = m[0] * elementBytes;
    // Strides in bytes of dimensions 1, 2 and 3 of each block.
    std::size_t const ds1 = dd[0] * elementBytes, ds2 = ds1 * dd[1], ds3 = ds2 * dd[2];
    std::size_t const ss1 = sd[0] * elementBytes, ss2 = ss1 * sd[1], ss3 = ss2 * sd[2];
    for (std::size_t l = 0; l < m[3]; ++l)
        for (std::size_t k = 0; k < m[2]; ++k)
            for (std::size_t j = 0; j < m[1]; ++j)
                std::memcpy(dst + l * ds3 + k * ds2 + j * ds1, src + l * ss3 + k * ss2 + j * ss1, row);
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
