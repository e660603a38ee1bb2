#pragma once

#include <boost/thread/recursive_mutex.hpp>

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Gives a derived object a recursive mutex for the host to lock; the library
// never locks it. Every object has a mutex of its own: a copy gets a fresh,
// unlocked one and assignment leaves the target's mutex alone.
class ZORV_EXPORT Lockable {
public:
    Lockable();
    Lockable(Lockable const& other);
    virtual ~Lockable();

    // Change nothing: the mutex is never copied. The non-volatile form is
    // what a derived class's implicit assignment calls; through the volatile
    // one alone, discarding its volatile result draws a compiler warning in
    // every such class.
    Lockable volatile& operator=(Lockable const& other) volatile;
    Lockable& operator=(Lockable const& other);

    // The mutex, lockable through a const or volatile object too.
    boost::recursive_mutex& mutex() const volatile { return const_cast<boost::recursive_mutex&>(m_mutex); }

private:
    mutable boost::recursive_mutex m_mutex;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
