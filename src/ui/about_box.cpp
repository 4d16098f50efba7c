#include "ui/about_box.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>

#include "ui/artwork.h"
#include "ui/form_layout.h"
#include "ui/shell_helpers.h"

namespace qm::ui {

frmAbout::frmAbout(const app::AppState& state, const std::filesystem::path& help_page, QWidget* parent)
    : QDialog(parent), help_page_(QString::fromStdString(help_page.string())), title_(app::AppTitle(state)) {
  setObjectName("frmAbout");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowTitle("About...");

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(QPixmap(kProductPicture));
  Image1->setAlignment(Qt::AlignCenter);
  PlaceTwips(Image1, 2220, 60, 750, 750);

  lblCredit = new QLabel(this);
  lblCredit->setObjectName("lblCredit");
  lblCredit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblCredit->setText(FromUtf8(app::AppTitle(state)) + "\nmodify accents in IPTC fields\n" +
                     "for press desks and photo agencies");
  PlaceTwips(lblCredit, 120, 840, 4995, 675);

  // A link in the desktop's link colour with the pointing hand; it opens the bundled help page.
  lblLink = new QLabel(this);
  lblLink->setObjectName("lblLink");
  lblLink->setText(QString("<a href=\"help\" style=\"color:%1\">Quillmark help page</a>")
                       .arg(palette().color(QPalette::Link).name()));
  lblLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  lblLink->setCursor(Qt::PointingHandCursor);
  lblLink->setToolTip(QDir::toNativeSeparators(help_page_));
  PlaceTwips(lblLink, 360, 1680, 2565, 240);

  cmdOK = new QPushButton("&OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  PlaceTwips(cmdOK, 3480, 1620, 1452, 375);

  FitFormFont(this);
  FixTwipsSize(this, 5250, 2085);

  connect(lblLink, &QLabel::linkActivated, this, &frmAbout::lblLink_Click);
  // Enter presses the default button; Escape rejects, which closes the box just the same.
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::lblLink_Click() { ShellOpenOrTell(help_page_, this, title_); }

}  // namespace qm::ui
