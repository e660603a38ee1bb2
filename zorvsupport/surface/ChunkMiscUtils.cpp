#include "zorvsupport/surface/ChunkMiscUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace ChunkMiscUtils {

bool isAttSet(NodeIterator const& iterator, unsigned long band)
{
    // Band ids are 32-bit: a wider id names no band rather than a truncated one.
    if (band > 0xFFFFFFFFul) return false;
    BandType const type = iterator.getBandType(static_cast<unsigned>(band));
    IsAttSetVisitor visitor(type.getNoDataValue(), iterator, static_cast<unsigned>(band));
    return type.getDataType().applyVisitor(visitor);
}

void SetFromDoubleVisitor::accept(TDataType<DataType::kVec3> const&) {}

}  // namespace ChunkMiscUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
