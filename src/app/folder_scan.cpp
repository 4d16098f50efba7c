#include "app/folder_scan.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/engine_messages.h"
#include "app/folder_operation.h"
#include "app/folder_validation.h"
#include "app/time_stamp.h"
#include "engine/image_file.h"
#include "engine/process_image.h"
#include "engine/temporary_files.h"
#include "engine/xmp_document.h"

namespace qm::app {

using EntryFate = AppState::EntryFate;
using EntryReport = AppState::EntryReport;
using Clock = std::chrono::system_clock;

// What a scan remembers of one entry of the input folder until the next scan.
struct RememberedEntry {
  FileIdentity Identity;      ///< as last looked at
  Clock::time_point Since{};  ///< when this version was first seen
  std::string Told;           ///< the reason last reported; empty when none
  FileIdentity ToldFor;       ///< the version it was reported for
  bool Failed = false;        ///< the engine or the checks before it refused this version: not tried again
  /// Its output is written and on the device, but the input could not leave: only that is tried again, as
  /// long as the output is still this one.
  std::optional<FileIdentity> Output;
  /// When its output could not be written (a full disk, a share gone read-only): the same version is tried
  /// again once something may have changed, not at every scan.
  std::optional<Clock::time_point> OutputFailed;
  std::uint64_t Scan = 0;  ///< the scan that saw it last

  /// Whether `now` is the version remembered: same file, size, modification time and write permission. The
  /// change time is left out: putting a file back after a refused delete moves it.
  bool Same(const FileIdentity& now) const {
    return Identity.SameVersion(now) && Identity.ReadOnly == now.ReadOnly;
  }
};

struct ScanMemory {
  std::map<std::string, RememberedEntry> Entries;
  /// Set-aside inputs that could not be put back, by where they wait: the reason told last.
  std::map<std::string, std::string> Waiting;
  std::uint64_t Scans = 0;
  /// The next scan first cleans up after Quillmark processes that were killed in these folders, and puts
  /// back what they had set aside: at the start of a run, and after a scan that found such inputs.
  bool RecoveryDue = true;
  /// The output folder as the last scan left it: a change tells that a failed output may succeed now.
  FolderStamp OutputStamp;
};

namespace {

// Outputs are flushed together before their inputs leave: at most this many files, bytes to write or time a
// group. An output that shares its input's blocks has only its edited blocks to write. Each group costs two
// flushes of the device; the time bound keeps the reports coming.
constexpr std::size_t kGroupFiles = 1000;
constexpr std::uint64_t kGroupBytes = std::uint64_t{256} << 20;
constexpr std::chrono::milliseconds kGroupTime{2000};
// How many entries of the input folder the scan lists ahead of the one in hand.
constexpr std::size_t kReadAhead = 16;
// An output that failed is tried again after this, or as soon as the output folder changes.
constexpr std::chrono::seconds kOutputRetry{60};

std::string OutcomeText(const engine::ProcessResult& result, const AppState& state) {
  std::string text;
  switch (result.Outcome) {
    case engine::ProcessOutcome::kNothingToRead:
      text = "the file is empty or cannot be opened";
      break;
    case engine::ProcessOutcome::kTooLarge:
      return "it is larger than the limit of " + std::to_string(state.MaxFileMB) + " MB (MaxFileMB)";
    case engine::ProcessOutcome::kShortRead:
      text = "the file could not be read whole";
      break;
    case engine::ProcessOutcome::kPacketUnparsable:
      text = "its XMP packet does not parse";
      break;
    case engine::ProcessOutcome::kOutputFailed:
      text = "the output could not be written";
      break;
    case engine::ProcessOutcome::kInputChanged:
      return "it changed while it was processed; the new version waits for the next scan";
    case engine::ProcessOutcome::kWritten:
    case engine::ProcessOutcome::kWrittenPacketKept:
      break;
  }
  if (!result.Detail.empty()) text += " (" + result.Detail + ")";
  return text;
}

// Whether an engine outcome belongs to the version of the file, so that the same version fails again: it is
// not tried again until it changes. A short read (the file shrank) is tried again at the next scan, a failed
// output (a full disk) once something may have changed.
bool FailsAgain(engine::ProcessOutcome outcome) {
  return outcome == engine::ProcessOutcome::kNothingToRead || outcome == engine::ProcessOutcome::kTooLarge ||
         outcome == engine::ProcessOutcome::kPacketUnparsable;
}

// An entry whose output is written and waits, unflushed, for the group's flush.
struct WrittenEntry {
  EntryReport Report;
  std::string Note;  ///< what the user should know of the output (its XMP packet kept as read)
  FileIdentity Read;
  engine::PendingOutput Output;
  std::chrono::steady_clock::time_point Start;
};

// What one scan keeps from one entry to the next.
struct ScanContext {
  explicit ScanContext(AppState& state)
      : Input(state.InputFolder), Output(state.OutputFolder), Memory(*state.Memory), Scan(++Memory.Scans) {}

  std::string Input;
  std::string Output;
  ScanMemory& Memory;
  std::uint64_t Scan;
  std::shared_ptr<engine::XmpDocument> Document;
  // One buffer for all images: a fresh one per image would cost a page fault per 4 KB.
  std::vector<std::uint8_t> ImageBuffer;
  // Whether the archive folder of the setting last checked is neither the input nor the output folder.
  std::string CheckedArchive;
  bool ArchiveDistinct = false;
  // Outputs written since the last flush, in order.
  std::vector<WrittenEntry> Group;
  std::uint64_t GroupBytes = 0;
  std::chrono::steady_clock::time_point GroupStart{};
  // A folder of inputs set aside by a Quillmark that could not finish waits in the input folder.
  bool SetAsideSeen = false;
  // Something changed the output folder since the last scan: failed outputs are tried again.
  bool OutputChanged = false;
  // The output folder went away during the scan.
  bool OutputGone = false;
};

bool ArchiveIsDistinct(const AppState& state, ScanContext& scan) {
  if (scan.CheckedArchive != state.ArchiveFolder) {
    scan.CheckedArchive = state.ArchiveFolder;
    scan.ArchiveDistinct =
        !SameFolder(state.ArchiveFolder, scan.Input) && !SameFolder(state.ArchiveFolder, scan.Output);
  }
  return scan.ArchiveDistinct;
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

constexpr const char* kStillBeingWritten = "it is still being written";

// Tells the front end of an entry kept where it is; a report that repeats what the last one said of the same
// version (or of a file that still grows) is marked so, and what was said is remembered.
void ReportKept(const AppState& state, RememberedEntry& memory, EntryReport& report) {
  report.Fate = EntryFate::kKept;
  report.Repeat = memory.Told == report.Reason &&
                  (report.Reason == kStillBeingWritten || memory.ToldFor.SameVersion(memory.Identity));
  memory.Told = report.Reason;
  memory.ToldFor = memory.Identity;
  report.Time = state.Now();
  Report(state, report);
}

// Why the archive step cannot take inputs now, or nothing.
std::optional<std::string> ArchiveUnusable(const AppState& state, ScanContext& scan) {
  if (!state.UseArchive) return std::nullopt;
  // An empty setting would make the paths relative to the process's current folder.
  if (state.ArchiveFolder.empty()) return "no archive folder is set";
  if (!ArchiveIsDistinct(state, scan)) return "the archive folder is also the input or the output folder";
  return std::nullopt;
}

// Moves the input into the archive folder or deletes it; its output is complete and on the device. Fills the
// report's fate, or its reason and the memory that only the disposal is to be tried again.
void DisposeOfInput(const AppState& state, ScanContext& scan, const std::string& name,
                    const FileIdentity& read, RememberedEntry& memory, EntryReport& report) {
  if (const auto unusable = ArchiveUnusable(state, scan)) {
    report.Reason = *unusable;
    return;
  }
  const FileOutcome done = state.UseArchive ? ArchiveInput(scan.Input, name, read, state.ArchiveFolder)
                                            : DeleteInput(scan.Input, name, read);
  if (done.Ok()) {
    report.Fate = state.UseArchive ? EntryFate::kArchived : EntryFate::kDeleted;
    scan.Memory.Entries.erase(name);
    return;
  }
  if (done.Status == FileStatus::kChanged) {
    report.Reason = "it changed while it was processed; the new version waits for the next scan";
    return;
  }
  report.Reason = state.UseArchive ? "it cannot be moved into the archive folder (" + done.Detail + ")"
                                   : "it cannot be deleted (" + done.Detail + ")";
  memory.Identity = read;
  memory.Output = IdentifyFile(scan.Output + name);
}

constexpr const char* kChangedMeanwhile =
    "it changed while it was processed; the new version waits for the next scan";

// Flushes the group's outputs to the device together, gives each its final name, then lets the inputs go.
// An input that changed since it was read keeps its place and its output is dropped.
void FinishGroup(AppState& state, ScanContext& scan) {
  if (scan.Group.empty()) return;
  std::vector<WrittenEntry> group = std::move(scan.Group);
  scan.Group.clear();
  scan.GroupBytes = 0;
  const auto drop = [&](WrittenEntry& entry, std::string reason, bool output_failed) {
    entry.Output.Discard();
    entry.Report.OutputWritten = false;
    entry.Report.Reason = std::move(reason);
    if (output_failed) scan.Memory.Entries[entry.Report.Name].OutputFailed = state.Now();
  };
  // The group's data go to the device in one flush of the file system (a flush per file costs a cache flush
  // of the device each, about 5 ms); the names follow, in one flush of the folder.
  if (!FlushFileSystem(scan.Output).Ok()) {
    for (WrittenEntry& entry : group) {
      if (std::string failure = entry.Output.Flush(); !failure.empty()) {
        drop(entry, "the output could not be written (" + failure + ")", true);
      }
    }
  }
  std::vector<WrittenEntry*> finished;
  for (WrittenEntry& entry : group) {
    if (!entry.Output.Waiting()) continue;
    const std::string& name = entry.Report.Name;
    if (IdentifyFile(scan.Input + name) != entry.Read) {
      drop(entry, kChangedMeanwhile, false);
      continue;
    }
    if (std::string failure = entry.Output.Finish(false); !failure.empty()) {
      drop(entry, "the output could not be written (" + failure + ")", true);
      continue;
    }
    // Two desks that write one output folder, or a file sent again under a used name: the newer output
    // replaces the older one, which the line says.
    if (entry.Output.Replaced())
      entry.Note +=
          (entry.Note.empty() ? "" : "; ") + std::string("it replaced an earlier output of that name");
    finished.push_back(&entry);
  }
  const FileOutcome flushed = finished.empty() ? FileOutcome{} : FlushFolder(scan.Output);
  for (WrittenEntry* entry : finished) {
    RememberedEntry& memory = scan.Memory.Entries[entry->Report.Name];
    if (!flushed.Ok()) {
      entry->Report.Reason = "its output could not be flushed to the device (" + flushed.Detail + ")";
      memory.OutputFailed = state.Now();
      continue;
    }
    DisposeOfInput(state, scan, entry->Report.Name, entry->Read, memory, entry->Report);
  }
  for (WrittenEntry& entry : group) {
    entry.Report.Took = Since(entry.Start);
    if (entry.Report.OutputWritten && !entry.Note.empty()) {
      entry.Report.Reason += (entry.Report.Reason.empty() ? "" : "; ") + entry.Note;
    }
    if (entry.Report.Fate != EntryFate::kKept) {
      entry.Report.Time = state.Now();
      Report(state, entry.Report);
    } else {
      RememberedEntry& memory = scan.Memory.Entries[entry.Report.Name];
      memory.Identity = entry.Read;
      ReportKept(state, memory, entry.Report);
    }
  }
}

// Whether the file may be read now: nobody writes it and it has been left alone for the settle time. Where
// the system cannot tell writers or the file's times come from another clock (a share), this process's own
// looks decide: the same version, seen at least the settle time ago. Otherwise notes when it may be ready.
bool IsSettled(const AppState& state, const std::string& path, const FileIdentity& id,
               RememberedEntry& memory, Clock::time_point now, std::optional<Clock::time_point>& wake) {
  const Writers writers = ProbeWriters(path);
  const auto settle = std::chrono::seconds(std::max(state.Settle, 0));
  if (!memory.Same(id) || memory.Since == Clock::time_point{}) memory.Since = now;
  memory.Identity = id;
  if (writers == Writers::kWriting) {
    wake = now + std::max(settle, std::chrono::seconds(1));
    return false;
  }
  if (settle.count() == 0) return true;
  const auto touched = Clock::time_point(std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(std::max(id.Modified, id.Changed))));
  // Times more than a second ahead of this clock come from another one and tell nothing of the file's age.
  const bool own_clock = writers != Writers::kUnknownOnShare && touched <= now + std::chrono::seconds(1);
  const Clock::time_point ready_at = own_clock ? touched + settle : memory.Since + settle;
  if (now >= ready_at) return true;
  wake = ready_at;
  return false;
}

// One regular file of the input folder on its way through the scan.
struct Entry {
  std::string Path;
  FileIdentity Id;
  RememberedEntry& Memory;
  EntryReport Report;
  std::chrono::steady_clock::time_point Start;

  // Keeps the file where it is and tells why; with `failed`, this version is not tried again.
  void Keep(const AppState& state, std::string reason, bool failed = false) {
    Memory.Failed = failed;
    Report.Reason = std::move(reason);
    Report.Took = Since(Start);
    ReportKept(state, Memory, Report);
  }
};

// What the scans remember of the entry decides it: a version that failed waits until it changes, an output
// that could not be written waits until something may have changed, and an input whose output is written
// but that could not leave only leaves. Returns whether the entry is done with.
bool DecidedByMemory(AppState& state, ScanContext& scan, Entry& entry) {
  RememberedEntry& memory = entry.Memory;
  const std::string& name = entry.Report.Name;
  if (memory.Failed && memory.Same(entry.Id)) {
    entry.Keep(state, memory.Told, true);
    return true;
  }
  memory.Failed = false;
  if (memory.OutputFailed) {
    if (memory.Same(entry.Id) && !scan.OutputChanged && state.Now() < *memory.OutputFailed + kOutputRetry) {
      entry.Keep(state, memory.Told);
      return true;
    }
    memory.OutputFailed.reset();
  }
  if (!memory.Output) return false;
  // The output may have gone since (Clear output folder): then the input is processed again.
  if (memory.Same(entry.Id) && IdentifyFile(scan.Output + name) == *memory.Output) {
    DisposeOfInput(state, scan, name, entry.Id, memory, entry.Report);
    if (entry.Report.Fate == EntryFate::kKept) {
      entry.Keep(state, entry.Report.Reason);
    } else {
      entry.Report.Time = state.Now();
      Report(state, entry.Report);
    }
    return true;
  }
  memory.Output.reset();
  return false;
}

// Why the file is not to be processed now, if it is not, and whether that holds for this version.
struct NotNow {
  std::string Reason;
  bool Failed = false;
};

std::optional<NotNow> WhyNotNow(AppState& state, ScanContext& scan, Entry& entry) {
  const std::string& name = entry.Report.Name;
  std::optional<Clock::time_point> wake;
  if (!IsSettled(state, entry.Path, entry.Id, entry.Memory, state.Now(), wake)) {
    if (wake && (!state.SettleWake || *wake < *state.SettleWake)) state.SettleWake = wake;
    return NotNow{kStillBeingWritten};
  }
  const std::uint64_t limit = static_cast<std::uint64_t>(std::max(state.MaxFileMB, 0)) << 20;
  if (limit > 0 && entry.Id.Size > limit) {
    return NotNow{"it is larger than the limit of " + std::to_string(state.MaxFileMB) + " MB (MaxFileMB)",
                  true};
  }
  const FileIdentity output = IdentifyFile(scan.Output + name);
  if (output.SameFile(entry.Id))
    return NotNow{"it is the output folder's file of that name too (a hard link)", true};
  if (state.UseArchive && !state.ArchiveFolder.empty() &&
      IdentifyFile(state.ArchiveFolder + name).SameFile(entry.Id)) {
    return NotNow{"it is the archive folder's file of that name too (a hard link)", true};
  }
  if (output.Exists && !output.Regular) return NotNow{"the output folder holds something else of that name"};
  if (output.ReadOnly) return NotNow{"the output folder holds a read-only file of that name, which stays"};
  if (auto unusable = ArchiveUnusable(state, scan)) return NotNow{std::move(*unusable)};
  if (state.SynchronizeXMP && !scan.Document) scan.Document = engine::CreateXmpDocument();
  if (state.SynchronizeXMP && !scan.Document) {
    return NotNow{"no XML document could be created to synchronise its XMP packet"};
  }
  return std::nullopt;
}

// Hands the file to the engine. A written output joins the group, which is finished when it is full.
void Process(AppState& state, MainView& view, ScanContext& scan, Entry& entry) {
  engine::ProcessSettings settings;
  settings.InputFolder = scan.Input;
  settings.OutputFolder = scan.Output;
  settings.ActiveAccentTable = &state.ActiveAccentTable;
  settings.SynchronizeXMP = state.SynchronizeXMP;
  settings.RemoveXMP = state.RemoveXMP;
  settings.Document = scan.Document.get();
  settings.MaxFileSize = static_cast<std::uint64_t>(std::max(state.MaxFileMB, 0)) << 20;
  WrittenEntry written;
  settings.Pending = &written.Output;

  entry.Report.Processed = true;
  ++state.RunProcessed;
  ++state.ScanProcessed;
  const engine::ProcessResult result =
      engine::ProcessImage(entry.Report.Name, settings, state.IptcFields, scan.ImageBuffer);
  ShowProcessResult(view, entry.Path, result);
  if (!engine::OutputWritten(result.Outcome) || !written.Output.Waiting()) {
    if (result.Outcome == engine::ProcessOutcome::kOutputFailed) {
      if (!FolderExists(scan.Output)) scan.OutputGone = true;
      entry.Memory.OutputFailed = state.Now();
    }
    return entry.Keep(state, OutcomeText(result, state), FailsAgain(result.Outcome));
  }
  entry.Report.OutputWritten = true;
  written.Note = WrittenOutputNote(result);
  written.Report = std::move(entry.Report);
  written.Read = entry.Id;
  written.Start = entry.Start;
  if (scan.Group.empty()) scan.GroupStart = std::chrono::steady_clock::now();
  scan.GroupBytes += written.Output.FreshBytes();
  scan.Group.push_back(std::move(written));
  if (scan.Group.size() >= kGroupFiles || scan.GroupBytes >= kGroupBytes ||
      std::chrono::steady_clock::now() - scan.GroupStart >= kGroupTime) {
    FinishGroup(state, scan);
  }
}

// One regular file: processed, or kept where it is with the reason told.
void HandleEntry(AppState& state, MainView& view, ScanContext& scan, const std::string& name) {
  const auto start = std::chrono::steady_clock::now();
  const std::string path = scan.Input + name;
  const FileIdentity id = IdentifyFile(path);
  if (!id.Exists || !id.Regular) return;  // gone, or no longer a file, since the listing
  RememberedEntry& memory = scan.Memory.Entries[name];
  memory.Scan = scan.Scan;
  Entry entry{path, id, memory, {}, start};
  entry.Report.Name = name;
  entry.Report.Bytes = id.Size;
  if (DecidedByMemory(state, scan, entry)) return;
  if (std::optional<NotNow> not_now = WhyNotNow(state, scan, entry)) {
    return entry.Keep(state, std::move(not_now->Reason), not_now->Failed);
  }
  Process(state, view, scan, entry);
}

// Runs one step of the scan, so that an error that is not the scan's own (a front end that fails) is told
// as the entry's and the scan goes on.
template <typename Step>
void Guarded(AppState& state, ScanContext& scan, const std::string& name, Step step) {
  try {
    step();
  } catch (const std::exception& e) {
    EntryReport report;
    report.Name = name;
    report.Reason = std::string("error: ") + e.what();
    ReportKept(state, scan.Memory.Entries[name], report);
  }
}

// Tells what was found of inputs that killed Quillmark processes had set aside in `folder`: one put back
// under another name is told once, in a message with both names; one that cannot be put back is a kept entry
// of every scan until it can.
void TellSetAside(AppState& state, MainView& view, ScanContext& scan, std::string_view folder,
                  const std::vector<SetAsideInput>& found, const std::map<std::string, std::string>& told) {
  for (const SetAsideInput& input : found) {
    if (!input.PutBackAs.empty()) {
      view.ShowMessage(
          {"An original that a stopped Quillmark had set aside is back under another name, as its "
           "own was taken or processed meanwhile\n" +
               std::string(folder) + input.PutBackAs + "\nwas " + std::string(folder) + input.Name,
           AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
      continue;
    }
    scan.SetAsideSeen = true;
    EntryReport report;
    report.Name = input.Name;
    report.Fate = EntryFate::kKept;
    report.Bytes = IdentifyFile(input.Aside).Size;
    report.Reason = "a Quillmark that was stopped left it set aside as " + input.Aside +
                    ", and it cannot be put back (" + input.Failure + ")";
    const auto before = told.find(input.Aside);
    report.Repeat = before != told.end() && before->second == report.Reason;
    scan.Memory.Waiting[input.Aside] = report.Reason;
    report.Time = state.Now();
    Report(state, report);
  }
}

// A folder of set-aside inputs met by the walk: one of a Quillmark killed meanwhile (while this one did not
// hold the folder) is emptied by the next scan; one whose Quillmark cannot be told gone (a share without
// locks) is left alone, but not unseen.
void NoteSetAsideFolder(AppState& state, ScanContext& scan, const std::string& name) {
  const engine::TemporaryOwner owner = engine::OwnerOf(scan.Input, name);
  if (owner == engine::TemporaryOwner::kGone) scan.SetAsideSeen = true;
  if (owner != engine::TemporaryOwner::kUnknown) return;
  EntryReport report;
  report.Name = name;
  report.Fate = EntryFate::kKept;
  report.Reason =
      "a folder of originals set aside by a Quillmark that cannot be told gone, left alone: " + scan.Input +
      name;
  std::string& told = scan.Memory.Waiting[scan.Input + name];
  report.Repeat = told == report.Reason;
  told = report.Reason;
  report.Time = state.Now();
  Report(state, report);
}

// What killed Quillmark processes left in the run's folders: their temporary files go, and the inputs they
// had set aside come back. Done by the first scan of a run, and by the scan after one that found such inputs.
void Recover(AppState& state, MainView& view, ScanContext& scan) {
  if (!scan.Memory.RecoveryDue) return;
  scan.Memory.RecoveryDue = false;
  const bool archive = !state.ArchiveFolder.empty() && ArchiveIsDistinct(state, scan);
  // What is still waiting is told again by this scan; what was put back meanwhile is forgotten.
  const std::map<std::string, std::string> told = std::exchange(scan.Memory.Waiting, {});
  TellSetAside(state, view, scan, scan.Input, RestoreSetAsideInputs(scan.Input, scan.Output), told);
  if (archive) {
    TellSetAside(state, view, scan, state.ArchiveFolder, RestoreSetAsideInputs(state.ArchiveFolder), told);
  }
  // Their marks go with the rest, once nothing of theirs waits set aside.
  RemoveStaleTemporaryFiles(scan.Input);
  RemoveStaleTemporaryFiles(scan.Output);
  if (archive) RemoveStaleTemporaryFiles(state.ArchiveFolder);
}

// Tells a folder problem once: until a scan goes through again, the same problem is not told again.
void TellFolderProblem(AppState& state, MainView& view, std::string text, std::string details) {
  state.LastScanEnd = AppState::ScanEnd::kFolderProblem;
  if (state.FolderProblemTold == text) return;
  state.FolderProblemTold = text;
  view.Beep();
  Message message{std::move(text), AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk};
  message.Details = std::move(details);
  view.ShowMessage(message);
}

// Whether the archive folder that the archive option needs is there; a run started before it was (a share
// mounted late) takes no input until it is.
bool ArchiveWaitedFor(AppState& state, MainView& view) {
  if (!state.UseArchive || state.ArchiveFolder.empty() || FolderExists(state.ArchiveFolder)) return true;
  TellFolderProblem(state, view, "Unknown archive folder\n" + state.ArchiveFolder, "");
  return false;
}

// Whether the scan can use its folders; otherwise tells why (once).
bool FoldersUsable(AppState& state, MainView& view, const ScanContext& scan) {
  if (scan.Input.empty()) return false;  // forgotten after an unknown folder was reported
  if (!FolderExists(scan.Input)) {
    TellFolderProblem(state, view, "Unknown input folder\n" + scan.Input, "");
    return false;
  }
  // An empty setting would send the outputs to the process's current folder.
  if (scan.Output.empty()) return false;
  if (!FolderExists(scan.Output)) {
    TellFolderProblem(state, view, "Unknown output folder\n" + scan.Output, "");
    return false;
  }
  if (!ArchiveWaitedFor(state, view)) return false;
  // The engine writes into the output folder under the input's name: one folder for both would lose the
  // input.
  return !SameFolder(scan.Input, scan.Output);
}

// Walks the input folder; false when it could not be listed.
bool WalkInputFolder(AppState& state, MainView& view, ScanContext& scan) {
  Recover(state, view, scan);
  FolderListing listing(scan.Input);
  if (!listing.IsOpen()) {
    TellFolderProblem(state, view, "The input folder cannot be listed\n" + scan.Input, listing.Error());
    return false;
  }
  // Its own failures change nothing there (the temporary files are made and removed within the scan), but a
  // file that somebody removed or moved there (to make room) does.
  scan.OutputChanged = !(StampOf(scan.Output) == scan.Memory.OutputStamp);
  scan.Document = state.XmpDocument;  // kept for this scan, should the run be stopped between two images
  // A Stop between two images ends the scan after the image in hand; the status bar stays as the stop left
  // it. A folder setting forgotten meanwhile (an unknown folder reported) ends it too.
  const bool in_run = state.Running;
  const std::uint32_t run = state.RunNumber;
  const auto stopped = [&] {
    return state.Closing || (in_run && (!state.Running || state.RunNumber != run)) ||
           state.OutputFolder != scan.Output || state.InputFolder != scan.Input || scan.OutputGone;
  };
  // The listing is read a few entries ahead of the walk, and the device is asked for the first bytes of each
  // new file among them, so that it fetches them while the files before are processed rather than each in
  // turn while Quillmark waits. A file seen before (kept, or not yet settled) is not asked for again.
  std::deque<FolderEntry> ahead;
  bool listed = false;
  const auto next = [&](FolderEntry& entry) {
    while (!listed && ahead.size() <= kReadAhead) {
      FolderEntry& coming = ahead.emplace_back();
      if (!listing.Next(coming)) {
        ahead.pop_back();
        listed = true;
      } else if (platform::TakesReadAdvice() && !coming.Name.empty() && coming.Name.front() != '.' &&
                 !scan.Memory.Entries.contains(coming.Name) &&
                 KindOf(scan.Input, coming) == EntryKind::kRegular) {
        engine::ReadSoon(platform::PathOf(scan.Input + coming.Name));
      }
    }
    if (ahead.empty()) return false;
    entry = std::move(ahead.front());
    ahead.pop_front();
    return true;
  };
  FolderEntry entry;
  bool complete = true;
  while (true) {
    if (stopped()) {
      complete = false;
      break;
    }
    if (!next(entry)) break;
    if (entry.Name.empty() || entry.Name.front() == '.') {
      if (entry.Name.ends_with("-aside")) NoteSetAsideFolder(state, scan, entry.Name);
      continue;
    }
    const EntryKind kind = KindOf(scan.Input, entry);
    if (kind == EntryKind::kLink) {
      // Never followed: its target may be anybody's file, or the archive's copy of itself.
      RememberedEntry& memory = scan.Memory.Entries[entry.Name];
      memory.Scan = scan.Scan;
      memory.Identity = IdentifyFile(scan.Input + entry.Name);
      EntryReport report;
      report.Name = entry.Name;
      report.Reason = "it is a symbolic link, which is left alone";
      ReportKept(state, memory, report);
    } else if (kind == EntryKind::kRegular) {
      Guarded(state, scan, entry.Name, [&] { HandleEntry(state, view, scan, entry.Name); });
    } else {
      continue;
    }
    view.ProcessPendingEvents();
  }
  // The last group's entries are told as any other entry is.
  const std::string last = scan.Group.empty() ? std::string() : scan.Group.back().Report.Name;
  Guarded(state, scan, last, [&] { FinishGroup(state, scan); });
  scan.Memory.RecoveryDue = scan.SetAsideSeen || !ReleaseSetAsideFolder(scan.Input);
  engine::ReleaseOwnTemporaryMarks();
  scan.Memory.OutputStamp = StampOf(scan.Output);
  if (scan.OutputGone) {
    TellFolderProblem(state, view, "Unknown output folder\n" + scan.Output, "");
    return true;
  }
  if (!complete) {
    state.LastScanEnd = AppState::ScanEnd::kStopped;
    return true;
  }
  // What the folder no longer holds is forgotten.
  std::erase_if(scan.Memory.Entries, [&](const auto& item) { return item.second.Scan != scan.Scan; });
  return true;
}

}  // namespace

void RecoverAtNextScan(AppState& state) {
  if (!state.Memory) state.Memory = std::make_shared<ScanMemory>();
  state.Memory->RecoveryDue = true;
}

void ScanInputFolder(AppState& state, MainView& view) {
  // Only one folder operation at a time; the callers (the Run command, the tick) wait for the next chance.
  // The scan counts as begun before it lets events run, so that a tick among them cannot begin another.
  if (state.FolderOperation) return;
  FolderOperationScope operation(state);
  view.ProcessPendingEvents();

  state.ScanProcessed = 0;
  state.SettleWake.reset();
  state.LastScanEnd = AppState::ScanEnd::kComplete;
  if (!state.Memory) state.Memory = std::make_shared<ScanMemory>();
  ScanContext scan(state);
  // Another Quillmark on this folder: nothing is touched, and the status bar stays as it was.
  std::optional<FolderLock> lock;
  if (!LockInputFolder(state, view, lock)) return;
  // A folder that cannot be listed, and a scan cut short, leave the status bar as it was too.
  if (FoldersUsable(state, view, scan) && !WalkInputFolder(state, view, scan)) return;
  // A Stop leaves the status bar empty; a program that closes (a stop signal) still tells what it did.
  if (state.LastScanEnd == AppState::ScanEnd::kStopped && !state.Closing) return;
  if (state.LastScanEnd == AppState::ScanEnd::kComplete) state.FolderProblemTold.clear();

  view.SetStatusText(1, "Since: " + state.RunStart + " - processed: " + std::to_string(state.RunProcessed));
  view.SetStatusText(
      2, "Last: " + FormatStamp(state.Now()) + " - processed: " + std::to_string(state.ScanProcessed));
}

}  // namespace qm::app
