#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "coding/accent_tables.h"
#include "engine/iptc_fields.h"

namespace qm::engine {
class XmpDocument;
}

namespace qm::app {

class MessageSink;
struct ScanMemory;

/// The program-wide record of settings and run state. Folder paths are kept exactly as the settings file
/// holds them: empty, or a path that ends with the platform's separator, to which a bare file name is
/// appended.
struct AppState {
  std::string AppVersion;
  std::filesystem::path IniPath;

  std::string InputFolder;
  std::string ArchiveFolder;
  std::string OutputFolder;
  bool UseArchive = false;
  std::int16_t Accents = 0;
  std::int16_t Wait = 10;
  /// Seconds a file's size and times must stay unchanged before it is taken as complete.
  int Settle = 3;
  /// Files larger than this many megabytes (2^20 bytes) are left in the input folder, untouched; 0: no limit.
  /// The engine reads a file only as far as its metadata need, in little memory, so no limit is needed.
  int MaxFileMB = 0;
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
  std::function<std::chrono::system_clock::time_point()> Now = [] {
    return std::chrono::system_clock::now();
  };

  coding::AccentTable MacToWindows = coding::IdentityTable();
  coding::AccentTable WindowsToMac = coding::IdentityTable();
  coding::AccentTable ActiveAccentTable = coding::IdentityTable();

  // The batch run's guards, and what a front end hears of each entry (batch_run.cpp, maintenance.cpp).

  /// What became of one entry that a scan or a folder command acted on.
  enum class EntryFate {
    kArchived,      ///< its output is written and the input moved into the archive folder
    kDeleted,       ///< its output is written and the input deleted; or deleted by Clear output folder
    kMovedToInput,  ///< moved from the archive folder back into the input folder
    kKept,          ///< left where it was; `Reason` says why
  };
  struct EntryReport {
    std::string Name;
    EntryFate Fate = EntryFate::kKept;
    bool Processed = false;      ///< handed to the engine, and counted
    bool OutputWritten = false;  ///< the engine left a complete output file
    /// Why the entry was kept; for a written entry, what the user should know of its output (its XMP
    /// packet kept as read); empty otherwise.
    std::string Reason;
    /// Kept again, unchanged since a scan that already told it for the same reason: a front end counts it
    /// but need not tell it again.
    bool Repeat = false;
    std::uint64_t Bytes = 0;                     ///< the file's size when it was looked at
    std::chrono::system_clock::time_point Time;  ///< when the entry was done
    std::chrono::milliseconds Took{0};           ///< how long the entry took
  };
  /// Told of every entry a scan or a folder command acted on or kept back; skipped entries are not told.
  std::function<void(const EntryReport&)> OnEntry;
  /// After a scan: the earliest moment at which a file that waits as still being written may be complete,
  /// so that a front end can scan again then; empty when none waits.
  std::optional<std::chrono::system_clock::time_point> SettleWake;

  /// How the latest scan ended: it walked the whole folder, a stop or the closing of the program cut it short,
  /// another Quillmark held the input folder, or a folder could not be used (said once in a message).
  enum class ScanEnd { kComplete, kStopped, kBusy, kFolderProblem };
  ScanEnd LastScanEnd = ScanEnd::kComplete;
  /// The folder problem told last, so that the same one is told once until a scan goes through again.
  std::string FolderProblemTold;
  /// What the scans remember of the input folder's entries from one scan to the next (folder_scan.cpp).
  std::shared_ptr<ScanMemory> Memory;
  /// Where a settings file that cannot be written is told (the window, set when it loads); told once.
  MessageSink* SettingsSink = nullptr;
  bool SettingsUnwritableTold = false;

  /// A folder operation (a scan, Clear output folder, Re-process archive folder) is in progress.
  bool FolderOperation = false;
  /// Counts the starts of runs, so that a start returning from its first scan knows whether it is current.
  std::uint32_t RunNumber = 0;
  /// The main window has been activated before: later activations start nothing.
  bool Activated = false;
  /// The Run command of an automatic start is in progress: nobody may be there to answer, so what it says
  /// waits for no click, and a folder that is not there yet is waited for instead of forgotten.
  bool AutomaticStart = false;
  /// The front end is closing: a folder operation in progress ends after its current entry.
  bool Closing = false;
};

/// "Quillmark", a blank and the version: the main window's caption and the title of its message boxes.
std::string AppTitle(const AppState& state);

}  // namespace qm::app
