#include "app/json_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "app/entry_text.h"
#include "app/time_stamp.h"
#include "coding/utf8.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qm::app {
namespace {

using EntryFate = AppState::EntryFate;
// Keys in the order written, so that a person reading the log finds the time first.
using Json = nlohmann::ordered_json;

const char* FateWord(EntryFate fate) {
  switch (fate) {
    case EntryFate::kArchived:
      return "archived";
    case EntryFate::kDeleted:
      return "deleted";
    case EntryFate::kMovedToInput:
      return "moved to input";
    case EntryFate::kKept:
      break;
  }
  return "kept";
}

#ifdef _WIN32
int OpenForAppending(const std::filesystem::path& path) {
  return ::_wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
long long WriteInOneCall(int fd, const std::string& bytes) {
  return ::_write(fd, bytes.data(), static_cast<unsigned>(bytes.size()));
}
int Close(int fd) { return ::_close(fd); }
#else
int OpenForAppending(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
}
long long WriteInOneCall(int fd, const std::string& bytes) { return ::write(fd, bytes.data(), bytes.size()); }
int Close(int fd) { return ::close(fd); }
#endif

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point time) {
  const std::time_t t = std::chrono::system_clock::to_time_t(time);
  const std::optional<std::tm> found = LocalTime(t);
  if (!found) return {};
  const std::tm& local = *found;
  char stamp[32];
  char offset[8];
  const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
#ifdef _WIN32
  // Its %z gives the zone's name: the offset is the local time read as UTC, less the time.
  std::tm copy = local;
  const long long east = static_cast<long long>(::_mkgmtime(&copy)) - static_cast<long long>(t);
  const long long minutes = (east < 0 ? -east : east) / 60;
  if (n == 0 || std::snprintf(offset, sizeof offset, "%c%02lld%02lld", east < 0 ? '-' : '+', minutes / 60,
                              minutes % 60) != 5) {
    return {};
  }
#else
  if (n == 0 || std::strftime(offset, sizeof offset, "%z", &local) != 5) return {};
#endif
  // to_time_t truncates toward zero or rounds, depending on the library: the milliseconds follow from it.
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(time - std::chrono::system_clock::from_time_t(t))
          .count();
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis < 0 ? 0 : millis % 1000));
  // "+0100" becomes "+01:00", the form ISO 8601 gives with the other separators.
  return std::string(stamp, n) + fraction + std::string(offset, 3) + ":" + std::string(offset + 3, 2);
}

std::string JsonLog::Check() const {
  const int fd = OpenForAppending(path_);
  if (fd < 0) return std::strerror(errno);
  Close(fd);
  return {};
}

std::string JsonLog::Entry(const AppState::EntryReport& report,
                           std::chrono::system_clock::time_point now) {
  Json line;
  line["time"] = IsoTime(report.Time == std::chrono::system_clock::time_point{} ? now : report.Time);
  line["event"] = "entry";
  // A program that reads the log finds the file by a name written exactly; one that is not UTF-8, which JSON
  // cannot hold, is written as the command line prints it, and the line says so.
  const bool escaped = !coding::IsUtf8(report.Name);
  line["name"] = escaped ? app::PrintableName(report.Name) : report.Name;
  if (escaped) line["name_escaped"] = true;
  line["bytes"] = report.Bytes;
  line["fate"] = FateWord(report.Fate);
  line["written"] = report.OutputWritten;
  line["reason"] = coding::IsUtf8(report.Reason) ? report.Reason : app::PrintableName(report.Reason);
  line["ms"] = report.Took.count();
  return Append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::string JsonLog::Scan(const ScanCounts& counts, std::chrono::system_clock::time_point now) {
  Json line;
  line["time"] = IsoTime(now);
  line["event"] = "scan";
  line["processed"] = counts.Processed;
  line["written"] = counts.Written;
  line["archived"] = counts.Archived;
  line["deleted"] = counts.Deleted;
  line["kept"] = counts.Kept;
  line["repeated"] = counts.Repeated;
  return Append(line.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::string JsonLog::Append(std::string line) {
  if (cut_) line.insert(line.begin(), '\n');
  line.push_back('\n');
  const int fd = OpenForAppending(path_);
  if (fd < 0) return std::strerror(errno);
  const long long written = WriteInOneCall(fd, line);
  const int write_error = errno;
  const int closed = Close(fd);
  const int close_error = errno;
  cut_ = written >= 0 && written < static_cast<long long>(line.size());
  if (written < 0) return std::strerror(write_error);
  if (cut_)
    return "only " + std::to_string(written) + " of " + std::to_string(line.size()) + " bytes written";
  if (closed != 0) return std::strerror(close_error);
  return {};
}

}  // namespace qm::app
