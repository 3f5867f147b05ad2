// The one extension object and its dispatch, and which window an instance owns.
#include "XYPlotExtension.h"

XYPlotExtension gExtension;

int32_t DispatchToExtension(int16_t message, uint8_t* params, const HostServiceTable* host)
{
    return gExtension.HandleMessage(message, params, host);
}

bool XYPlotExtension::OwnsWindow(WindowRef window, LocalDataHandle instance) { return window == (*instance)->window; }
