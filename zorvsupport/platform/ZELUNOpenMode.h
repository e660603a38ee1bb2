#pragma once

namespace ZELUN {

// How a surface is opened. The meaning belongs to the surface plug-ins; the
// library only passes the value on, so any stored int reaches them unchanged.
enum OPEN_MODE : int { kOpenRead = 0, kOpenWrite = 1, kOpenCreate = 2 };

}  // namespace ZELUN
