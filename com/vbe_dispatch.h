#pragma once
// The development environment's object model, reached by late binding.
#include <memory>

#include "com/dispatch.h"
#include "platform/ide/vbe.h"

namespace qm::com {

// The root object handed over at connection.
std::shared_ptr<ide::VBE> WrapVbe(IDispatch* vbe);
std::shared_ptr<ide::AddIn> WrapAddIn(IDispatch* addIn);

}  // namespace qm::com
