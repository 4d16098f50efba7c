#include "app/inspected_folder.h"

#include <algorithm>

#include "app/file_operations.h"
#include "app/folder_choice.h"
#include "app/folder_validation.h"

namespace qm::app {
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

InspectedFolderChoice ChooseInspectedFolder(const AppState& state) {
  const int row = state.FolderIndex;
  if (row < 0 || row > 2) return {app::FolderChooserTitle(row), std::nullopt};
  return {app::FolderChooserTitle(row), app::FolderOfRow(state, row)};
}

std::vector<std::string> ListInspectedFolder(std::string_view folder) {
  std::vector<std::string> names;
  if (!app::FolderExists(folder)) return names;
  // A listing of its own, so that a scan under way keeps its place in the same folder.
  app::FolderListing listing(folder);
  app::FolderEntry entry;
  while (listing.Next(entry)) {
    if (entry.Name.empty() || entry.Name.front() == '.') continue;  // also "." and ".."
    const app::EntryKind kind = app::KindOf(folder, entry);
    if (kind == app::EntryKind::kDirectory) continue;
    if (kind == app::EntryKind::kLink && app::FolderExists(std::string(folder) + entry.Name)) continue;
    names.push_back(entry.Name);
  }
  std::sort(names.begin(), names.end(), ListedBefore);
  return names;
}

std::string ImagesCaption(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " image" : " images");
}

}  // namespace qm::app
