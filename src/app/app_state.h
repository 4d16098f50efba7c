#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <chrono>
#include <functional>

#include "coding/accent_tables.h"
#include "engine/iptc_fields.h"

namespace qm::engine {
class XmpDocument;
}

namespace qm::app {

/// The program-wide record of settings and run state. Folder paths are kept exactly as the settings file holds
/// them: empty, or a path that ends with the platform's separator, to which a bare file name is appended.
struct AppState {
  std::string AppVersion;
  std::filesystem::path IniPath;

  std::string InputFolder;
  std::string ArchiveFolder;
  std::string OutputFolder;
  bool UseArchive = false;
  std::int16_t Accents = 0;
  std::int16_t Wait = 10;
  bool Automatic = false;
  bool SynchronizeXMP = false;
  bool RemoveXMP = false;

  /// The folder a dialog works on: 0 input, 1 archive, 2 output.
  std::int16_t FolderIndex = 0;

  bool Running = false;
  std::int16_t Countdown = 0;
  std::string RunStart;
  std::int32_t RunProcessed = 0;
  std::int32_t ScanProcessed = 0;

  /// The XML document of the current run. Shared, so that a scan keeps the document it started with when the
  /// run is stopped between two of its images.
  std::shared_ptr<engine::XmpDocument> XmpDocument;

  /// The IPTC fields of the image processed or inspected last.
  engine::IptcFields IptcFields;

  /// The clock that stamps runs and scans; tests replace it.
  std::function<std::chrono::system_clock::time_point()> Now = [] { return std::chrono::system_clock::now(); };

  coding::AccentTable MacToWindows = coding::IdentityTable();
  coding::AccentTable WindowsToMac = coding::IdentityTable();
  coding::AccentTable ActiveAccentTable = coding::IdentityTable();
};

/// "Quillmark", a blank and the version: the main window's caption and the title of its message boxes.
std::string AppTitle(const AppState& state);

/// The bare program name, the title of the engine's read-error and parse-error messages.
inline constexpr const char* kProgramName = "Quillmark";

}  // namespace qm::app
