#pragma once

// The chunked list driver of the query shapes. Library-internal: each
// shape's translation unit includes it and instantiates the driver for its
// own inline per-point test.

#include <cstring>
#include <typeinfo>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/query/Polyhedron.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Point lists: a point without the values the mode needs, or a failed
// conversion anywhere, makes the answer false. contains stops at the first
// point outside; interacts keeps converting after the first point inside,
// since a later failure still makes it false.
template <class Inside>
bool Polyhedron::driveList(ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode,
                           Inside inside) const
{
    if (framesAsGiven(mode)) {
        bool found = false;
        for (ZELUNArray<double> const& p : points) {
            if (mode == FrameMode::kProject ? p.size() != 3 : p.size() < 3) return false;
            if (found) continue;
            bool const in = inside(p[0], p[1], p[2]);
            if (!any && !in) return false;
            found = any && in;
        }
        return any ? found : true;
    }
    double xyz[3 * kChunkPoints];
    unsigned char failed[kChunkPoints];
    bool found = false;
    for (std::size_t start = 0; start < points.size(); start += kChunkPoints) {
        std::size_t const n = points.size() - start < kChunkPoints ? points.size() - start : kChunkPoints;
        for (std::size_t i = 0; i < n; ++i) {
            ZELUNArray<double> const& p = points[start + i];
            if (mode == FrameMode::kProject ? p.size() != 3 : p.size() < 3) return false;
            std::memcpy(xyz + 3 * i, p.data(), 3 * sizeof(double));
        }
        if (toFrame(xyz, n, failed, mode)) return false;
        if (found) continue;
        for (std::size_t i = 0; i < n; ++i) {
            bool const in = inside(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
            if (!any && !in) return false;
            if (any && in) {
                found = true;
                break;
            }
        }
    }
    return any ? found : true;
}

// 3-vector lists, element by element: an element whose conversion failed
// does not pass. contains stops at the first element that does not pass,
// interacts at the first that does.
template <class Inside>
bool Polyhedron::driveVectors(ZELUNVec3<double> const* vectors, std::size_t n, bool any, FrameMode mode,
                              Inside inside) const
{
    static_assert(sizeof(ZELUNVec3<double>) == 3 * sizeof(double), "packed 3-vectors");
    if (framesAsGiven(mode)) {
        for (std::size_t i = 0; i < n; ++i)
            if (inside(vectors[i].x, vectors[i].y, vectors[i].z) == any) return any;
        return !any;
    }
    double xyz[3 * kChunkPoints];
    unsigned char failed[kChunkPoints];
    for (std::size_t start = 0; start < n; start += kChunkPoints) {
        std::size_t const count = n - start < kChunkPoints ? n - start : kChunkPoints;
        std::memcpy(xyz, vectors + start, count * sizeof(ZELUNVec3<double>));
        toFrame(xyz, count, failed, mode);
        for (std::size_t i = 0; i < count; ++i) {
            bool const pass = !failed[i] && inside(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
            if (pass == any) return any;
        }
    }
    return !any;
}

template <class Inside>
bool Polyhedron::queryList(ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode, bool own,
                           Inside inside) const
{
    if (own) return driveList(points, any, mode, inside);
    return listByElement(points, any, mode);
}

template <class Inside>
bool Polyhedron::queryVectors(TDataVector1D<TDataType<11>> const& vectors, bool any, FrameMode mode, bool own,
                              Inside inside) const
{
    if (!own) return any ? Polyhedron::interacts(vectors) : Polyhedron::contains(vectors);
    auto const* v = static_cast<ZELUNVec3<double> const*>(vectors.getConstDataPtr());
    return driveVectors(v, vectors.size(), any, mode, inside);
}

template <class Inside>
bool Polyhedron::queryVector(ZELUNVec3<double> const& vector, FrameMode mode, bool own, Inside inside) const
{
    if (own) return driveVectors(&vector, 1, false, mode, inside);
    ZELUNArray<double> point(3);
    point[0] = vector.x;
    point[1] = vector.y;
    point[2] = vector.z;
    long const status = mode == FrameMode::kProject ? transform(point) : changeCoordSys(point);
    return !status && contains(point);
}

template <class Inside>
bool Polyhedron::queryBox(ZELUNnBox<double, 3> const& box, FrameMode mode, bool own, Inside inside) const
{
    if (!own) {
        ZELUNArray<ZELUNArray<double>> corners;
        getBBArray(corners, box);
        return listByElement(corners, false, mode);
    }
    double xyz[24];
    unsigned char failed[8];
    cornersOf(box, xyz);
    if (toFrame(xyz, 8, failed, mode)) return false;
    for (int c = 0; c < 8; ++c)
        if (!inside(xyz[3 * c], xyz[3 * c + 1], xyz[3 * c + 2])) return false;
    return true;
}

// The list, 3-vector and box-containment queries of a shape class whose
// private test() gives its per-point test, with positions brought into the
// frame as `mode` says: the driver for the class itself, the
// element-by-element path for a subclass.
#define ZORV_SHAPE_QUERIES_IN(Shape, mode)                                                         \
    bool Shape::own() const { return typeid(*this) == typeid(Shape); }                            \
    bool Shape::contains(ZELUNArray<double> const& point) const                                    \
    {                                                                                              \
        return test()(point[0], point[1], point[2]);                                               \
    }                                                                                              \
    bool Shape::contains(ZELUNArray<ZELUNArray<double>> const& points) const                       \
    {                                                                                              \
        return queryList(points, false, mode, own(), test());                                      \
    }                                                                                              \
    bool Shape::interacts(ZELUNArray<ZELUNArray<double>> const& points) const                      \
    {                                                                                              \
        return queryList(points, true, mode, own(), test());                                       \
    }                                                                                              \
    bool Shape::contains(TDataVector1D<TDataType<11>> const& vectors) const                        \
    {                                                                                              \
        return queryVectors(vectors, false, mode, own(), test());                                  \
    }                                                                                              \
    bool Shape::interacts(TDataVector1D<TDataType<11>> const& vectors) const                       \
    {                                                                                              \
        return queryVectors(vectors, true, mode, own(), test());                                   \
    }                                                                                              \
    bool Shape::contains(ZELUNVec3<double> const& vector) const                                    \
    {                                                                                              \
        return queryVector(vector, mode, own(), test());                                           \
    }                                                                                              \
    bool Shape::contains(ZELUNnBox<double, 3> const& box) const { return queryBox(box, mode, own(), test()); }

// Converted and projected through the matrix, as the boxes and extruded
// polygons take positions.
#define ZORV_SHAPE_QUERIES(Shape) ZORV_SHAPE_QUERIES_IN(Shape, FrameMode::kProject)

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
