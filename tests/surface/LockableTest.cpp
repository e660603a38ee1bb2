#include <atomic>
#include <type_traits>

#include <boost/thread/thread.hpp>
#include <gtest/gtest.h>

#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/DesignatedIterator.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/IBand.h"
#include "zorvsupport/surface/IBandSet.h"
#include "zorvsupport/surface/IGeoBandSet.h"
#include "zorvsupport/surface/IMutableBandset.h"
#include "zorvsupport/surface/IVersionable.h"
#include "zorvsupport/surface/Lockable.h"
#include "zorvsupport/surface/MetaDataBase.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/StateCheckNodeIterator.h"

using namespace ZORV_3_13_0_::DataSet;

// Declared result types of the volatile assignment and of mutex().
static_assert(std::is_same_v<decltype(std::declval<Lockable volatile&>() = std::declval<Lockable const&>()),
                             Lockable volatile&>);
static_assert(std::is_same_v<decltype(std::declval<Lockable const volatile&>().mutex()), boost::recursive_mutex&>);
static_assert(std::is_same_v<decltype(std::declval<Lockable&>() = std::declval<Lockable const&>()), Lockable&>);
static_assert(std::has_virtual_destructor_v<Lockable>);

// The host-facing classes are abstract; the destructor is public where the
// host deletes through the base and protected elsewhere.
template <class T, bool publicDestructor>
constexpr bool shellShape = std::is_abstract_v<T> && std::has_virtual_destructor_v<T> &&
                            std::is_destructible_v<T> == publicDestructor;
static_assert(shellShape<MetaDataBase, true>);
static_assert(shellShape<NodeIterator, true>);
static_assert(shellShape<DesignatedIterator, true>);
static_assert(shellShape<AttributeInterface, true>);
static_assert(std::is_abstract_v<IBand> && !std::is_destructible_v<IBand>);
static_assert(std::is_abstract_v<IBandSet> && !std::is_destructible_v<IBandSet>);
static_assert(std::is_abstract_v<IGeoBandSet> && !std::is_destructible_v<IGeoBandSet>);
static_assert(std::is_base_of_v<IBandSet, IGeoBandSet>);
static_assert(std::is_abstract_v<IMutableBandset> && !std::is_destructible_v<IMutableBandset>);
static_assert(std::is_abstract_v<IVersionable> && !std::is_destructible_v<IVersionable>);
static_assert(std::is_abstract_v<GeoBandSet> && !std::is_destructible_v<GeoBandSet>);
static_assert(std::is_abstract_v<DesignatedManager> && !std::is_destructible_v<DesignatedManager>);
static_assert(std::is_abstract_v<StateCheckNodeIterator> && !std::is_destructible_v<StateCheckNodeIterator>);

namespace {

// Tries the lock from another thread, so that recursion on this thread
// cannot make it succeed.
bool lockableElsewhere(boost::recursive_mutex& mutex)
{
    std::atomic<bool> locked{false};
    boost::thread other([&] {
        if (mutex.try_lock()) {
            locked = true;
            mutex.unlock();
        }
    });
    other.join();
    return locked;
}

}  // namespace

TEST(Lockable, CopyHasAMutexOfItsOwn)
{
    Lockable source;
    boost::recursive_mutex::scoped_lock hold(source.mutex());
    ASSERT_FALSE(lockableElsewhere(source.mutex()));

    Lockable const copy(source);
    EXPECT_NE(&copy.mutex(), &source.mutex());
    EXPECT_TRUE(lockableElsewhere(copy.mutex()));

    // Assignment leaves both mutexes where they were.
    Lockable target;
    Lockable volatile& result = (static_cast<Lockable volatile&>(target) = source);
    EXPECT_EQ(&result, &target);
    EXPECT_EQ(&(target = source), &target);
    EXPECT_TRUE(lockableElsewhere(target.mutex()));
    EXPECT_FALSE(lockableElsewhere(source.mutex()));
}

TEST(Lockable, DerivedClassesStayAssignable)
{
    struct Guarded : Lockable {
        int value = 0;
    };
    Guarded source;
    source.value = 3;
    Guarded target;
    boost::recursive_mutex::scoped_lock hold(source.mutex());
    target = source;
    EXPECT_EQ(target.value, 3);
    EXPECT_TRUE(lockableElsewhere(target.mutex()));
}

TEST(Lockable, MutexIsRecursiveThroughAVolatileObject)
{
    Lockable object;
    Lockable const volatile& view = object;
    boost::recursive_mutex::scoped_lock outer(view.mutex());
    EXPECT_TRUE(view.mutex().try_lock());
    view.mutex().unlock();
    EXPECT_EQ(&view.mutex(), &object.mutex());
}
