#include "ui/artwork.h"

#include <initializer_list>

namespace qm::ui {
namespace {

QIcon IconOfSizes(const char* stem, std::initializer_list<int> sizes) {
  QIcon icon;
  for (const int size : sizes)
    icon.addFile(QString(":/pictures/%1-%2.png").arg(stem).arg(size), QSize(size, size));
  return icon;
}

}  // namespace

QIcon ProgramIcon() { return IconOfSizes("quillmark", {16, 32, 48, 64, 128, 256}); }

QIcon MacintoshGlyph() { return IconOfSizes("macintosh", {16, 32}); }

QIcon WindowsGlyph() { return IconOfSizes("windows", {16, 32}); }

}  // namespace qm::ui
