// Everything of the toolbox at once.
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Events.h"
#include "toolbox/InputSource.h"
#include "toolbox/MacTypes.h"
#include "toolbox/Math.h"
#include "toolbox/Memory.h"
#include "toolbox/Menus.h"
#include "toolbox/Pictures.h"
#include "toolbox/QuickDraw.h"
#include "toolbox/Resources.h"
#include "toolbox/Windows.h"
