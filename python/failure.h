#pragma once

#include <stdexcept>
#include <string>

#include "failure_kind.h"

namespace qe::python {

// Why a call on the chip failed: qe7204ctl's kinds, each with its exit status. The module
// raises one exception class for each (exceptions.cpp).
using cli::FailureKind;

struct Failure : std::runtime_error {
    Failure(FailureKind kind, const std::string& reason) : std::runtime_error(reason), kind(kind) {}
    FailureKind kind;
};

}  // namespace qe::python
