#include "tools/trace_findings.hpp"

const char* const kFieldNames[kRecordFields] = {"the process", "the first address",
                                                "the second address"};

std::string partial_record_text(int converted, const int32_t fields[kRecordFields],
                                bool first_record) {
  std::string names, values;
  for (int field = converted; field < kRecordFields; ++field) {
    const char* joint = field == converted ? "" : " and ";
    names += joint + std::string(kFieldNames[field]);
    values += joint + std::to_string(fields[field]);
  }
  const bool several = kRecordFields - converted > 1;
  if (first_record) return names + (several ? " are" : " is") + " 0: there is no record before";
  return names + (several ? " keep " : " keeps ") + values + " from the record before";
}

std::string stop_text(ScanStop stop, const std::string& word) {
  return "pagesim stops reading here: \"" + word + "\" " +
         (stop == ScanStop::kNotANumber ? "is not a number" : "is outside the signed 32-bit range");
}
