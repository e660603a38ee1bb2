#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

// Progress interface implemented by the host. Long operations announce the
// number of steps with setMax, report steps with increment or a position with
// update, and stop when either returns false (the host asked to cancel).
//
// increment and update return `bool const`. A caller sees a plain bool (a
// returned scalar drops its const), but the const is part of the function's
// type, so an override repeats it:
//   bool const increment() override;
// GCC's -Wextra notes the qualifier (-Wignored-qualifiers): it is silenced
// for this class here, and an overriding class silences it the same way
// (push, ignored, pop). Virtual table and symbol names are those of a plain
// bool.
//
// An override that compiles against this header and against its earlier
// plain-bool form takes the result type from the member's type:
//   template <class F> struct ResultOf;
//   template <class R, class C, class... A> struct ResultOf<R (C::*)(A...)> { typedef R type; };
//   ResultOf<decltype(&ZELUNProgress::increment)>::type increment() override;
// `decltype(std::declval<ZELUNProgress&>().increment())` does not: it names
// the type of a call, plain bool, which GCC refuses here as a conflicting
// return type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
class ZORV_EXPORT ZELUNProgress {
public:
    virtual ~ZELUNProgress();
    virtual void setMax(unsigned max) = 0;
    virtual void setText(ZELUNUString const& text) = 0;
    virtual bool const increment() = 0;
    virtual bool const update(unsigned position) = 0;
};
#pragma GCC diagnostic pop
