// qe7204.record_unit: a station written in Python stores its units where qe7204ctl program
// stores them, with the same spool.
#include "records.h"

#include <pybind11/stl.h>

#include <QJsonDocument>

#include <optional>
#include <string>

#include "database_url.h"
#include "failure.h"
#include "record_spool.h"

namespace py = pybind11;

namespace qe::python {

namespace {

constexpr const char* kRecordUnitDoc =
    R"(Store one unit's record in a database, as qe7204ctl program --record-db does.

url: "sqlite:FILE" or "postgresql://[user@][host][:port]/db[?host=/socket/folder]".
record: the unit's record, a dict shaped as qe7204ctl program --record writes it
  ("started", "adapter", "golden", "words", "steps", "magnet", "log", "result",
  "exit_status", "failed_step", "reason"; see docs/json.md and docs/records.md).
station: the station's name (default: this PC's host name).
unit_id: the unit's identity (default: a new UUID); a record stored twice changes nothing.
spool: the spool file (default: ~/.local/state/qe7204/record-spool.jsonl).

A record the database cannot take is kept in the spool and goes with the next one that is
written. Returns a dict: unit_id, stored, spooled, flushed (records sent from the spool
along with it) and error. Raises UsageError for a URL it cannot read.)";

py::dict recordUnit(const std::string& url, const py::dict& record,
                    const std::optional<std::string>& station,
                    const std::optional<std::string>& unitId,
                    const std::optional<std::string>& spool) {
    QString why;
    const auto databaseUrl = records::DatabaseUrl::parse(QString::fromStdString(url), &why);
    if (!databaseUrl) throw Failure(FailureKind::Usage, why.toStdString());
    const std::string text = py::module_::import("json").attr("dumps")(record).cast<std::string>();
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    records::UnitRecordRow row = records::UnitRecordRow::forNewUnit(
        document.object(), QString::fromStdString(station.value_or("")));
    if (unitId) row.unitId = QString::fromStdString(*unitId);

    records::RecordDelivery delivery;
    {
        py::gil_scoped_release unlocked;
        records::RecordStore store(*databaseUrl);
        records::RecordSpool keep(spool ? QString::fromStdString(*spool)
                                        : records::RecordSpool::defaultPath());
        delivery = records::deliver(store, keep, row);
    }
    py::dict result;
    result["unit_id"] = row.unitId.toStdString();
    result["stored"] = delivery.stored;
    result["spooled"] = delivery.spooled;
    result["flushed"] = delivery.flushed;
    result["error"] = delivery.error.toStdString();
    return result;
}

}  // namespace

void defineRecords(py::module_& module) {
    module.def("record_unit", &recordUnit, kRecordUnitDoc, py::arg("url"), py::arg("record"),
               py::kw_only(), py::arg("station") = py::none(), py::arg("unit_id") = py::none(),
               py::arg("spool") = py::none());
}

}  // namespace qe::python
