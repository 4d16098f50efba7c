#pragma once

#include <array>
#include <string>

#include "engine/iptc_fields.h"

namespace qm::inspector {

/// One line of the inspector's field text: its label and the field it shows.
struct DisplayRow {
  const char* Label;
  std::string engine::IptcFields::*Field;
};

/// The 35 rows in display order: by dataset number, except that Contact (2:118) follows Credit (2:110).
extern const std::array<DisplayRow, 35> kDisplayRows;

/// The inspector's text for the fields: one line per non-empty field, its label then its value, each line
/// ending with CR LF. `Others` already ends its own lines, so its first one follows the label and the text
/// ends with an empty line. Values are shown as stored, line breaks inside them included. No field gives "".
std::string BuildFieldText(const engine::IptcFields& fields);

}  // namespace qm::inspector
