#pragma once

#include <QString>
#include <array>

// The rules of the work category screen that need no widget: the check of one time field as
// it is left, and the check of a whole category before it is stored.
namespace KubunRules {

// Index of the overtime base hours among the screen's 17 time fields (0..15 are the
// category's times in table order).
constexpr int kBaseField = 16;
constexpr int kFieldCount = 17;

struct FieldResult {
    bool accepted = false;
    QString text; // what the field shows: "hh:mm", "  :  ", or the typed text when unreadable
};

// A field as typed: "830" -> "08:30", "8" -> "00:08", "2400" -> "24:00"; empty -> "  :  ".
// Hours above 47 and minutes above 59 are refused.
FieldResult fieldCheck(const QString &typed);

struct CategoryFailure {
    bool failed = false;
    QString message;
    int focusField = -1; // the field that gets the focus
};

// Windows complete and in order, breaks not overlapping, early work / overtime / late night
// not overlapping. Only the first fault is reported.
CategoryFailure categoryCheck(const std::array<QString, 16> &times);

} // namespace KubunRules
