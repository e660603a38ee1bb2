#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

// Progress interface implemented by the host. Long operations announce the
// number of steps with setMax, report steps with increment or a position with
// update, and stop when either returns false (the host asked to cancel).
class ZORV_EXPORT ZELUNProgress {
public:
    virtual ~ZELUNProgress();
    virtual void setMax(unsigned max) = 0;
    virtual void setText(ZELUNUString const& text) = 0;
    virtual bool increment() = 0;
    virtual bool update(unsigned position) = 0;
};
