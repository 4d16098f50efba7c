#pragma once

#include <string>

namespace qm::engine {

/// The 35 IPTC text fields of the current image, as 8-bit text in the Windows coding (one character per
/// byte). Values are trimmed of spaces; joined fields gather repeated datasets with "; "; the others keep the
/// last occurrence. `Others` holds one line "Segment N: value\r\n" for every other record-2 dataset but 2:00.
struct IptcFields {
  std::string ObjectName;                     // 2:05
  std::string EditStatus;                     // 2:07
  std::string Priority;                       // 2:10
  std::string Category;                       // 2:15
  std::string SupplementalCategory;           // 2:20, joined
  std::string FixtureIdentifier;              // 2:22
  std::string Keywords;                       // 2:25, joined
  std::string ReleaseDate;                    // 2:30
  std::string ReleaseTime;                    // 2:35
  std::string SpecialInstructions;            // 2:40
  std::string ReferenceService;               // 2:45, joined
  std::string ReferenceDate;                  // 2:47, joined
  std::string ReferenceNumber;                // 2:50, joined
  std::string CreatedDate;                    // 2:55
  std::string CreatedTime;                    // 2:60
  std::string OriginatingProgram;             // 2:65
  std::string ProgramVersion;                 // 2:70
  std::string ObjectCycle;                    // 2:75
  std::string Byline;                         // 2:80, joined
  std::string BylineTitle;                    // 2:85, joined
  std::string City;                           // 2:90
  std::string ProvinceState;                  // 2:95
  std::string CountryCode;                    // 2:100
  std::string Country;                        // 2:101
  std::string OriginalTransmissionReference;  // 2:103
  std::string Headline;                       // 2:105
  std::string Credit;                         // 2:110
  std::string Source;                         // 2:115
  std::string Copyright;                      // 2:116
  std::string Contact;                        // 2:118
  std::string Caption;                        // 2:120
  std::string LocalCaption;                   // 2:121
  std::string CaptionWriter;                  // 2:122, joined
  std::string ImageType;                      // 2:130
  std::string Others;                         // every other record-2 dataset except 2:00

  /// Empties all 35 fields.
  void Clear() { *this = IptcFields(); }
  bool operator==(const IptcFields&) const = default;
};

}  // namespace qm::engine
