#pragma once

namespace ZORV_3_13_0_ {
namespace DataSet {

// How a value is read at a fractional position of a grid. The fixed int
// base makes every integer a defined value, so a method test sees the whole
// number (257 is not 1).
enum InterpolationMethod : int {
    kHold = 0,                // the element under the position
    kBilinear = 1,            // weighted mean of the neighbours that hold data
    kBilinearHoldNoData = 2,  // bilinear where the element under the position holds data
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
