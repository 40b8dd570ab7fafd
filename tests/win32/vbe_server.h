#pragma once
// The simulated development environment offered through IDispatch, as the real one offers its
// object model to an add-in: the stand-in environment's side of late binding.
#include <oaidl.h>

#include <memory>

#include "platform/sim/simulated_vbe.h"

namespace qm::standin {

// The root object and the add-in object, each returned with one reference for the caller.
IDispatch* ServeVbe(std::shared_ptr<ide::VBE> vbe);
IDispatch* ServeAddIn(std::shared_ptr<ide::AddIn> addIn);
// How often a caller has read the active window: an add-in's polling shows in it.
long ActiveWindowReads();
// How many calls (GetIDsOfNames and Invoke) the served objects have answered.
long ServedCalls();

}  // namespace qm::standin
