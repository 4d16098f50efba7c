// ExifTool and ImageMagick write real files; ExifTool and djpeg read ours back.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "engine/process_image.h"
#include "engine/xmp_document.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::engine {
namespace {

// The command's standard output; the test fails when it exits with an error.
std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  std::array<char, 4096> chunk{};
  while (const std::size_t n = fread(chunk.data(), 1, chunk.size(), pipe)) out.append(chunk.data(), n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << command << "\n" << out;
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void RequireTool(const char* tool, const char* package) {
  const int status = std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str());
  ASSERT_EQ(status, 0) << tool << " is missing: scripts/install-deps installs " << package;
}

class Interop : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RequireTool("exiftool", "libimage-exiftool-perl"));
    ASSERT_NO_FATAL_FAILURE(RequireTool("convert", "imagemagick"));
    ASSERT_NO_FATAL_FAILURE(RequireTool("djpeg", "libjpeg-turbo-progs"));
    // A real JPEG with Exif data, Macintosh-coded IPTC and an XMP packet with ExifTool's padding.
    Shell("convert -size 160x120 gradient:orange-navy -quality 90 " + Quoted(in_ + "a.jpg"));
    Shell("exiftool -q -overwrite_original -charset iptc=MacRoman " + Quoted("-IPTC:ObjectName=Vue d'été") +
        " -IPTC:City=Orléans " + Quoted("-IPTC:Caption-Abstract=Café à Paris, « ça » & <b>") +
        " -IPTC:Keywords=été -IPTC:Keywords=b -IPTC:By-line=Anne -IPTC:By-line=Bruno -IPTC:DateCreated=2003:12:25"
        " -XMP-dc:Title=Old -XMP-photoshop:City=Old -XMP-dc:Subject=x -XMP-dc:Format=image/jpeg"
        " -EXIF:Artist=Jean -EXIF:Make=Camera " +
        Quoted(in_ + "a.jpg"));
    settings_.InputFolder = in_;
    settings_.OutputFolder = out_;
    settings_.ActiveAccentTable = &table_;
    settings_.Document = document_.get();
  }

  std::string Tag(const std::string& tag, const std::string& file, const std::string& options = "") {
    std::string value = Shell("exiftool -s3 -sep '|' " + options + " " + tag + " " + Quoted(file));
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }

  test::TempDir dir_;
  std::string in_ = dir_.Folder("in");
  std::string out_ = dir_.Folder("out");
  coding::AccentTable table_ = coding::BuildMacToWindows();
  std::shared_ptr<XmpDocument> document_ = CreateXmpDocument();
  ProcessSettings settings_;
  IptcFields fields_;
  std::vector<std::uint8_t> buffer_;
  test::RecordingView view_;
};

TEST_F(Interop, ExifToolReadsTheRecodedIptcAndTheSynchronisedPacketAndThePixelsStay) {
  settings_.SynchronizeXMP = true;
  const std::string before = test::ReadFile(in_ + "a.jpg");
  ASSERT_EQ(ProcessImage("a.jpg", settings_, fields_, buffer_, view_).Outcome, ProcessOutcome::kWritten);
  const std::string output = out_ + "a.jpg";
  EXPECT_EQ(test::ReadFile(output).size(), before.size());
  EXPECT_EQ(fields_.City, "Orl\xE9" "ans");

  const std::string windows = "-charset iptc=cp1252";
  EXPECT_EQ(Tag("-IPTC:City", output, windows), "Orléans");
  EXPECT_EQ(Tag("-IPTC:ObjectName", output, windows), "Vue d'été");
  EXPECT_EQ(Tag("-IPTC:Caption-Abstract", output, windows), "Café à Paris, « ça » & <b>");
  EXPECT_EQ(Tag("-IPTC:Keywords", output, windows), "été|b");

  EXPECT_EQ(Tag("-XMP-dc:Title", output), "Vue d'été");
  EXPECT_EQ(Tag("-XMP-photoshop:City", output), "Orléans");
  EXPECT_EQ(Tag("-XMP-dc:Description", output), "Café à Paris, « ça » & <b>");
  EXPECT_EQ(Tag("-XMP-dc:Subject", output), "été|b");
  EXPECT_EQ(Tag("-XMP-dc:Creator", output), "Anne; Bruno");
  EXPECT_EQ(Tag("-XMP-photoshop:DateCreated", output), "2003:12:25");
  EXPECT_EQ(Tag("-XMP-dc:Format", output), "image/jpeg");
  EXPECT_EQ(Tag("-EXIF:Artist", output), "Jean");
  EXPECT_EQ(Tag("-Warning", output), "");

  EXPECT_EQ(Shell("djpeg -pnm " + Quoted(in_ + "a.jpg")), Shell("djpeg -pnm " + Quoted(output)));
}

TEST_F(Interop, TheSecondRunOverTheOutputChangesNoPacketByte) {
  settings_.SynchronizeXMP = true;
  ASSERT_EQ(ProcessImage("a.jpg", settings_, fields_, buffer_, view_).Outcome, ProcessOutcome::kWritten);
  const std::string first = test::ReadFile(out_ + "a.jpg");
  std::filesystem::rename(out_ + "a.jpg", in_ + "b.jpg");
  const coding::AccentTable identity = coding::IdentityTable();
  settings_.ActiveAccentTable = &identity;
  ASSERT_EQ(ProcessImage("b.jpg", settings_, fields_, buffer_, view_).Outcome, ProcessOutcome::kWritten);
  EXPECT_EQ(test::ReadFile(out_ + "b.jpg"), first);
}

TEST_F(Interop, AfterRemovalExifToolFindsNoPacketAndTheCameraDataIntact) {
  settings_.RemoveXMP = true;
  ASSERT_EQ(ProcessImage("a.jpg", settings_, fields_, buffer_, view_).Outcome, ProcessOutcome::kWritten);
  const std::string output = out_ + "a.jpg";
  EXPECT_EQ(Tag("-XMP:all", output), "");
  EXPECT_EQ(Tag("-EXIF:Artist", output), "Jean");
  EXPECT_EQ(Tag("-EXIF:Make", output), "Camera");
  EXPECT_EQ(Tag("-IPTC:City", output, "-charset iptc=cp1252"), "Orléans");
  EXPECT_EQ(Tag("-Warning", output), "");
  EXPECT_EQ(Shell("djpeg -pnm " + Quoted(in_ + "a.jpg")), Shell("djpeg -pnm " + Quoted(output)));
}

}  // namespace
}  // namespace qm::engine
