#include "ui/wait_time_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/wait_time.h"
#include "ui/form_layout.h"

namespace qm::ui {
namespace {

QToolButton* Arrow(QWidget* parent, const char* name, Qt::ArrowType type, int top) {
  auto* arrow = new QToolButton(parent);
  arrow->setObjectName(name);
  arrow->setArrowType(type);
  arrow->setAutoRepeat(true);
  arrow->setGeometry(0, top, parent->width(), parent->height() / 2);
  return arrow;
}

}  // namespace

frmTempo::frmTempo(app::AppState& state, app::MainView& view, QWidget* parent)
    : QDialog(parent), state_(state), view_(view) {
  setObjectName("frmTempo");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowTitle("Scan time interval");

  Text1 = new QLineEdit(QString::number(state.Wait), this);
  Text1->setObjectName("Text1");
  PlaceTwips(Text1, 1440, 120, 960, 345);  // ends where the arrows begin

  // Two arrows of their own beside the box, not a spin box: they step the text, whatever was typed in it.
  UpDown1 = new QWidget(this);
  UpDown1->setObjectName("UpDown1");
  PlaceTwips(UpDown1, 2400, 120, 240, 375);
  UpDown1Up = Arrow(UpDown1, "UpDown1Up", Qt::UpArrow, 0);
  UpDown1Down = Arrow(UpDown1, "UpDown1Down", Qt::DownArrow, UpDown1->height() / 2);

  lblSecondes = new QLabel("seconds", this);
  lblSecondes->setObjectName("lblSecondes");
  PlaceTwips(lblSecondes, 2760, 240, 600, 195);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  PlaceTwips(Label1, 1800, 555, 1500, 195);
  Label1->hide();

  cmdOK = new QPushButton("&OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  PlaceTwips(cmdOK, 600, 840, 1215, 375);
  cmdAnnuler = new QPushButton("&Cancel", this);
  cmdAnnuler->setObjectName("cmdAnnuler");
  PlaceTwips(cmdAnnuler, 2520, 840, 1215, 375);

  FitFormFont(this);
  FixTwipsSize(this, 4320, 1290);

  Text1->selectAll();
  Text1->setFocus();
  Text1->installEventFilter(this);

  connect(UpDown1Up, &QToolButton::clicked, this, &frmTempo::UpDown1_UpClick);
  connect(UpDown1Down, &QToolButton::clicked, this, &frmTempo::UpDown1_DownClick);
  connect(cmdOK, &QPushButton::clicked, this, &frmTempo::cmdOK_Click);
  connect(cmdAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmTempo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Text1 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmTempo::UpDown1_UpClick() { Step(+1); }

void frmTempo::UpDown1_DownClick() { Step(-1); }

void frmTempo::Step(int step) {
  const app::WaitStep stepped = app::StepWaitTime(Text1->text().toStdString(), step);
  const std::string limit = app::WaitLimitCaption(stepped.Limit);
  Label1->setText(FromUtf8(limit));
  Label1->setVisible(!limit.empty());
  Text1->setText(QString::number(stepped.Value));
  Text1->repaint();
}

void frmTempo::cmdOK_Click() {
  if (app::AcceptWaitTime(state_, view_, Text1->text().toStdString())) accept();
}

}  // namespace qm::ui
