#pragma once

#include <pybind11/pybind11.h>

namespace qe::python {

// Defines qe7204.Error and its subclasses in the module and turns every Failure thrown by
// the facade into the matching exception.
void defineExceptions(pybind11::module_& module);

}  // namespace qe::python
