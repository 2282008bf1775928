#pragma once

#include <QWidget>

#include "capture/capture_cycle.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tarnvale {

inline constexpr const char* kRecoveryLines[] = {
    "The audio input is not responding.",
    "Tarnvale is attempting to reconnect.",
    " ",
    "Alternatively, close the program, fix the problem then restart.",
};
inline constexpr const char* kCloseNowCaption = "CLOSE NOW";

// The recovery window: shown, not modal, while a lost capture device is
// looked for. "CLOSE NOW" ends the program at once.
class TForm3 final : public QWidget, public RecoveryView {
 public:
  explicit TForm3(QWidget* parent = nullptr);

  void showRecovery() override;
  void closeRecovery() override;
  void setProgress(int position) override;

  QPlainTextEdit* Memo1;
  QPushButton* Button1;
  QProgressBar* ProgressBar1;

 private:
  void Button1Click();
};

}  // namespace tarnvale
