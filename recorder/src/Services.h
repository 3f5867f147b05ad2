// The recorder's implementations of the 62 host services, one free function
// each, named after its slot and declared from the slot's own type, so that a
// definition with another signature does not link. ServiceTable.cpp puts them
// in the table, in slot order, and says which file holds each.
#pragma once

#include <type_traits>

#include "host/HostServices.h"

namespace services {

#define RECORDER_DECLARE_SERVICE(slot, name) std::remove_pointer_t<decltype(HostServiceTable::name)> name;
HOST_SERVICES(RECORDER_DECLARE_SERVICE)
#undef RECORDER_DECLARE_SERVICE

}  // namespace services
