#include "AboutBox.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVersionNumber>

#include "Layout.h"
#include "kyv/version.h"

namespace kyvdemo {
namespace {

constexpr int kAboutWidth = 6900, kAboutHeight = 6435;

const char* const kRightsNotice =
    "Copyright \u00A9 the Kyv developers. All rights reserved. This program and its documentation "
    "may be reproduced, in whole or in part, only with the written permission of the Kyv developers.";

const char* const kWarranty =
    "This software is provided \"as is\", without warranty of any kind, express or implied, including "
    "the warranties of merchantability and fitness for a particular purpose. In no event shall the Kyv "
    "developers be liable for any damages arising from the use of this software.";

QFont makeFont(const char* family, QFont::StyleHint hint, int pixels, bool bold = false) {
  QFont f{QLatin1String(family)};
  f.setStyleHint(hint);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect rect) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QLatin1String(name));
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l->setGeometry(rect);
  return l;
}

void rule(QWidget* parent, const char* name, QColor colour, QRect rect) {
  auto* line = new QWidget(parent);
  line->setObjectName(QLatin1String(name));
  line->setAutoFillBackground(true);
  QPalette p = line->palette();
  p.setColor(QPalette::Window, colour);
  line->setPalette(p);
  line->setGeometry(rect);
}

QPlainTextEdit* notice(QWidget* parent, const char* name, const char* text, QRect rect) {
  auto* box = new QPlainTextEdit(QString::fromUtf8(text), parent);
  box->setObjectName(QLatin1String(name));
  box->setReadOnly(true);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setFont(makeFont("Times New Roman", QFont::Serif, 13));  // 9.75 points
  QPalette p = box->palette();
  p.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
  box->setPalette(p);
  box->setGeometry(rect);
  return box;
}

}  // namespace

void setApplicationIdentity() {
  QCoreApplication::setApplicationName(QStringLiteral("KyvDemo"));
  QCoreApplication::setApplicationVersion(QStringLiteral(KYV_VERSION_STRING));
}

AboutBox::AboutBox(kyv::Registry& registry, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setModal(true);
  setAttribute(Qt::WA_DeleteOnClose);
  setFont(makeFont("Liberation Sans", QFont::SansSerif, 11));
  setFixedSize(pixels(0, 0, kAboutWidth, kAboutHeight).size());

  // The etched rule lies behind the picture, which covers its left end.
  rule(this, "Line1(1)", QColor(0x80, 0x80, 0x80), pixels(2520, 2160, kAboutWidth - 2520, 15));
  rule(this, "Line1(0)", Qt::white, pixels(2520, 2175, kAboutWidth - 2520, 30));
  auto* picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picIcon->setLineWidth(2);
  picIcon->setAlignment(Qt::AlignCenter);
  picIcon->setPixmap(QPixmap::fromImage(aboutPicture(registry)));
  picIcon->setGeometry(pixels(0, 0, 3255, 2190));

  label(this, "lblTitle", QStringLiteral("Application Title"), pixels(3465, 135, 3510, 270))
      ->setFont(makeFont("Liberation Sans", QFont::SansSerif, 16, true));
  label(this, "lblVersion", QStringLiteral("Version"), pixels(3465, 420, 3495, 225));
  label(this, "lblDescription", QStringLiteral("App Description"), pixels(3465, 750, 3495, 495));
  label(this, "Label1", QStringLiteral("For Pricing and ordering information please contact:"),
        pixels(3465, 1230, 2700, 405));
  label(this, "Label2", QStringLiteral("sales@kyv.example"), pixels(3795, 1740, 2715, 285))
      ->setFont(makeFont("Times New Roman", QFont::Serif, 16, true));  // 12 points
  // Wider than its reference 825 twips so that the line fits.
  label(this, "lblDisclaimer", QStringLiteral("Warning: ..."), pixels(60, 2415, 4500, 195));
  notice(this, "Text1(1)", kRightsNotice, pixels(480, 2775, 4785, 1395));
  notice(this, "Text1(2)", kWarranty, pixels(465, 4170, 4800, 1680));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  ok->setGeometry(pixels(5325, 5955, 1260, 345));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  Form_Load();
}

void AboutBox::Form_Load() {
  const QString title = QCoreApplication::applicationName();
  const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
  setWindowTitle(title);
  findChild<QLabel*>(QStringLiteral("lblVersion"))
      ->setText(QStringLiteral("Version %1.%2.%3")
                    .arg(version.majorVersion())
                    .arg(version.minorVersion())
                    .arg(version.microVersion()));
  findChild<QLabel*>(QStringLiteral("lblTitle"))->setText(title);
  findChild<QLabel*>(QStringLiteral("lblDescription"))
      ->setText(QStringLiteral("This program demonstrates the use of the Kyv monitoring controls."));
  findChild<QLabel*>(QStringLiteral("lblDisclaimer"))
      ->setText(QStringLiteral("This software is provided as is, without warranty."));
}

}  // namespace kyvdemo
