#include "inspector/field_text.h"

namespace qm::inspector {

using engine::IptcFields;

const std::array<DisplayRow, 35> kDisplayRows = {{
    {"Object Name: ", &IptcFields::ObjectName},
    {"Edit Status: ", &IptcFields::EditStatus},
    {"Priority: ", &IptcFields::Priority},
    {"Category: ", &IptcFields::Category},
    {"Supplemental Category: ", &IptcFields::SupplementalCategory},
    {"Fixture Identifier: ", &IptcFields::FixtureIdentifier},
    {"Keywords: ", &IptcFields::Keywords},
    {"Release Date: ", &IptcFields::ReleaseDate},
    {"Release Time: ", &IptcFields::ReleaseTime},
    {"Special Instructions: ", &IptcFields::SpecialInstructions},
    {"Reference Service: ", &IptcFields::ReferenceService},
    {"Reference Date: ", &IptcFields::ReferenceDate},
    {"Reference Number: ", &IptcFields::ReferenceNumber},
    {"Created Date: ", &IptcFields::CreatedDate},
    {"Created Time: ", &IptcFields::CreatedTime},
    {"Originating Program: ", &IptcFields::OriginatingProgram},
    {"Program Version: ", &IptcFields::ProgramVersion},
    {"Object Cycle: ", &IptcFields::ObjectCycle},
    {"Byline: ", &IptcFields::Byline},
    {"Byline Title: ", &IptcFields::BylineTitle},
    {"City: ", &IptcFields::City},
    {"Province/State: ", &IptcFields::ProvinceState},
    {"Country Code: ", &IptcFields::CountryCode},
    {"Country: ", &IptcFields::Country},
    {"Original Transmission Reference: ", &IptcFields::OriginalTransmissionReference},
    {"Headline: ", &IptcFields::Headline},
    {"Credit: ", &IptcFields::Credit},
    {"Contact: ", &IptcFields::Contact},
    {"Source: ", &IptcFields::Source},
    {"Copyright: ", &IptcFields::Copyright},
    {"Caption: ", &IptcFields::Caption},
    {"Local Caption: ", &IptcFields::LocalCaption},
    {"Caption Writer: ", &IptcFields::CaptionWriter},
    {"Image Type: ", &IptcFields::ImageType},
    {"Others: ", &IptcFields::Others},
}};

std::string BuildFieldText(const IptcFields& fields) {
  std::string text;
  for (const DisplayRow& row : kDisplayRows) {
    const std::string& value = fields.*row.Field;
    if (value.empty()) continue;
    text += row.Label;
    text += value;
    text += "\r\n";
  }
  return text;
}

}  // namespace qm::inspector
