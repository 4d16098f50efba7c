#include "inspector/field_text.h"

#include <gtest/gtest.h>

namespace qm::inspector {
namespace {

TEST(FieldText, ShowsEveryFieldUnderItsLabelWithContactAfterCredit) {
  engine::IptcFields fields;
  EXPECT_EQ(BuildFieldText(fields), "");
  int n = 0;
  for (const DisplayRow& row : kDisplayRows) fields.*row.Field = "v" + std::to_string(++n);
  fields.Others = "Segment 12: x\r\nSegment 200: y\r\n";
  EXPECT_EQ(
      BuildFieldText(fields),
      "Object Name: v1\r\nEdit Status: v2\r\nPriority: v3\r\nCategory: v4\r\n"
      "Supplemental Category: v5\r\nFixture Identifier: v6\r\nKeywords: v7\r\nRelease Date: v8\r\n"
      "Release Time: v9\r\nSpecial Instructions: v10\r\nReference Service: v11\r\nReference Date: v12\r\n"
      "Reference Number: v13\r\nCreated Date: v14\r\nCreated Time: v15\r\nOriginating Program: v16\r\n"
      "Program Version: v17\r\nObject Cycle: v18\r\nByline: v19\r\nByline Title: v20\r\nCity: v21\r\n"
      "Province/State: v22\r\nCountry Code: v23\r\nCountry: v24\r\n"
      "Original Transmission Reference: v25\r\nHeadline: v26\r\nCredit: v27\r\nContact: v28\r\n"
      "Source: v29\r\nCopyright: v30\r\nCaption: v31\r\nLocal Caption: v32\r\nCaption Writer: v33\r\n"
      "Image Type: v34\r\nOthers: Segment 12: x\r\nSegment 200: y\r\n\r\n");
}

}  // namespace
}  // namespace qm::inspector
