#pragma once

// Building points, point lists and 3-vector lists for the query tests.

#include <cmath>
#include <initializer_list>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNVec3.h"

namespace testsupport {

inline ZELUNArray<double> point(std::initializer_list<double> values)
{
    ZELUNArray<double> a(values.size());
    std::size_t i = 0;
    for (double v : values) a[i++] = v;
    return a;
}

inline ZELUNArray<ZELUNArray<double>> pointList(std::initializer_list<std::initializer_list<double>> points)
{
    ZELUNArray<ZELUNArray<double>> a(points.size());
    std::size_t i = 0;
    for (auto const& p : points) a[i++] = point(p);
    return a;
}

using VectorList = ZORV_3_13_0_::DataSet::TDataVector1D<ZORV_3_13_0_::DataSet::TDataType<11>>;

inline ZELUNVec3<double>* valuesOf(VectorList& v)
{
    return static_cast<ZELUNVec3<double>*>(v.getDataPtr());
}

inline boost::shared_ptr<VectorList> vectorList(std::size_t n)
{
    using namespace ZORV_3_13_0_::DataSet;
    return VectorList::create(TDataType<11>(), ZELUNnPoint<unsigned, 1>(static_cast<unsigned>(n)));
}

inline boost::shared_ptr<VectorList> vectorList(std::initializer_list<ZELUNVec3<double>> values)
{
    auto v = vectorList(values.size());
    std::size_t i = 0;
    for (auto const& e : values) valuesOf(*v)[i++] = e;
    return v;
}

// A wavy ring of `count` vertices around (cx, cy): radius r + wave·sin(7a).
inline ZELUNArray<ZELUNArray<double>> wavyRing(double cx, double cy, double r, double wave, int count = 1000)
{
    ZELUNArray<ZELUNArray<double>> ring(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        double const a = 2 * M_PI * i / count;
        double const ri = r + wave * std::sin(7 * a);
        ring[static_cast<std::size_t>(i)] = point({cx + ri * std::cos(a), cy + ri * std::sin(a)});
    }
    return ring;
}

}  // namespace testsupport
