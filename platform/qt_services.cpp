#include "platform/qt_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <algorithm>

namespace tarnvale {

std::string QtUi::displayText(const std::string& text) {
  std::string shown = text;
  std::erase(shown, '\r');
  return shown;
}

void QtUi::showMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                  QString::fromStdString(displayText(text)), QMessageBox::Ok, parent_);
  box.exec();
}

std::string QtLocale::decimalSeparator() const {
  return QLocale::system().decimalPoint().toStdString();
}

std::vector<WorkArea> QtScreens::workAreas() const {
  std::vector<WorkArea> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect r = screen->availableGeometry();
    areas.push_back({r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
  }
  return areas;
}

bool QtShell::openDocument(const std::string& path) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo::exists(file)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool QtShell::openWebPage(const std::string& url) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace tarnvale
