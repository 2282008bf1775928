#pragma once

#include <string>

#include "platform/locale.h"
#include "platform/screens.h"
#include "platform/shell.h"
#include "platform/ui.h"

class QWidget;

namespace tarnvale {

// Message boxes through QMessageBox: modal, one OK button, events keep being
// dispatched while it is open. Carriage returns only lay out the text, so
// they are dropped for display.
class QtUi final : public Ui {
 public:
  void setParentWindow(QWidget* parent) { parent_ = parent; }
  void showMessage(const std::string& text, const std::string& caption) override;

  static std::string displayText(const std::string& text);

 private:
  QWidget* parent_ = nullptr;
};

// The system locale's decimal separator, for both the user's and the
// system's default locale.
class QtLocale final : public Locale {
 public:
  std::string decimalSeparator() const override;
  std::string systemDecimalSeparator() const override { return decimalSeparator(); }
};

class QtScreens final : public Screens {
 public:
  std::vector<WorkArea> workAreas() const override;
};

class QtShell final : public Shell {
 public:
  bool openDocument(const std::string& path) override;
  bool openWebPage(const std::string& url) override;
};

}  // namespace tarnvale
