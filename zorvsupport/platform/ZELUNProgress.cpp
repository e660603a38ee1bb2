#include "zorvsupport/platform/ZELUNProgress.h"

// Defined here so that the virtual table and type information live in the
// library, once.
ZELUNProgress::~ZELUNProgress() = default;
