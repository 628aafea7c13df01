#pragma once

#include <QString>

class SenMapping;
class SenMappingModel;

/// What `senkey-run --check` prints: each rule with its conditions and what it emits, one line each.
QString describeMapping(int index, const SenMapping& mapping);
QString describeMappings(const SenMappingModel& model);
