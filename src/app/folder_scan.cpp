#include "app/folder_scan.h"

#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "app/batch_run.h"
#include "app/engine_messages.h"
#include "app/folder_validation.h"
#include "engine/process_image.h"
#include "engine/xmp_document.h"

namespace qm::app {
namespace {

using EntryFate = AppState::EntryFate;
using EntryReport = AppState::EntryReport;

std::string OutcomeText(const engine::ProcessResult& result) {
  std::string text;
  switch (result.Outcome) {
    case engine::ProcessOutcome::kNothingToRead:
      text = "the file is empty or cannot be opened";
      break;
    case engine::ProcessOutcome::kShortRead:
      text = "the file could not be read whole";
      break;
    case engine::ProcessOutcome::kPacketUnparsable:
      text = "its XMP packet does not parse";
      break;
    case engine::ProcessOutcome::kOutputFailed:
      text = "the output could not be written";
      break;
    case engine::ProcessOutcome::kWritten:
    case engine::ProcessOutcome::kWrittenPacketKept:
      break;
  }
  if (!result.Detail.empty()) text += " (" + result.Detail + ")";
  return text;
}

// What one scan keeps from one entry to the next.
struct ScanContext {
  std::string Input;
  std::shared_ptr<engine::XmpDocument> Document;
  // One buffer for all images: a fresh one per image would cost a page fault per 4 KB.
  std::vector<std::uint8_t> ImageBuffer;
  // Whether the archive folder of the setting last checked is neither the input nor the output folder.
  std::string CheckedArchive;
  bool ArchiveDistinct = false;
};

bool ArchiveIsDistinct(const AppState& state, ScanContext& scan) {
  if (scan.CheckedArchive != state.ArchiveFolder) {
    scan.CheckedArchive = state.ArchiveFolder;
    scan.ArchiveDistinct =
        !SameFolder(state.ArchiveFolder, scan.Input) && !SameFolder(state.ArchiveFolder, state.OutputFolder);
  }
  return scan.ArchiveDistinct;
}

// With the output written, moves the input into the archive folder or deletes it. The input stays where it is
// when it changed while it was processed, when the archive option has no usable folder, and when the move or
// the delete fails.
void DisposeOfInput(const AppState& state, ScanContext& scan, const std::string& name,
                    const FileIdentity& before, EntryReport& report) {
  const std::string path = scan.Input + name;
  if (IdentifyFile(path) != before) {
    report.Reason = "it changed while it was processed";
    return;
  }
  if (state.UseArchive) {
    // An empty setting would make the paths relative to the process's current folder.
    if (state.ArchiveFolder.empty()) {
      report.Reason = "no archive folder is set";
      return;
    }
    if (!ArchiveIsDistinct(state, scan)) {
      report.Reason = "the archive folder is also the input or the output folder";
      return;
    }
    // The archive keeps the latest copy of each name: an older one is replaced, unless it is read-only.
    const FileOutcome moved = ReplaceEntry(path, state.ArchiveFolder + name);
    if (!moved.Ok()) {
      report.Reason = "it cannot be moved into the archive folder (" + moved.Detail + ")";
      return;
    }
    report.Fate = EntryFate::kArchived;
    return;
  }
  // The engine wrote this output durably (file and folder flushed to the device), as the input goes now.
  const FileOutcome removed = RemoveEntry(path);
  if (!removed.Ok()) {
    report.Reason = "it cannot be deleted (" + removed.Detail + ")";
    return;
  }
  report.Fate = EntryFate::kDeleted;
}

// Hands one entry to the engine and disposes of the input. Nothing when the entry turned out not to be a file
// to process after all (gone, or no longer a regular file).
std::optional<EntryReport> HandleEntry(AppState& state, MainView& view, ScanContext& scan,
                                       const std::string& name) {
  EntryReport report;
  report.Name = name;
  switch (CheckReadiness(scan.Input + name, state.Now())) {
    case Readiness::kGone:
    case Readiness::kNotRegular:
      return std::nullopt;
    case Readiness::kBeingWritten:
      report.Reason = "it is still being written";
      return report;
    case Readiness::kReady:
      break;
  }
  try {
    const FileIdentity before = IdentifyFile(scan.Input + name);
    if (state.SynchronizeXMP && !scan.Document) scan.Document = engine::CreateXmpDocument();
    if (state.SynchronizeXMP && !scan.Document) {
      report.Reason = "no XML document could be created to synchronise its XMP packet";
      return report;
    }
    engine::ProcessSettings settings;
    settings.InputFolder = scan.Input;
    settings.OutputFolder = state.OutputFolder;
    settings.ActiveAccentTable = &state.ActiveAccentTable;
    settings.SynchronizeXMP = state.SynchronizeXMP;
    settings.RemoveXMP = state.RemoveXMP;
    settings.Document = scan.Document.get();
    settings.DurableOutput = !state.UseArchive;

    report.Processed = true;
    ++state.RunProcessed;
    ++state.ScanProcessed;
    const engine::ProcessResult result =
        engine::ProcessImage(name, settings, state.IptcFields, scan.ImageBuffer);
    ShowProcessResult(view, scan.Input + name, result);
    report.OutputWritten = engine::OutputWritten(result.Outcome);
    if (!report.OutputWritten) {
      report.Reason = OutcomeText(result);
      return report;
    }
    DisposeOfInput(state, scan, name, before, report);
    if (const std::string note = WrittenOutputNote(result); !note.empty()) {
      report.Reason += (report.Reason.empty() ? "" : "; ") + note;
    }
  } catch (const std::exception& e) {
    report.Fate = EntryFate::kKept;
    report.Reason = std::string("error: ") + e.what();
  }
  return report;
}

}  // namespace

bool IsWalkedEntry(std::string_view folder, const FolderEntry& entry) {
  return !entry.Name.empty() && entry.Name.front() != '.' && KindOf(folder, entry) == EntryKind::kRegular;
}

void Report(const AppState& state, const AppState::EntryReport& report) {
  if (state.OnEntry) state.OnEntry(report);
}

bool CheckDistinctFolders(const AppState& state, MainView& view, std::string_view a, const char* a_name,
                          std::string_view b, const char* b_name) {
  if (!SameFolder(a, b)) return true;
  view.Beep();
  view.ShowMessage(
      {std::string("The ") + a_name + " folder is also the " + b_name + " folder\n" + std::string(a),
       AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
  return false;
}

std::string FormatStamp(std::chrono::system_clock::time_point time) {
  const std::time_t t = std::chrono::system_clock::to_time_t(time);
  const std::tm* local = std::localtime(&t);
  if (local == nullptr) return {};
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%m/%d/%Y - %H:%M", local);
  return std::string(text, n);
}

void ScanInputFolder(AppState& state, MainView& view) {
  // Only one folder operation at a time; the callers (the Run command, the tick) wait for the next chance.
  // The scan counts as begun before it lets events run, so that a tick among them cannot begin another.
  if (state.FolderOperation) return;
  FolderOperationScope operation(state);
  view.ProcessPendingEvents();

  state.ScanProcessed = 0;
  ScanContext scan;
  scan.Input = state.InputFolder;
  // The engine writes into the output folder under the input's name: one folder for both would lose the
  // input.
  if (FolderExists(scan.Input) && !state.OutputFolder.empty() &&
      !SameFolder(scan.Input, state.OutputFolder)) {
    FolderListing listing(scan.Input);
    if (!listing.IsOpen()) return;
    scan.Document = state.XmpDocument;  // kept for this scan, should the run be stopped between two images
    // A Stop between two images ends the scan after the image in hand; the status bar stays as the stop left
    // it.
    const bool in_run = state.Running;
    const std::uint32_t run = state.RunNumber;
    const auto stopped = [&] { return state.Closing || (in_run && (!state.Running || state.RunNumber != run)); };
    FolderEntry entry;
    while (!stopped() && listing.Next(entry)) {
      if (!IsWalkedEntry(scan.Input, entry)) continue;
      const std::optional<EntryReport> report = HandleEntry(state, view, scan, entry.Name);
      if (!report) continue;
      Report(state, *report);
      view.ProcessPendingEvents();
    }
    if (stopped() && !state.Closing) return;
  }

  view.SetStatusText(1, "Since: " + state.RunStart + " - processed: " + std::to_string(state.RunProcessed));
  view.SetStatusText(
      2, "Last: " + FormatStamp(state.Now()) + " - processed: " + std::to_string(state.ScanProcessed));
}

}  // namespace qm::app
