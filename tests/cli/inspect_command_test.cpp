#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"

namespace qm::cli {
namespace {

using test::Iptc;

class InspectCommandTest : public testing::Test {
 protected:
  InspectCommandTest() { io_.ProgramFolder = dir_.Folder("bin"); }

  int Run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    return Main(arguments, io_);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + name;
    test::WriteFile(path, bytes);
    return path;
  }
  static std::string Image(std::initializer_list<test::Dataset> datasets) {
    return test::Jpeg({test::App13(test::Irb(Iptc(datasets)))});
  }

  test::TempDir dir_;
  std::string folder_ = dir_.Folder("photos");
  std::istringstream in_;
  std::ostringstream out_;
  std::ostringstream err_;
  Console io_{.In = in_, .Out = out_, .Err = err_};
};

// The bytes of an image never drive the terminal: controls and the bytes Windows-1252 leaves undefined show
// as "\xNN", except with --raw.
TEST_F(InspectCommandTest, PrintsTheFieldsInUtf8WithControlsEscapedOrAsStoredAndTheVerdict) {
  const std::string odd = "\x1B[31m\x07 tab\tu\x9D line\rnext \x7F";
  const std::string mac = Put("mac.jpg", Image({{2, 5, "Paris"}, {2, 120, "Caf\x8E " + odd}}));
  EXPECT_EQ(Run({"inspect", mac}), 0);
  EXPECT_EQ(out_.str(),
            "Object Name: Paris\nCaption: Caf\xC5\xBD \\x1B[31m\\x07 tab\tu\\x9D line\nnext \\x7F\n"
            "IPTC metadata (expected Macintosh coding)\n");
  EXPECT_EQ(Run({"inspect", "--raw", mac}), 0);
  EXPECT_EQ(out_.str(), "Object Name: Paris\r\nCaption: Caf\x8E " + odd +
                            "\r\nIPTC metadata (expected Macintosh coding)\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(InspectCommandTest, ReadsEveryFileAndSaysWhichCouldNotBeRead) {
  const std::string windows = Put("win.jpg", Image({{2, 90,
                                                     "Orl\xE9"
                                                     "ans"}}));
  const std::string plain = Put("plain.jpg", test::Jpeg({test::App1Exif()}));
  EXPECT_EQ(Run({"inspect", windows, folder_ + "gone.jpg", folder_, plain}), 1);
  EXPECT_EQ(out_.str(), "==> " + windows +
                            " <==\nCity: Orl\xC3\xA9"
                            "ans\nIPTC metadata (expected Windows coding)\n" +
                            "\n==> " + plain + " <==\nNo IPTC metadata\n");
  EXPECT_EQ(err_.str(), "quillmark-cli: " + folder_ + "gone.jpg: no such file\nquillmark-cli: " + folder_ +
                            ": not a regular file\n");
}

TEST_F(InspectCommandTest, ATruncatedBlockShowsTheFieldsBeforeTheCut) {
  std::string bytes = Image({{2, 5, "Paris"}, {2, 120, std::string(300, 'c')}});
  const std::size_t caption = bytes.find(std::string(300, 'c'));
  bytes.resize(caption + 41);
  const std::string cut = Put("cut.jpg", bytes);
  EXPECT_EQ(Run({"inspect", cut}), 1);
  EXPECT_EQ(out_.str(), "Object Name: Paris\nIPTC metadata (expected Windows coding)\n");
  EXPECT_EQ(err_.str(), "quillmark-cli: " + cut + ": the IPTC dataset at offset " +
                            std::to_string(caption - 5) +
                            " runs past the end of its data; the fields before it follow\n");
}

}  // namespace
}  // namespace qm::cli
