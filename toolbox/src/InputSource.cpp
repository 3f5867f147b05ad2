// The one input source that answers the toolbox's tracking and waiting calls.
#include "toolbox/InputSource.h"

namespace {
InputSource* gInputSource = nullptr;
}

void SetInputSource(InputSource* source) { gInputSource = source; }
InputSource* GetInputSource() { return gInputSource; }
