// C's own sscanf("%d %d %d") driven record by record: the reference that the
// scanner is compared with in tests and fuzzing. Valid only for numbers
// inside the signed 32-bit range, where C's behaviour is defined.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ScannedRecord {
  int converted;
  int proc, first, second;
  bool operator==(const ScannedRecord&) const = default;
};

inline std::vector<ScannedRecord> scan_with_sscanf(const std::string& text) {
  std::vector<ScannedRecord> records;
  int fields[3] = {0, 0, 0};
  const char* cursor = text.c_str();
  for (;;) {
    int consumed = -1;
    int converted = sscanf(cursor, "%d %d %d%n", &fields[0], &fields[1], &fields[2], &consumed);
    if (converted <= 0) break;
    records.push_back({converted, fields[0], fields[1], fields[2]});
    if (converted < 3) break;
    cursor += consumed;
  }
  return records;
}
