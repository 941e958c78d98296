// TForm1, the About box: the program's title, version, description and
// credits. Created hidden with the main window, it is only ever shown and
// hidden; it is modeless, so the main window stays usable.
#ifndef ORVANE_UI_ABOUT_H_
#define ORVANE_UI_ABOUT_H_

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace orvane {

class TForm1 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);

  QLabel* StaticText1 = nullptr;   // "Orvane"
  QLabel* StaticText2 = nullptr;   // description, first line
  QLabel* StaticText3 = nullptr;   // description, second line
  QLabel* StaticText4 = nullptr;   // version
  QLabel* StaticText5 = nullptr;   // credit: the authors
  QLabel* StaticText6 = nullptr;   // credit: where it comes from
  QPushButton* Button1 = nullptr;  // OK
  QLabel* Image1 = nullptr;        // the icon
  QFrame* Bevel1 = nullptr;        // a sunken line

 public slots:
  // OK: the box is hidden, never destroyed.
  void Button1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orvane

#endif  // ORVANE_UI_ABOUT_H_
