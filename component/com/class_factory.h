// The class object of Control: makes new Control objects (no aggregation).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace tarnwick::com {

IClassFactory& controlFactory();

}  // namespace tarnwick::com
