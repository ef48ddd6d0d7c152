#pragma once

#include <pybind11/pybind11.h>

namespace qe::python {

// record_unit(): unit records into a database (docs/records.md).
void defineRecords(pybind11::module_& module);

}  // namespace qe::python
