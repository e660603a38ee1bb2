#include "zorvsupport/platform/ZELUNObject.h"

ZELUNObject::~ZELUNObject() = default;

void ZELUNObject::print(std::ostream&) const {}
