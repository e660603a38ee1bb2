#pragma once

// TDataVector2D<T>: the concrete 2-dimensional vector classes.
#include "zorvsupport/datavector/TDataVector.h"
