#include "zorvsupport/platform/ZELUNPlane.h"

namespace ZELUNCompGeom {

ZELUNPlane::~ZELUNPlane() = default;

}  // namespace ZELUNCompGeom
