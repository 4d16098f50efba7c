#pragma once

#include <QWidget>

class QFormLayout;

namespace qm::ui {

/// A small window with what the file system knows of one file: name, folder, size, created and modified
/// times, permissions, and the pixel size when the file is a picture. Read once when it opens; it deletes
/// itself when closed. Each value is a label named after its row ("Name", "Folder", "Size", "Created",
/// "Modified", "Permissions", "Dimensions").
class FileProperties : public QWidget {
 public:
  FileProperties(const QString& path, QWidget* parent = nullptr);

 private:
  void AddRow(QFormLayout* form, const char* name, const QString& caption, const QString& value);
};

}  // namespace qm::ui
