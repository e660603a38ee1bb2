#pragma once

// Symbols are hidden by default (-fvisibility=hidden); ZORV_EXPORT marks the
// library's interface: exported classes, free functions and class templates
// whose explicit instantiations live in the library.
#define ZORV_EXPORT __attribute__((visibility("default")))
