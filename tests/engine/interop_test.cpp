// ExifTool and ImageMagick write real files; ExifTool and djpeg read ours back.
#include <gtest/gtest.h>
#include <nettle/md5.h>

#include <cstdio>
#include <filesystem>

#include "engine/process_image.h"
#include "engine/xmp_document.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"

namespace qm::engine {
namespace {

// The command's standard output and errors; the test fails when it exits with an error (or is missing:
// scripts/install-deps installs exiftool, convert and djpeg).
std::string Shell(const std::string& command) {
  std::string out;
  char chunk[4096];
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  for (std::size_t n; pipe && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
  EXPECT_TRUE(pipe && pclose(pipe) == 0) << command << "\n" << out;
  return out;
}

class Interop : public testing::Test {
 protected:
  void SetUp() override {
    // A real JPEG with camera data, Macintosh-coded IPTC with its digest and an XMP packet with ExifTool's
    // padding.
    Shell("convert -size 160x120 gradient:orange-navy -quality 90 " + in_ + "a.jpg");
    Shell(
        "exiftool -q -overwrite_original -charset iptc=MacRoman \"-IPTC:ObjectName=Vue d'été\" "
        "-IPTC:City=Orléans '-IPTC:Caption-Abstract=Café à Paris, « ça » & <b>' -IPTC:Keywords=été "
        "-IPTC:Keywords=b -IPTC:By-line=Anne -IPTC:By-line=Bruno -IPTC:DateCreated=2003:12:25 "
        "-XMP-dc:Title=Old -XMP-photoshop:City=Old -XMP-dc:Subject=x -XMP-dc:Format=image/jpeg "
        "-EXIF:Artist=Jean -EXIF:Make=Camera -IPTCDigest=new " +
        in_ + "a.jpg");
  }

  ProcessOutcome Process(std::string_view name) {
    return ProcessImage(name, settings_, fields_, buffer_).Outcome;
  }

  // The tags as ExifTool reads them in one run, tab-separated: IPTC in the Windows coding, "-" for none.
  std::string Tags(const std::string& file, const std::string& tags) {
    const std::string line = Shell("exiftool -T -sep '|' -charset iptc=cp1252 " + tags + " " + file);
    return line.substr(0, line.find_last_not_of('\n') + 1);
  }

  std::string Pixels(const std::string& file) { return Shell("djpeg -pnm " + file); }

  test::TempDir dir_;
  std::string in_ = dir_.Folder("in");
  std::string out_ = dir_.Folder("out");
  coding::AccentTable table_ = coding::BuildMacToWindows();
  std::shared_ptr<XmpDocument> document_ = CreateXmpDocument();
  ProcessSettings settings_{
      .InputFolder = in_, .OutputFolder = out_, .ActiveAccentTable = &table_, .Document = document_.get()};
  IptcFields fields_;
  std::vector<std::uint8_t> buffer_;
};

TEST_F(Interop, ExifToolReadsTheRecodedIptcAndTheSynchronisedPacketAndThePixelsStay) {
  settings_.SynchronizeXMP = true;
  ASSERT_EQ(Process("a.jpg"), ProcessOutcome::kWritten);
  EXPECT_EQ(std::filesystem::file_size(out_ + "a.jpg"), std::filesystem::file_size(in_ + "a.jpg"));
  EXPECT_EQ(Tags(out_ + "a.jpg",
                 "-IPTC:City -IPTC:ObjectName -IPTC:Caption-Abstract -IPTC:Keywords -XMP-dc:Title "
                 "-XMP-photoshop:City -XMP-dc:Description -XMP-dc:Subject -XMP-dc:Creator "
                 "-XMP-photoshop:DateCreated -XMP-dc:Format -EXIF:Artist -Warning"),
            "Orléans\tVue d'été\tCafé à Paris, « ça » & <b>\tété|b\tVue d'été\tOrléans\t"
            "Café à Paris, « ça » & <b>\tété|b\tAnne; Bruno\t2003:12:25\timage/jpeg\tJean\t-");
  EXPECT_EQ(Pixels(in_ + "a.jpg"), Pixels(out_ + "a.jpg"));
  // The digest of the IPTC block was renewed with the recoded bytes (else ExifTool warns that it is stale).
  EXPECT_EQ(Tags(out_ + "a.jpg", "-IPTCDigest"), Tags(out_ + "a.jpg", "-CurrentIPTCDigest"));

  // The packet ExifTool wrote survives our round trip: a second run without recoding changes no byte.
  const std::string first = test::ReadFile(out_ + "a.jpg");
  std::filesystem::rename(out_ + "a.jpg", in_ + "b.jpg");
  const coding::AccentTable identity = coding::IdentityTable();
  settings_.ActiveAccentTable = &identity;
  ASSERT_EQ(Process("b.jpg"), ProcessOutcome::kWritten);
  EXPECT_EQ(test::ReadFile(out_ + "b.jpg"), first);
}

TEST_F(Interop, AfterRemovalExifToolFindsNoPacketAndTheCameraDataIntact) {
  settings_.RemoveXMP = true;
  ASSERT_EQ(Process("a.jpg"), ProcessOutcome::kWritten);
  EXPECT_EQ(Tags(in_ + "a.jpg", "-XMP-dc:Title"), "Old");
  EXPECT_EQ(Shell("exiftool -XMP:all " + out_ + "a.jpg"), "");
  EXPECT_EQ(Tags(out_ + "a.jpg", "-EXIF:Artist -EXIF:Make -IPTC:City -Warning"), "Jean\tCamera\tOrléans\t-");
  EXPECT_EQ(Pixels(in_ + "a.jpg"), Pixels(out_ + "a.jpg"));
}

// Photoshop splits a resource block larger than a segment over consecutive APP13 segments, and readers join
// them. The digest may then lie in another segment than the IPTC resource, before it, and the IPTC data may
// run on into the next segment: after the recoding ExifTool still finds the digest current.
TEST_F(Interop, TheIptcDigestOfABlockSplitOverTwoSegmentsIsRenewed) {
  using test::Irb;
  const std::string iptc = test::Iptc({{2, 120, std::string(300, 'c') + "Caf\x8E"},
                                       {2, 90,
                                        "Orl\x8E"
                                        "ans"}});
  std::string md5(MD5_DIGEST_SIZE, '\0');
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, iptc.size(), reinterpret_cast<const std::uint8_t*>(iptc.data()));
  md5_digest(&context, md5.size(), reinterpret_cast<std::uint8_t*>(md5.data()));
  const std::string digest = Irb(md5, "", 0x0425);
  const std::string thumbnail = Irb(std::string(500, 't'), "", 0x040C);
  // The resources, and where the block is cut into its two segments: in the thumbnail, which leaves the
  // digest in the first segment and the IPTC resource in the second; in the IPTC data.
  const std::pair<std::string, std::size_t> blocks[] = {{digest + thumbnail + Irb(iptc), digest.size() + 200},
                                                        {digest + Irb(iptc), digest.size() + 100}};
  for (const auto& [block, cut] : blocks) {
    test::WriteFile(in_ + "split.jpg",
                    test::Jpeg({test::App13(block.substr(0, cut)), test::App13(block.substr(cut))}));
    ASSERT_EQ(Tags(in_ + "split.jpg", "-IPTCDigest"), Tags(in_ + "split.jpg", "-CurrentIPTCDigest"));
    ASSERT_EQ(Process("split.jpg"), ProcessOutcome::kWritten);
    EXPECT_EQ(Tags(out_ + "split.jpg", "-IPTC:City -Warning"), "Orléans\t-") << cut;
    EXPECT_EQ(Tags(out_ + "split.jpg", "-IPTCDigest"), Tags(out_ + "split.jpg", "-CurrentIPTCDigest")) << cut;
  }
}

}  // namespace
}  // namespace qm::engine
