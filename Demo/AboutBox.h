#pragma once
// frmAbout, the modal about box: the program's title and version from the application
// object, a description, the contact line, a rights notice, a warranty disclaimer, a
// picture drawn by the family's own controls, and OK, which closes and discards it.
#include <QDialog>
#include <QImage>

namespace kyv {
class Registry;
}

namespace kyvdemo {

// Sets the application object's title ("KyvDemo") and version (1.0.0).
void setApplicationIdentity();

// The about box's 213 x 142 picture, 24 bits a pixel: a composition of the controls
// that `registry` can create, each drawn by the framework's renderer.
QImage aboutPicture(kyv::Registry& registry);

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  AboutBox(kyv::Registry& registry, QWidget* parent = nullptr);

 private:
  void Form_Load();
};

}  // namespace kyvdemo
