// Selecting a camera-sized JPEG in the inspector: the whole selection handler (thumbnail, IPTC reading, field
// text, verdict) on a 24-megapixel image, next to a full-size decode of the same file for scale. The picture
// is made once with ImageMagick in the system's temporary folder and kept there for later runs.
//
//   nice build/bench/inspector/inspector_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImageReader>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app_state.h"
#include "inspector/iptc_reader.h"
#include "ui/inspector_window.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = fs::temp_directory_path() / "quillmark-inspector-bench";
  return folder;
}

// A 6000 x 4000 frame with grain, so that it compresses like a photograph (about 7 MB), with IPTC fields.
bool MakePicture() {
  const fs::path picture = Folder() / "camera-24mp.jpg";
  if (fs::exists(picture)) return true;
  fs::create_directories(Folder());
  const std::string make =
      "convert -size 6000x4000 gradient:navy-orange -attenuate 0.3 +noise Gaussian "
      "-quality 90 '" +
      picture.string() + ".tmp.jpg'";
  const std::string tag =
      "exiftool -q -q -overwrite_original -IPTC:ObjectName=Paris "
      "-IPTC:Caption-Abstract='Le march\xC3\xA9 aux fleurs' -IPTC:Keywords=market "
      "-IPTC:Keywords=flowers '" +
      picture.string() + ".tmp.jpg'";
  if (std::system(make.c_str()) != 0 || std::system(tag.c_str()) != 0) return false;
  fs::rename(picture.string() + ".tmp.jpg", picture);
  return true;
}

void SelectionToThumbnail(benchmark::State& bench) {
  qm::app::AppState state;
  state.InputFolder = Folder().string() + "/";
  state.FolderIndex = 0;
  qm::ui::frmFiles window(state);
  window.Form_Activate();
  for (auto _ : bench) {
    window.lstFiles->setCurrentRow(0);  // the selection handler runs here, in full
    window.lstFiles->clearSelection();
  }
  if (window.lstFiles->count() != 1) bench.SkipWithError("the picture is not listed");
}
BENCHMARK(SelectionToThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two parts of a selection on their own: the thumbnail decode and the IPTC reading.
void ScaledDecode(benchmark::State& bench) {
  const QString path = QString::fromStdString((Folder() / "camera-24mp.jpg").string());
  for (auto _ : bench) {
    QImageReader reader(path);
    reader.setScaledSize(QSize(165, 110));
    const QImage image = reader.read();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(ScaledDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadFields(benchmark::State& bench) {
  const std::string path = (Folder() / "camera-24mp.jpg").string();
  qm::engine::IptcFields fields;
  for (auto _ : bench) {
    qm::inspector::ReadIptcFields(path, fields);
    benchmark::DoNotOptimize(fields.Caption.data());
  }
}
BENCHMARK(ReadFields)->Unit(benchmark::kMillisecond)->UseRealTime();

void FullSizeDecode(benchmark::State& bench) {
  const QString path = QString::fromStdString((Folder() / "camera-24mp.jpg").string());
  for (auto _ : bench) {
    QImageReader reader(path);
    const QImage image = reader.read();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(FullSizeDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (!MakePicture()) {
    std::fprintf(stderr,
                 "inspector_bench: cannot make the 24-megapixel picture (ImageMagick's convert and "
                 "exiftool are needed)\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
