// Quillane: turns a photograph into a picture in an artistic style.
#include <QApplication>

#include "app/gui/main_window.h"
#include "app/settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  SetDefaultSettings();
  {
    MainWindow window;
    window.exec();
  }
  return 0;
}
