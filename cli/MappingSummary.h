#pragma once

#include <QString>

class SenMapping;
class SenMappingModel;

/// What `senkey-run --check` prints: each rule with its conditions and what it emits, one line each.
/// `focusKnown`: whether the application in focus can be known here, which the application lists need.
QString describeMapping(int index, const SenMapping& mapping, bool focusKnown = true);
QString describeMappings(const SenMappingModel& model, bool focusKnown = true);
