#pragma once

// TDataVector3D<T>: the concrete 3-dimensional vector classes.
#include "zorvsupport/datavector/TDataVector.h"
