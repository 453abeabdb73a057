#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The checks behind the fuzz targets, shared with the regression test that replays the corpus
// and every input that ever failed. Each takes one input as raw bytes and returns an empty
// text when every invariant held, else a description of the first one that did not. A fault
// the sanitizers see (an overrun, undefined behaviour) stops the program instead.
namespace FuzzChecks {

// The bytes as one message from the recorder, decoded as the links decode it: the reply
// recognisers (hasCommand, statusOf, isHeader, numberAt), the cutting into punch records and
// the date adjustment of each record.
QString records(const QByteArray &input);

// Lines of typed text for the time fields: the punch editors' field reading and slot order,
// the work category screen's field check and category check.
QString timeFields(const QByteArray &input);

// The bytes as veskourl.def and as veskopw.def in the program folder, read as at start-up.
// CORVAN21_HOME must name a writable folder.
QString definitionFiles(const QByteArray &input);

// A control transfer's setup values and the driver's reply frames: the translation into the
// driver's request record and frame header, and the application of each reply to the
// caller's buffer.
QString usbControl(const QByteArray &input);

struct Target {
    const char *name; // folder name under fuzz/corpus and fuzz/regressions
    QString (*check)(const QByteArray &);
};
constexpr std::array<Target, 4> kTargets = {{
    {"records", &records},
    {"timefields", &timeFields},
    {"deffiles", &definitionFiles},
    {"usbcontrol", &usbControl},
}};

} // namespace FuzzChecks
