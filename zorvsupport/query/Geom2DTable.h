#pragma once

#include "zorvsupport/Export.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Abstract 2-D table of the geometry family: its row and column counts.
class ZORV_EXPORT Geom2DTable {
public:
    virtual unsigned getNumRows() const = 0;
    virtual unsigned getNumColumns() const = 0;

protected:
    Geom2DTable();
    virtual ~Geom2DTable();
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
