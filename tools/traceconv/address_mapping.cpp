#include "tools/traceconv/address_mapping.hpp"

bool parse_mapping(std::string_view name, AddressMapping* mapping) {
  if (name == "fold") {
    *mapping = AddressMapping::kFold;
  } else if (name == "low16") {
    *mapping = AddressMapping::kLow16;
  } else {
    return false;
  }
  return true;
}
