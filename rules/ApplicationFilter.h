#pragma once
// A rule's "only in" and "never in" lists: application names matched against the WM_CLASS of the
// top-level window that has the focus.

#include <QString>
#include <QStringList>

#include "FocusTracker.h"

/// The longest application name a list keeps.
inline constexpr qsizetype kMaxApplicationNameLength = 255;

/// Names as the user writes them: separated by ';', surrounding spaces dropped, empty names ignored.
QStringList parseApplicationNames(const QString& text);
/// The names joined with ';', as files store them.
QString joinApplicationNames(const QStringList& names);
/// A name can be kept when it has 1 to kMaxApplicationNameLength characters, all printable ASCII.
bool isValidApplicationName(const QString& name);

/// The name equals the instance or the class of the application, whatever the case.
bool applicationMatches(const QString& name, const WindowApplication& application);

/// Whether a rule with these lists may fire while `focus` has the focus. Where the focus cannot be
/// known, a rule with an "only in" list never fires and one with only a "never in" list always may.
bool applicationFilterAllows(const QStringList& onlyIn, const QStringList& neverIn, const FocusedApplication& focus);

/// "only in firefox, evince", "never in keepassxc", both joined by "; ", or empty without lists.
QString describeApplicationFilter(const QStringList& onlyIn, const QStringList& neverIn);
/// The short mark of a rule's row: "only: firefox, evince", "never: keepassxc"; empty without lists.
QString applicationFilterMark(const QStringList& onlyIn, const QStringList& neverIn);

/// A short name for the application, for messages: the instance, else the class, else "no application".
QString applicationDisplayName(const WindowApplication& application);

class SenMapping;
class SenMappingModel;

/// What becomes of the mapping where the focus cannot be known: "never fires" for an "only in" list,
/// "fires in every application" for a "never in" list alone; empty without lists.
QString focusUnknownEffect(const SenMapping& mapping);
/// One line naming the mappings that focusUnknownEffect changes, empty when there are none.
QString focusUnknownNotice(const SenMappingModel& model);
