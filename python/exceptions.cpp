#include "exceptions.h"

#include <array>
#include <string>

#include "exit_status.h"
#include "failure.h"

namespace py = pybind11;

namespace qe::python {

namespace {

// The classes between Error and the ones raised, by what failed.
struct Category {
    const char* name;
    const char* text;  // the exception's `category`
    FailureKind kind;  // one of its kinds: they share the exit status
    const char* doc;
};

constexpr std::array kCategories = {
    Category{"UsageError", "usage", FailureKind::Usage,
             "An argument was not understood (an unknown field, a value the field does not\n"
             "take, a closed chip). Nothing was sent to the adapter. Also a ValueError.\n"
             "qe7204ctl exits with status 2 for these."},
    Category{"AdapterError", "adapter", FailureKind::NoAdapter,
             "The adapter or the fixture failed: none found, held by another program, not\n"
             "allowed to this user, or lost during the call. qe7204ctl exits with status 4."},
    Category{"ChipError", "chip", FailureKind::NoChip,
             "The chip (the part) failed: none answers, several answer, a read or a write\n"
             "went unanswered or was refused, PROG was not verified. qe7204ctl exits with\n"
             "status 5."},
};

struct Leaf {
    FailureKind kind;
    const char* name;
    int category;  // index into kCategories; -1: a file
    const char* doc;
};

constexpr std::array kLeaves = {
    Leaf{FailureKind::Usage, nullptr, 0, nullptr},
    Leaf{FailureKind::NoAdapter, "NoAdapter", 1,
         "No QE7204 adapter is listed, or none with the serial number asked for."},
    Leaf{FailureKind::AdapterBusy, "AdapterBusy", 1,
         "The adapter is listed but another program holds it."},
    Leaf{FailureKind::NoPermission, "NoPermission", 1,
         "The adapter is listed but this user may not open it; the reason says how to\n"
         "get access (the udev rule, or the dialout group)."},
    Leaf{FailureKind::AdapterLost, "AdapterLost", 1,
         "The adapter stopped answering during the call: unplugged, or its USB link lost.\n"
         "The chip is closed; open it again once the adapter is back."},
    Leaf{FailureKind::NoChip, "NoChip", 2,
         "No chip answers on the bus, or the adapter reports the chip supply off."},
    Leaf{FailureKind::TooManyChips, "TooManyChips", 2,
         "Several chips answer and none was chosen: open(address=...) picks one."},
    Leaf{FailureKind::NoReply, "NoReply", 2, "The chip did not answer a read."},
    Leaf{FailureKind::ChipRefused, "ChipRefused", 2,
         "The chip did not take a write, or its acknowledgement never came."},
    Leaf{FailureKind::NotVerified, "NotVerified", 2,
         "PROG: the EEPROM read back differs from the working registers."},
    Leaf{FailureKind::MagnetCheckFailed, "MagnetCheckFailed", 2,
         "The magnet check could not judge: the shaft did not turn far enough in time, or\n"
         "too few readouts came per turn."},
    Leaf{FailureKind::FileRefused, "FileRefused", -1,
         "A configuration file could not be read, written or used: not found, no access,\n"
         "not a regular file, or not exactly 16 bytes. qe7204ctl exits with status 6."},
};

// The class raised for each kind, made once when the module is imported and kept for the
// life of the process (a handle: nothing to release after the interpreter has ended).
std::array<py::handle, kLeaves.size()> raised;

py::object newClass(py::module_& module, const char* name, const char* doc, py::tuple bases,
                    const char* category, int exitStatus) {
    py::dict attributes;
    attributes["category"] = category;
    attributes["exit_status"] = exitStatus;
    const std::string qualified = std::string("qe7204.") + name;
    PyObject* made =
        PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), attributes.ptr());
    if (!made) throw py::error_already_set();
    py::object type = py::reinterpret_steal<py::object>(made);
    module.attr(name) = type;
    return type;
}

}  // namespace

void defineExceptions(py::module_& module) {
    py::object error = newClass(
        module, "Error",
        "Every failure of a call on the chip. `reason` says what failed in one line, as\n"
        "qe7204ctl prints it; `category` is \"usage\", \"adapter\", \"chip\" or \"file\", and\n"
        "`exit_status` the status qe7204ctl exits with for the same failure.",
        py::make_tuple(py::reinterpret_borrow<py::object>(PyExc_Exception)), "failure",
        cli::kExitFailure);

    std::array<py::object, kCategories.size()> categories;
    for (std::size_t i = 0; i < kCategories.size(); ++i) {
        const Category& c = kCategories[i];
        const bool usage = i == 0;
        const py::tuple bases =
            usage ? py::make_tuple(error, py::reinterpret_borrow<py::object>(PyExc_ValueError))
                  : py::make_tuple(error);
        categories[i] = newClass(module, c.name, c.doc, bases, c.text, cli::exitStatusOf(c.kind));
    }
    for (std::size_t i = 0; i < kLeaves.size(); ++i) {
        const Leaf& leaf = kLeaves[i];
        if (!leaf.name)
            raised[i] = categories[static_cast<std::size_t>(leaf.category)].inc_ref();
        else if (leaf.category < 0)
            raised[i] = newClass(module, leaf.name, leaf.doc, py::make_tuple(error), "file",
                                 cli::exitStatusOf(leaf.kind))
                            .inc_ref();
        else
            raised[i] =
                newClass(module, leaf.name, leaf.doc,
                         py::make_tuple(categories[static_cast<std::size_t>(leaf.category)]),
                         kCategories[static_cast<std::size_t>(leaf.category)].text,
                         cli::exitStatusOf(leaf.kind))
                    .inc_ref();
    }

    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const Failure& failure) {
            for (std::size_t i = 0; i < kLeaves.size(); ++i) {
                if (kLeaves[i].kind != failure.kind) continue;
                py::object instance = raised[i](failure.what());
                instance.attr("reason") = failure.what();
                PyErr_SetObject(raised[i].ptr(), instance.ptr());
                return;
            }
            PyErr_SetString(PyExc_RuntimeError, failure.what());
        }
    });
}

}  // namespace qe::python
