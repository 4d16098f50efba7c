#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QMessageBox::information(nullptr, "Quillmark", "The window is not built yet.");
  return 0;
}
