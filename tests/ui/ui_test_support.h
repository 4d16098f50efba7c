#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QList>
#include <QObject>
#include <QTest>
#include <QUrl>
#include <QWidget>

namespace qm::test {

/// The widget named `name` among the children of `parent`, or a failed test when there is none.
template <typename T>
T* Find(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << "no widget named " << name;
  return child;
}

/// Takes what the desktop would be asked to open for one scheme ("file", "https"), while it lives.
class OpenedUrls : public QObject {
  Q_OBJECT

 public:
  explicit OpenedUrls(const char* scheme);
  ~OpenedUrls() override;
  QList<QUrl> Urls;

 public slots:
  void Open(const QUrl& url) { Urls.push_back(url); }

 private:
  QString scheme_;
};

/// Every visible control under `parent`, and under its frames: none overlaps a sibling, and every caption
/// fits its place.
void ExpectNothingOverlapsOrClips(const QWidget* parent);

/// A left click near the button's left end, on its box or the start of its caption, where a click counts.
inline void Click(QAbstractButton* button) {
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

}  // namespace qm::test
