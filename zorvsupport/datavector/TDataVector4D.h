#pragma once

// TDataVector4D<T>: the concrete 4-dimensional vector classes.
#include "zorvsupport/datavector/TDataVector.h"
