#pragma once

// The chunked list driver of the query shapes. Library-internal: each
// shape's translation unit includes it and instantiates the driver for its
// own inline per-point test.

#include <cstring>
#include <memory>
#include <new>
#include <typeinfo>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/query/Polyhedron.h"
#include "zorvsupport/query/QueryShortage.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// The list, 3-vector and box queries of a shape class over its own inline
// per-point test `inside(x, y, z)`: no virtual call, allocation or engine
// call per point. With `own` false (a subclass of the shape, which may
// override its tests) they take the element-by-element path through the
// virtual tests instead.
//
// Stack: a single position costs a few doubles; lists that need a
// conversion are converted in batches of kBatchPoints held on the heap, or
// of kStackPoints on the stack for short lists (and when the heap has no
// room), so no frame here comes near 8 KiB.
struct ShapeQueries {
    using FrameMode = Polyhedron::FrameMode;

    static constexpr std::size_t kBatchPoints = 1024;  // 24 KiB of x, y, z
    static constexpr std::size_t kStackPoints = 128;   // 3 KiB

    // Room for one batch of positions.
    class Batch {
    public:
        explicit Batch(std::size_t n)
        {
            if (n > kStackPoints) m_heap.reset(new (std::nothrow) Room);
        }
        double* xyz() { return m_heap ? m_heap->xyz : m_xyz; }
        unsigned char* failed() { return m_heap ? m_heap->failed : m_failed; }
        std::size_t size() const { return m_heap ? kBatchPoints : kStackPoints; }

    private:
        struct Room {
            double xyz[3 * kBatchPoints];
            unsigned char failed[kBatchPoints];
        };
        std::unique_ptr<Room> m_heap;
        double m_xyz[3 * kStackPoints];
        unsigned char m_failed[kStackPoints];
    };

    static bool countOk(ZELUNArray<double> const& p, FrameMode mode)
    {
        return mode == FrameMode::kProject ? p.size() == 3 : p.size() >= 3;
    }

    // Point lists: a point without the values the mode needs, or a failed
    // conversion anywhere, makes the answer false; a conversion short of
    // memory throws std::bad_alloc. contains stops at the
    // first point outside; interacts keeps converting after the first point
    // inside, since a later failure still makes it false.
    template <class Inside>
    static bool pointsAsGiven(ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode, Inside inside)
    {
        bool found = false;
        for (ZELUNArray<double> const& p : points) {
            if (!countOk(p, mode)) return false;
            if (found) continue;
            bool const in = inside(p[0], p[1], p[2]);
            if (!any && !in) return false;
            found = any && in;
        }
        return any ? found : true;
    }

    template <class Inside>
    __attribute__((noinline)) static bool pointsInBatches(Polyhedron const& shape,
                                                          ZELUNArray<ZELUNArray<double>> const& points, bool any,
                                                          FrameMode mode, Inside inside)
    {
        Batch batch(points.size());
        double* const xyz = batch.xyz();
        std::size_t const size = batch.size();
        bool found = false;
        for (std::size_t start = 0; start < points.size(); start += size) {
            std::size_t const n = points.size() - start < size ? points.size() - start : size;
            for (std::size_t i = 0; i < n; ++i) {
                ZELUNArray<double> const& p = points[start + i];
                if (!countOk(p, mode)) return false;
                std::memcpy(xyz + 3 * i, p.data(), 3 * sizeof(double));
            }
            if (detail::throwOnShortage(shape.toFrame(xyz, n, batch.failed(), mode))) return false;
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
    __attribute__((noinline)) static bool vectorsInBatches(Polyhedron const& shape, ZELUNVec3<double> const* vectors,
                                                           std::size_t n, bool any, FrameMode mode, Inside inside)
    {
        Batch batch(n);
        double* const xyz = batch.xyz();
        unsigned char const* const failed = batch.failed();
        std::size_t const size = batch.size();
        for (std::size_t start = 0; start < n; start += size) {
            std::size_t const count = n - start < size ? n - start : size;
            std::memcpy(xyz, vectors + start, count * sizeof(ZELUNVec3<double>));
            detail::throwOnShortage(shape.toFrame(xyz, count, batch.failed(), mode));
            for (std::size_t i = 0; i < count; ++i) {
                bool const pass = !failed[i] && inside(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
                if (pass == any) return any;
            }
        }
        return !any;
    }

    template <class Inside>
    static bool list(Polyhedron const& shape, ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode,
                     bool own, Inside inside)
    {
        if (!own) return shape.listByElement(points, any, mode);
        if (shape.framesAsGiven(mode)) return pointsAsGiven(points, any, mode, inside);
        return pointsInBatches(shape, points, any, mode, inside);
    }

    template <class Inside>
    static bool vectors(Polyhedron const& shape, TDataVector1D<TDataType<11>> const& vectors, bool any, FrameMode mode,
                        bool own, Inside inside)
    {
        static_assert(sizeof(ZELUNVec3<double>) == 3 * sizeof(double), "packed 3-vectors");
        if (!own) return any ? shape.Polyhedron::interacts(vectors) : shape.Polyhedron::contains(vectors);
        auto const* v = static_cast<ZELUNVec3<double> const*>(vectors.getConstDataPtr());
        std::size_t const n = vectors.size();
        if (shape.framesAsGiven(mode)) {
            for (std::size_t i = 0; i < n; ++i)
                if (inside(v[i].x, v[i].y, v[i].z) == any) return any;
            return !any;
        }
        return vectorsInBatches(shape, v, n, any, mode, inside);
    }

    template <class Inside>
    static bool vector(Polyhedron const& shape, ZELUNVec3<double> const& vector, FrameMode mode, bool own,
                       Inside inside)
    {
        if (own) {
            double xyz[3] = {vector.x, vector.y, vector.z};
            unsigned char failed = 0;
            if (!shape.framesAsGiven(mode)) detail::throwOnShortage(shape.toFrame(xyz, 1, &failed, mode));
            return !failed && inside(xyz[0], xyz[1], xyz[2]);
        }
        ZELUNArray<double> point(3);
        point[0] = vector.x;
        point[1] = vector.y;
        point[2] = vector.z;
        long const status = detail::throwOnShortage(mode == FrameMode::kProject ? shape.transform(point)
                                                                                : shape.changeCoordSys(point));
        return !status && shape.contains(point);
    }

    template <class Inside>
    static bool box(Polyhedron const& shape, ZELUNnBox<double, 3> const& box, FrameMode mode, bool own, Inside inside)
    {
        if (!own) {
            ZELUNArray<ZELUNArray<double>> corners;
            shape.getBBArray(corners, box);
            return shape.listByElement(corners, false, mode);
        }
        double xyz[24];
        unsigned char failed[8];
        Polyhedron::cornersOf(box, xyz);
        if (detail::throwOnShortage(shape.toFrame(xyz, 8, failed, mode))) return false;
        for (int c = 0; c < 8; ++c)
            if (!inside(xyz[3 * c], xyz[3 * c + 1], xyz[3 * c + 2])) return false;
        return true;
    }
};

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
        return ShapeQueries::list(*this, points, false, mode, own(), test());                      \
    }                                                                                              \
    bool Shape::interacts(ZELUNArray<ZELUNArray<double>> const& points) const                      \
    {                                                                                              \
        return ShapeQueries::list(*this, points, true, mode, own(), test());                       \
    }                                                                                              \
    bool Shape::contains(TDataVector1D<TDataType<11>> const& vectors) const                        \
    {                                                                                              \
        return ShapeQueries::vectors(*this, vectors, false, mode, own(), test());                  \
    }                                                                                              \
    bool Shape::interacts(TDataVector1D<TDataType<11>> const& vectors) const                       \
    {                                                                                              \
        return ShapeQueries::vectors(*this, vectors, true, mode, own(), test());                   \
    }                                                                                              \
    bool Shape::contains(ZELUNVec3<double> const& vector) const                                    \
    {                                                                                              \
        return ShapeQueries::vector(*this, vector, mode, own(), test());                           \
    }                                                                                              \
    bool Shape::contains(ZELUNnBox<double, 3> const& box) const                                    \
    {                                                                                              \
        return ShapeQueries::box(*this, box, mode, own(), test());                                 \
    }

// Converted and projected through the matrix, as the boxes and extruded
// polygons take positions.
#define ZORV_SHAPE_QUERIES(Shape) ZORV_SHAPE_QUERIES_IN(Shape, Polyhedron::FrameMode::kProject)

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
