#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace tarnvale::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  bool operator==(const ShownMessage&) const = default;
};

// Records every message box and answers it at once. `onMessage` runs while
// the box would be open, so a test can look at the state at that moment.
class FakeUi final : public Ui {
 public:
  void showMessage(const std::string& text, const std::string& caption) override {
    messages.push_back({text, caption});
    if (onMessage) onMessage(messages.back());
  }

  std::vector<ShownMessage> messages;
  std::function<void(const ShownMessage&)> onMessage;
};

}  // namespace tarnvale::test
