// What the axis objects share with their services (AxisServices.cpp): the
// live axes of the process and the channel items of their menus.
#pragma once

#include "toolbox/MacTypes.h"

namespace recorder {

class Axis;

// Disposes of a menu an axis lets go of, unless another live axis holds it.
void ReleaseAxisMenu(const Axis* holder, MenuRef menu);

}  // namespace recorder
