#include "zorvsupport/types/Band.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

Band::Band() : m_hidden(false) {}
Band::Band(Band const& other) = default;
Band& Band::operator=(Band const& other) = default;
Band::~Band() = default;

bool Band::isComputedBand() const
{
    return !getComputedBandExpression().isEmpty();
}

ZELUNUString Band::getComputedBandExpression() const
{
    return ZELUNUString();
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
