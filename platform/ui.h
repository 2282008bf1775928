#pragma once

#include <string>

namespace tarnvale {

// Modal user dialogs. Texts and captions are passed exactly as the program
// owns them; an implementation may turn "\r\n" into line breaks only for display.
class Ui {
 public:
  virtual ~Ui() = default;
  // A message box with one OK button; returns when the user has closed it.
  virtual void showMessage(const std::string& text, const std::string& caption) = 0;
};

}  // namespace tarnvale
