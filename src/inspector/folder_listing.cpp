#include "inspector/folder_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/folder_validation.h"

namespace qm::inspector {
namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-blind first, so "b.jpg" sits between "A.jpg" and "C.jpg"; bytes decide between names equal but for
// case.
bool ListedBefore(const std::string& a, const std::string& b) {
  const auto [ai, bi] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
  if (ai == a.end() || bi == b.end()) return a.size() != b.size() ? a.size() < b.size() : a < b;
  return static_cast<unsigned char>(FoldCase(*ai)) < static_cast<unsigned char>(FoldCase(*bi));
}

}  // namespace

InspectedFolderChoice ChooseInspectedFolder(const app::AppState& state) {
  const std::string name = app::kProgramName;
  switch (state.FolderIndex) {
    case 0:
      return {name + " - Input folder", state.InputFolder};
    case 1:
      return {name + " - Archive folder", state.ArchiveFolder};
    case 2:
      return {name + " - Output folder", state.OutputFolder};
    default:
      return {"???", std::nullopt};
  }
}

std::vector<std::string> ListInspectedFolder(std::string_view folder) {
  std::vector<std::string> names;
  if (!app::FolderExists(folder)) return names;
  std::error_code ec;
  std::filesystem::directory_iterator it(std::filesystem::path(folder), ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code type_ec;
    if (it->is_directory(type_ec)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), ListedBefore);
  return names;
}

std::string ImagesCaption(std::size_t count) { return std::to_string(count) + " images"; }

}  // namespace qm::inspector
