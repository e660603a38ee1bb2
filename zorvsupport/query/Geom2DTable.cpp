#include "zorvsupport/query/Geom2DTable.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

Geom2DTable::Geom2DTable() = default;
Geom2DTable::~Geom2DTable() = default;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
