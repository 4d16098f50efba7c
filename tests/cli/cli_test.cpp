#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "app/app_fixture.h"
#include "app/platform_paths.h"
#include "cli/commands.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"
#include "version.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

class CliTest : public testing::Test {
 protected:
  CliTest() : input_(dir_.Folder("in")), archive_(dir_.Folder("archive")), output_(dir_.Folder("out")) {
    io_.ProgramFolder = dir_.Folder("bin");
    WriteFile(ini_, "; the desk's settings\n[Folders]\nInput=" + input_ + "\nOutput=" + output_ +
                        "\n[Options]\nSettle=0\n");
  }
  int Run(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    return Main(arguments, io_);
  }

  test::TempDir dir_;
  std::string input_;
  std::string archive_;
  std::string output_;
  std::string ini_ = (dir_.Path() / "Quillmark.ini").string();
  std::istringstream in_;
  std::ostringstream out_;
  std::ostringstream err_;
  Console io_{.In = in_, .Out = out_, .Err = err_};
};

TEST_F(CliTest, WrongArgumentsAndFoldersThatAreNotSetOrDoNotExistGiveStatus2) {
  const std::pair<N, std::string> cases[] = {
      {N{}, "no command given"},
      {N{"frobnicate"}, "unknown command 'frobnicate'"},
      {N{"--bogus", "run"}, "unknown option '--bogus'"},
      {N{"run", "--input"}, "--input: a value is missing"},
      {N{"--after", "move", "run"}, "--after: expected delete or archive, found 'move'"},
      {N{"--accents=latin1", "run"}, "expected mac-to-windows, windows-to-mac or none"},
      {N{"--wait", "0", "watch"}, "--wait: expected whole seconds from 1 to 32000"},
      {N{"--wait=5s", "watch"}, "found '5s'"},
      {N{"run", "extra"}, "run: unexpected argument 'extra'"},
      {N{"--ini", "/nowhere/Quillmark.ini", "run"}, "does not exist"},
      {N{"inspect"}, "inspect: no file given"},
      {N{"--ini", ini_, "--after", "archive", "run"},
       "quillmark-cli: no archive folder is set: give --archive DIR, or set Archive in [Folders] of " + ini_},
      {N{"--ini", ini_, "--input", input_ + "gone\x1B[2J", "watch"},  // a message's path cannot drive the terminal
       ": Unknown input folder\n  " + input_ + "gone\\x1B[2J" + app::kFolderSeparator + "\n"}};
  for (const auto& [arguments, problem] : cases) {
    EXPECT_EQ(Run(arguments), 2) << problem;
    EXPECT_NE(err_.str().find(problem), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
  }
}

TEST_F(CliTest, RunListsEachEntryAndTheStatusAndNeverWritesTheSettingsFile) {
  WriteFile(ini_, ReadFile(ini_) + "Log=desk.log\n");  // in [Options], the last section
  const std::string settings = ReadFile(ini_);
  WriteFile(input_ + "a.jpg", "\xFF\xD8\xFF\xD9");
  EXPECT_EQ(Run({"--ini", ini_, "--archive", archive_, "--after", "archive", "run"}), 0);
  EXPECT_EQ(out_.str().substr(0, 25), "a.jpg: written, archived\n");
  EXPECT_NE(out_.str().find("\nSince: "), std::string::npos);
  EXPECT_NE(out_.str().find(" - processed: 1\nLast: "), std::string::npos);
  EXPECT_EQ(Names(archive_), N{"a.jpg"});
  EXPECT_EQ(ReadFile(ini_), settings);
  EXPECT_EQ(Run({"--ini", ini_, "--archive", archive_, "reprocess-archive", "--yes"}), 0);
  EXPECT_EQ(out_.str(), "a.jpg: moved to the input folder\n");
  // A relative Log is beside the settings file, or where systemd keeps the service's logs (Linux).
  test::SetEnvironment("LOGS_DIRECTORY", dir_.Folder("logs").c_str());
  EXPECT_EQ(Run({"--ini", ini_, "--archive", archive_, "--after", "archive", "run"}), 0);
  test::SetEnvironment("LOGS_DIRECTORY", nullptr);
#if defined(_WIN32)
  EXPECT_EQ(Names((dir_.Path() / "logs").string()), N{});
  std::istringstream log(ReadFile(dir_.Path() / "desk.log"));
  for (const char* fate : {"archived", "scan", "moved to input", "archived", "scan"}) {
#else
  EXPECT_EQ(Names((dir_.Path() / "logs").string()), N{"desk.log"});
  std::istringstream log(ReadFile(dir_.Path() / "desk.log"));
  for (const char* fate : {"archived", "scan", "moved to input"}) {
#endif
    std::string line;
    std::getline(log, line);
    const auto object = nlohmann::json::parse(line);
    EXPECT_EQ(object.value("fate", "scan"), fate) << line;
  }

  // Without --ini the file beside the program is read; a missing one is not made.
  WriteFile(input_ + "b.jpg", "b");
  EXPECT_EQ(Run({"--input", input_, "--output", output_, "--settle", "0", "run"}), 0);
  EXPECT_EQ(Names(io_.ProgramFolder.string()), N{});
  EXPECT_EQ(Names(output_), (N{"a.jpg", "b.jpg"}));

  // A written entry tells what became of its output.
  WriteFile(input_ + "c.jpg", test::Jpeg({test::App13(test::Irb(test::Iptc({{2, 5, "Vue"}}))),
                                          test::App1Xmp(test::XmpPacket(test::Description(test::kDc), 0))}));
  EXPECT_EQ(Run({"--ini", ini_, "--xmp", "sync", "run"}), 0);
  EXPECT_EQ(
      out_.str().substr(0, out_.str().find('\n')),
      "c.jpg: written, deleted; its XMP packet was kept as read: the synchronised packet is 61 bytes larger "
      "than its room");
}

// The standard output prints a name so that it can neither split a line nor pass for another name; the log
// writes it exactly, so that a program finds the file, unless it is not UTF-8.
TEST_F(CliTest, AnEntryKeptInTheInputFolderGivesStatus1AndItsNameCannotSplitALineOrPassForAnother) {
  const std::string log = (dir_.Path() / "desk.log").string();
  const std::string kept = ": written, kept in the input folder: ";
  const std::string reason = "it cannot be deleted (delete: the file is read-only)";
  const struct {
    std::string Name, Printed, Logged;
  } names[] = {
      {"locked.jpg", "locked.jpg", "\"locked.jpg\""},
#if defined(_WIN32)
      // No line break, escape or backslash in a Windows name, and no byte that is not UTF-8: its UTF-16 comes
      // as UTF-8.
      {"b\x7F\xC2\x9B.jpg", "b\\x7F\\xC2\\x9B.jpg", R"("b)" "\x7F\xC2\x9B" R"(.jpg")"},
      {"caf\xC3\xA9 \xE5\x86\x99.jpg", "caf\xC3\xA9 \xE5\x86\x99.jpg", "\"caf\xC3\xA9 \xE5\x86\x99.jpg\""}};
#else
      {"a\nb\x1B[31m\x7F.jpg", "a\\x0Ab\\x1B[31m\\x7F.jpg", R"("a\nb\u001b[31m)" "\x7F" R"(.jpg")"},
      {"a\\x0Ab.jpg", "a\\\\x0Ab.jpg", R"("a\\x0Ab.jpg")"},  // a real backslash
      {"caf\xE9 \xC3\xA9 \xC2\x9B \xE0\x80\xAF \xED\xA0\x80.jpg",  // Latin-1, UTF-8, C1, overlong, surrogate
       "caf\\xE9 \xC3\xA9 \\xC2\\x9B \\xE0\\x80\\xAF \\xED\\xA0\\x80.jpg",
       R"("caf\\xE9 é \\xC2\\x9B \\xE0\\x80\\xAF \\xED\\xA0\\x80.jpg","name_escaped":true)"}};
#endif
  std::string logged;
  for (const auto& [name, printed, logged_name] : names) {
    WriteFile(input_ + name, "\xFF\xD8\xFF\xD9");
    fs::permissions(platform::PathOf(input_ + name), fs::perms::owner_read);
    EXPECT_EQ(Run({"--ini", ini_, "--log", log, "run"}), 1);
    EXPECT_EQ(out_.str().substr(0, out_.str().find('\n')), printed + kept + reason);
    fs::permissions(platform::PathOf(input_ + name), fs::perms::owner_all);
    fs::remove(platform::PathOf(input_ + name));
    logged += R"({"event":"entry","name":)" + logged_name + R"(,"fate":"kept","written":true,"reason":")" +
              reason + "\"}\n" +
              R"({"event":"scan","processed":1,"written":1,"archived":0,"deleted":0,"kept":1,"repeated":0})"
              "\n";
  }
  // Every line of the log is one JSON object in UTF-8 (the parser refuses anything else): one per entry and
  // one per scan.
  std::istringstream lines(ReadFile(log));
  std::string objects;
  for (std::string line; std::getline(lines, line);) {
    auto object = nlohmann::ordered_json::parse(line);
    EXPECT_TRUE(std::regex_match(object["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)")));
    if (object["event"] == "entry") {
      EXPECT_TRUE(object["bytes"].is_number_unsigned() && object["ms"] >= 0) << line;
    }
    for (const char* varying : {"time", "bytes", "ms"}) object.erase(varying);
    objects += object.dump() + "\n";
  }
  EXPECT_EQ(objects, logged);

  // A log that cannot be written is said once, and the desk goes on.
  for (const char* name : {"a.jpg", "b.jpg"}) WriteFile(input_ + name, name);
  EXPECT_EQ(Run({"--ini", ini_, "--log", "/nowhere/desk.log", "run"}), 0);
  EXPECT_EQ(ReadFile(output_ + "b.jpg"), "b.jpg");
  EXPECT_EQ(err_.str(),
            "quillmark-cli: the log /nowhere/desk.log cannot be written: No such file or directory; the work "
            "goes on, and each line tries it again\n");
}

TEST_F(CliTest, AQuestionIsAnsweredByYesOrOnTheTerminalOrElseNo) {
  const struct {
    bool Yes;
    bool Terminal;
    const char* Typed;
    int Status;
  } cases[] = {{false, false, "y\n", 1},
               {true, false, "", 0},
               {false, true, "yes\n", 0},
               {false, true, "n\n", 1},
               {false, true, "", 1}};
  for (const auto& c : cases) {
    WriteFile(output_ + "a.jpg", "a");
    io_.InTerminal = c.Terminal;
    in_.clear();
    in_.str(c.Typed);
    N arguments = {"--ini", ini_, "clear-output"};
    if (c.Yes) arguments.push_back("--yes");
    EXPECT_EQ(Run(arguments), c.Status) << c.Typed;
    EXPECT_EQ(Names(output_).size(), c.Status == 0 ? 0u : 1u) << c.Typed;
    EXPECT_EQ(err_.str().rfind("Quillmark " + std::string(kAppVersion) +
                                   ": Remove all images in output folder\n  " + output_ + "\n  1 file [y/N] ",
                               0),
              0u);
  }
}

TEST_F(CliTest, WatchScansEachWaitUntilAStopAndAStopCutsAScanShortBetweenTwoImages) {
  int seconds = 0;
  io_.WaitUntil = [&](auto) {
    if (++seconds == 2) WriteFile(input_ + "late.jpg", "\xFF\xD8\xFF\xD9");
    return false;
  };
  io_.StopRequested = [&] { return seconds >= 4; };
  EXPECT_EQ(Run({"--ini", ini_, "--wait", "1", "watch"}), 1);  // ended by a signal
  EXPECT_EQ(out_.str().find("late.jpg: written, deleted\n"), out_.str().find("late.jpg"));
  EXPECT_EQ(Names(output_), N{"late.jpg"});

  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteFile(input_ + name, name);
  io_.StopRequested = [&] { return Names(output_).size() > 1; };  // late.jpg, and the first in the making
  EXPECT_EQ(Run({"--ini", ini_, "run"}), 1);
  EXPECT_EQ(Names(input_).size(), 2u);
  EXPECT_NE(out_.str().find("Last: "), std::string::npos);
}

// The inspect command, on images that hold only an IPTC block.
class InspectCommandTest : public CliTest {
 protected:
  std::string Put(const std::string& name, std::initializer_list<test::Dataset> datasets) const {
    WriteFile(input_ + name, test::Jpeg({test::App13(test::Irb(test::Iptc(datasets)))}));
    return input_ + name;
  }
};

// The bytes of an image never drive the terminal: controls and the bytes Windows-1252 leaves undefined show
// as "\xNN", except with --raw.
TEST_F(InspectCommandTest, PrintsTheFieldsInUtf8WithControlsEscapedOrAsStoredAndTheVerdict) {
  const std::string odd = "\x1B[31m\x07 tab\tu\x9D line\rnext \x7F";
  const std::string mac = Put("mac.jpg", {{2, 5, "Paris"}, {2, 120, "Caf\x8E " + odd}});
  EXPECT_EQ(Run({"inspect", mac}), 0);
  EXPECT_EQ(out_.str(),
            "Object Name: Paris\nCaption: Caf\xC5\xBD \\x1B[31m\\x07 tab\tu\\x9D line\nnext \\x7F\n"
            "IPTC metadata (expected Macintosh coding)\n");
  EXPECT_EQ(Run({"inspect", "--raw", mac}), 0);
  EXPECT_EQ(out_.str(), "Object Name: Paris\r\nCaption: Caf\x8E " + odd +
                            "\r\nIPTC metadata (expected Macintosh coding)\n");
  EXPECT_EQ(err_.str(), "");
  // A block that declares UTF-8 is shown as UTF-8, its C1 controls escaped too.
  const std::string utf8 =
      Put("utf8.jpg", {{1, 90, "\x1B%G"}, {2, 120, "l\xE2\x80\x99\xC3\xA9t\xC3\xA9 \xC2\x9B"}});
  EXPECT_EQ(Run({"inspect", utf8}), 0);
  EXPECT_EQ(out_.str(), "Caption: l\xE2\x80\x99\xC3\xA9t\xC3\xA9 \\x9B\nIPTC metadata (UTF-8 coding)\n");
}

// A truncated block shows the fields before the cut.
TEST_F(InspectCommandTest, ReadsEveryFileAndSaysWhichCouldNotBeReadOrWhereItsBlockIsCut) {
  const std::string windows = Put("win.jpg", {{2, 90,
                                               "Orl\xE9"
                                               "ans"}});
  const std::string plain = input_ + "plain.jpg";
  WriteFile(plain, test::Jpeg({test::App1Exif()}));
  const std::string cut = Put("cut.jpg", {{2, 5, "Paris"}, {2, 120, std::string(300, 'c')}});
  std::string bytes = ReadFile(cut);
  const std::size_t caption = bytes.find(std::string(300, 'c'));
  bytes.resize(caption + 41);
  WriteFile(cut, bytes);
  EXPECT_EQ(Run({"inspect", cut}), 1);
  EXPECT_EQ(Run({"inspect", windows, input_ + "gone.jpg", input_, plain, cut}), 1);
  EXPECT_EQ(out_.str(), "==> " + windows +
                            " <==\nCity: Orl\xC3\xA9"
                            "ans\nIPTC metadata (expected Windows coding)\n" +
                            "\n==> " + plain + " <==\nNo IPTC metadata\n" + "\n==> " + cut +
                            " <==\nObject Name: Paris\nIPTC metadata (expected Windows coding)\n");
  EXPECT_EQ(err_.str(), "quillmark-cli: " + input_ + "gone.jpg: no such file\nquillmark-cli: " + input_ +
                            ": not a regular file\nquillmark-cli: " + cut + ": the IPTC dataset at offset " +
                            std::to_string(caption - 5) +
                            " runs past the end of its data; the fields before it follow\n");
}

}  // namespace
}  // namespace qm::cli
