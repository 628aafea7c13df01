#pragma once

#include <QList>
#include <QString>

class SenMapping;

/// The keys a hot-key mapping presses, in press order: Control, Alt, Shift, Meta and Enter for the
/// flags that are set, then always the hot key itself (even 0).
QList<int> hotKeyCombo(const SenMapping& mapping);

/// How the mapping table shows a mapping's keys: the key string (or click label) unchanged, or for a
/// hot key the names of its modifiers and key joined with " + ". The Enter flag is not shown.
QString keysDisplayText(const SenMapping& mapping);
