#pragma once

#include <string>

#include "platform/locale.h"
#include "platform/screens.h"
#include "platform/shell.h"
#include "platform/ui.h"

class QWidget;

namespace tarnvale {

// Message and question boxes through QMessageBox, Qt's input, colour and file
// dialogs, and our own font dialog (it has a colour): all modal, events keep
// being dispatched while one is open. Carriage returns only lay out the text,
// so they are dropped for display.
class QtUi final : public Ui {
 public:
  void setParentWindow(QWidget* parent) { parent_ = parent; }
  void showMessage(const std::string& text, const std::string& caption) override;
  Answer askYesNoCancel(const std::string& text, const std::string& caption) override;
  std::string inputText(const std::string& caption, const std::string& prompt,
                        const std::string& initial) override;
  std::optional<std::int32_t> chooseColor(std::int32_t initial) override;
  std::optional<FontChoice> chooseFont(const FontChoice& initial) override;
  std::optional<std::string> chooseOpenFile(const std::string& filter,
                                            const std::string& initialFolder,
                                            const std::string& defaultExtension) override;

  static std::string displayText(const std::string& text);

 private:
  QWidget* parent_ = nullptr;
  // The colour dialog starts with the colour last chosen in it.
  std::int32_t lastColor_ = 0;
};

// The system locale's decimal separator, for both the user's and the
// system's default locale.
class QtLocale final : public Locale {
 public:
  // Read once: the locale comes from the environment, which the process does
  // not see change, and the measurement asks for every buffer.
  QtLocale();
  std::string decimalSeparator() const override { return separator_; }
  std::string systemDecimalSeparator() const override { return separator_; }

 private:
  std::string separator_;
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
