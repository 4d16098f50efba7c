// The engine's figures on this machine. Compare figures measured in the same run only: the machine is shared.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/image_edit.h"
#include "engine/iptc_block.h"
#include "engine/jpeg_segments.h"
#include "engine/process_image.h"
#include "engine/xmp_document.h"
#include "engine/xmp_packet.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

// Entropy-coded data as a camera writes it: random bytes, each 0xFF followed by a stuffed 0x00.
std::string ImageBody(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string body = "\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00"s;
  body.reserve(size + 2);
  while (body.size() < size) {
    const auto byte = static_cast<char>(random() & 0xFF);
    body.push_back(byte);
    if (byte == '\xFF') body.push_back('\0');
  }
  return body + "\xFF\xD9";
}

// A camera JPEG of about 5 MB: Exif, Macintosh-coded IPTC, an XMP packet with ExifTool's 2 KB of padding.
std::string CameraJpeg() {
  const std::string packet = test::XmpPacket(
      test::Description(test::kDc,
                        "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li></rdf:Alt>"
                        "</dc:title><dc:subject><rdf:Bag><rdf:li>a</rdf:li></rdf:Bag></dc:subject>") +
          test::Description(test::kPhotoshop, "<photoshop:City>Old</photoshop:City>"),
      2400);
  const std::string block = test::App13(test::Irb(test::Iptc({{1, 90, "\x1B%A"},
                                                              {2, 5, "Vue d'\x88t\x8E"},
                                                              {2, 25,
                                                               "\x8E"
                                                               "t\x8E"},
                                                              {2, 25, "plage"},
                                                              {2, 80, "Anne Photographe"},
                                                              {2, 90,
                                                               "Orl\x8E"
                                                               "ans"},
                                                              {2, 101, "France"},
                                                              {2, 120, std::string(400, 'c') + "\x8E"}})));
  return "\xFF\xD8"s + test::App1Exif() + block + test::App1Xmp(packet) + ImageBody(5'000'000, 1);
}

// 24 MB of image data without any metadata: both searches scan it whole.
const std::vector<std::uint8_t>& NoMetadata() {
  static const auto image = test::Bytes("\xFF\xD8"s + ImageBody(24 << 20, 2));
  return image;
}

// 24 MB of marker pairs, each claiming the largest segment; a signature or packet header, if any, at the end.
std::vector<std::uint8_t> Crafted(const std::string& pair, const std::string& end) {
  std::string bytes = "\xFF\xD8";
  while (bytes.size() < (24u << 20)) bytes += pair;
  return test::Bytes(bytes + end);
}

const std::vector<std::uint8_t>& CraftedFfEd() {
  static const auto image = Crafted("\xFF\xED\xFF\xFF", "");
  return image;
}

const std::vector<std::uint8_t>& CraftedFfEdSignatureAtTheEnd() {
  static const auto image = Crafted("\xFF\xED\xFF\xFF", "8BIM\x04\x04" + std::string(10, '\0'));
  return image;
}

const std::vector<std::uint8_t>& CraftedFfE1() {
  static const auto image = Crafted("\xFF\xE1\xFF\xFF", "");
  return image;
}

void Search(benchmark::State& state, const std::vector<std::uint8_t>& image, bool iptc);

void BM_IptcSearchWithoutMetadata(benchmark::State& state) { Search(state, NoMetadata(), true); }
BENCHMARK(BM_IptcSearchWithoutMetadata)->UseRealTime();

void BM_XmpSearchWithoutMetadata(benchmark::State& state) { Search(state, NoMetadata(), false); }
BENCHMARK(BM_XmpSearchWithoutMetadata)->UseRealTime();

void Search(benchmark::State& state, const std::vector<std::uint8_t>& image, bool iptc) {
  for (auto _ : state) {
    if (iptc) {
      benchmark::DoNotOptimize(FindIptcResource(image, true));
    } else {
      benchmark::DoNotOptimize(FindXmpSegment(image, true));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

void BM_IptcSearchCraftedFfEd(benchmark::State& state) { Search(state, CraftedFfEd(), true); }
BENCHMARK(BM_IptcSearchCraftedFfEd)->UseRealTime();

void BM_IptcSearchCraftedFfEdSignatureAtTheEnd(benchmark::State& state) {
  Search(state, CraftedFfEdSignatureAtTheEnd(), true);
}
BENCHMARK(BM_IptcSearchCraftedFfEdSignatureAtTheEnd)->UseRealTime();

void BM_XmpSearchCraftedFfE1(benchmark::State& state) { Search(state, CraftedFfE1(), false); }
BENCHMARK(BM_XmpSearchCraftedFfE1)->UseRealTime();

// A file that is no JPEG image, holding a packet of 1 MB whose description declares tens of thousands of
// namespaces, each with a property attribute of the local name City: a lookup that walked the declarations
// for each attribute would take seconds.
const std::vector<std::uint8_t>& CraftedNamespaces() {
  static const auto image = [] {
    std::string packet =
        "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' " +
        std::string(test::kDc) + " " + std::string(test::kPhotoshop);
    for (int i = 0; packet.size() < 1000000; ++i) {
      const std::string n = std::to_string(i);
      packet += " xmlns:n" + n + "='u:" + n + "' n" + n + ":City='x'";
    }
    packet += "/></rdf:RDF></x:xmpmeta>\n" + std::string(4000, ' ') + "<?xpacket end='w'?>";
    return test::Bytes("8BPS" + std::string(29, '-') + packet + "TAIL");
  }();
  return image;
}

void BM_SynchronizeCraftedNamespaces(benchmark::State& state) {
  static const coding::AccentTable table = coding::IdentityTable();
  ProcessSettings settings;
  settings.ActiveAccentTable = &table;
  settings.SynchronizeXMP = true;
  IptcFields fields;
  fields.City = "Paris";
  std::vector<std::uint8_t> image;
  for (auto _ : state) {
    image = CraftedNamespaces();
    OutputPlan plan;
    if (EditImage(image, settings, fields, plan).Outcome != ProcessOutcome::kWritten) {
      state.SkipWithError("not synchronised");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * CraftedNamespaces().size()));
}
BENCHMARK(BM_SynchronizeCraftedNamespaces)->Unit(benchmark::kMillisecond)->UseRealTime();

class Files {
 public:
  Files() {
    test::WriteFile(in_ + "camera.jpg", CameraJpeg());
    size_ = std::filesystem::file_size(in_ + "camera.jpg");
  }
  const std::string& In() const { return in_; }
  const std::string& Out() const { return out_; }
  std::size_t Size() const { return size_; }

 private:
  test::TempDir dir_;
  std::string in_ = dir_.Folder("in");
  std::string out_ = dir_.Folder("out");
  std::size_t size_ = 0;
};

Files& TheFiles() {
  static Files files;
  return files;
}

ProcessResult ProcessCamera(const std::string& in, const std::string& out, std::vector<std::uint8_t>& buffer,
                            bool remove) {
  static const coding::AccentTable table = coding::BuildMacToWindows();
  static const auto document = CreateXmpDocument();
  ProcessSettings settings;
  settings.InputFolder = in;
  settings.OutputFolder = out;
  settings.ActiveAccentTable = &table;
  settings.SynchronizeXMP = !remove;
  settings.RemoveXMP = remove;
  settings.Document = document.get();
  IptcFields fields;
  return ProcessImage("camera.jpg", settings, fields, buffer);
}

void BM_ProcessImageFileToFile(benchmark::State& state) {
  std::vector<std::uint8_t> buffer;
  for (auto _ : state) {
    if (ProcessCamera(TheFiles().In(), TheFiles().Out(), buffer, false).Outcome != ProcessOutcome::kWritten) {
      state.SkipWithError("not written");
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().Size()));
}
BENCHMARK(BM_ProcessImageFileToFile)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

// The floor: read the whole file into a reused buffer, write it whole under the same name elsewhere.
void BM_PlainReadWriteCopy(benchmark::State& state) {
  std::vector<char> buffer(TheFiles().Size());
  const std::string in = TheFiles().In() + "camera.jpg";
  const std::string out = TheFiles().Out() + "copy.jpg";
  for (auto _ : state) {
    const int from = open(in.c_str(), O_RDONLY);
    const ssize_t got = read(from, buffer.data(), buffer.size());
    close(from);
    const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const ssize_t put = write(to, buffer.data(), static_cast<std::size_t>(got));
    close(to);
    if (got != put) state.SkipWithError("short copy");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TheFiles().Size()));
}
BENCHMARK(BM_PlainReadWriteCopy)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

// Run as a fresh process ("--peak MODE IN OUT"): processes the camera file once (MODE sync or remove, or bare
// for nothing) and prints its peak resident memory in kilobytes.
int PrintPeak(const std::string& mode, const std::string& in, const std::string& out) {
  if (mode != "bare") {
    std::vector<std::uint8_t> buffer;
    ProcessCamera(in, out, buffer, mode == "remove");
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss);
  return 0;
}

long PeakKilobytes(const std::string& mode) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  FILE* child = popen(
      ("'" + self + "' --peak " + mode + " '" + TheFiles().In() + "' '" + TheFiles().Out() + "'").c_str(),
      "r");
  long kilobytes = 0;
  if (child == nullptr || std::fscanf(child, "%ld", &kilobytes) != 1) kilobytes = 0;
  if (child != nullptr) pclose(child);
  return kilobytes;
}

class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name.empty() || run.aggregate_name == "median") {
        real_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    const auto it = real_.find(name);
    return it == real_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> real_;
};

}  // namespace
}  // namespace qm::engine

int main(int argc, char** argv) {
  using namespace qm::engine;
  if (argc == 5 && std::string(argv[1]) == "--peak") return PrintPeak(argv[2], argv[3], argv[4]);
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  const double mb = static_cast<double>(TheFiles().Size()) / 1e6;
  // A ratio is printed only when both of its runs were selected (--benchmark_filter).
  const auto ratio = [&collector](const char* name, const char* base) {
    return collector.Time(name) > 0 && collector.Time(base) > 0 ? collector.Time(name) / collector.Time(base)
                                                                : 0;
  };
  if (const double r = ratio("BM_ProcessImageFileToFile", "BM_PlainReadWriteCopy"); r > 0) {
    std::printf(
        "\nProcessImage (Macintosh to Windows, synchronise), %.1f MB camera JPEG, median: %.2f times the "
        "plain "
        "read-and-write copy\n",
        mb, r);
  }
  if (const double r = ratio("BM_IptcSearchCraftedFfEd", "BM_IptcSearchWithoutMetadata"); r > 0) {
    std::printf(
        "IPTC search over 24 MB, crafted FF ED file against one without metadata: %.2f times the time\n", r);
  }
  if (const double t = collector.Time("BM_SynchronizeCraftedNamespaces"); t > 0) {
    std::printf(
        "Synchronising a %.1f MB packet that declares tens of thousands of namespaces: %.1f ms "
        "(target: under 50 ms)\n",
        static_cast<double>(CraftedNamespaces().size()) / 1e6, t);
  }
  const long bare = PeakKilobytes("bare");
  std::printf(
      "Peak memory processing the %.1f MB file once, above a bare run: synchronise %.1f MB, remove %.1f MB\n",
      mb, static_cast<double>(PeakKilobytes("sync") - bare) / 1024.0,
      static_cast<double>(PeakKilobytes("remove") - bare) / 1024.0);
  benchmark::Shutdown();
  return 0;
}
