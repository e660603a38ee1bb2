#pragma once

// TDataVector1D<T>: the concrete 1-dimensional vector classes.
#include "zorvsupport/datavector/TDataVector.h"
