#include "platform/qt_services.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <algorithm>

#include "platform/file_filter.h"
#include "platform/font_dialog.h"

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

Answer QtUi::askYesNoCancel(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                  QString::fromStdString(displayText(text)),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::string QtUi::inputText(const std::string& caption, const std::string& prompt,
                            const std::string& initial) {
  bool ok = false;
  const QString text = QInputDialog::getText(
      QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : parent_,
      QString::fromStdString(caption), QString::fromStdString(prompt), QLineEdit::Normal,
      QString::fromStdString(initial), &ok);
  return ok ? text.toStdString() : std::string();
}

std::optional<std::int32_t> QtUi::chooseColor(std::int32_t initial) {
  (void)initial;  // the dialog starts with its own last colour
  const QColor start(lastColor_ & 0xFF, (lastColor_ >> 8) & 0xFF, (lastColor_ >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(start, QApplication::activeModalWidget());
  if (!chosen.isValid()) return std::nullopt;
  lastColor_ = chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16);
  return lastColor_;
}

std::optional<FontChoice> QtUi::chooseFont(const FontChoice& initial) {
  // Our own dialog: Qt's font dialog has no colour.
  FontDialog dialog(initial, QApplication::activeModalWidget());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.choice();
}

std::optional<std::string> QtUi::chooseOpenFile(const std::string& filter,
                                                const std::string& initialFolder,
                                                const std::string& defaultExtension) {
  QFileDialog dialog(QApplication::activeModalWidget(), QString(),
                     QString::fromStdString(initialFolder),
                     QString::fromStdString(qtNameFilters(filter)));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

QtLocale::QtLocale() : separator_(QLocale::system().decimalPoint().toStdString()) {}

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
