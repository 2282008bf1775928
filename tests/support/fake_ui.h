#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace tarnvale::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  bool operator==(const ShownMessage&) const = default;
};

struct OpenFileRequest {
  std::string filter;
  std::string initialFolder;
  std::string defaultExtension;
  bool operator==(const OpenFileRequest&) const = default;
};

// Records every dialog and answers it at once: message boxes with OK, the
// others from the answers the test queued (Cancel, empty or nothing when none
// is left). `onMessage` runs while the box would be open, so a test can look
// at the state at that moment.
class FakeUi final : public Ui {
 public:
  void showMessage(const std::string& text, const std::string& caption) override {
    messages.push_back({text, caption});
    if (onMessage) onMessage(messages.back());
  }
  Answer askYesNoCancel(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption});
    return take(answers, Answer::Cancel);
  }
  std::string inputText(const std::string& caption, const std::string& prompt,
                        const std::string& initial) override {
    inputs.push_back({prompt + "|" + initial, caption});
    return take(inputAnswers, std::string());
  }
  std::optional<std::int32_t> chooseColor(std::int32_t initial) override {
    colorRequests.push_back(initial);
    return take(colorAnswers, std::optional<std::int32_t>());
  }
  std::optional<FontChoice> chooseFont(const FontChoice& initial) override {
    fontRequests.push_back(initial);
    return take(fontAnswers, std::optional<FontChoice>());
  }
  std::optional<std::string> chooseOpenFile(const std::string& filter,
                                            const std::string& initialFolder,
                                            const std::string& defaultExtension) override {
    fileRequests.push_back({filter, initialFolder, defaultExtension});
    return take(fileAnswers, std::optional<std::string>());
  }

  std::vector<ShownMessage> messages;
  std::function<void(const ShownMessage&)> onMessage;
  // Question boxes and input boxes; an input's text is "prompt|initial".
  std::vector<ShownMessage> questions;
  std::vector<ShownMessage> inputs;
  std::vector<std::int32_t> colorRequests;
  std::vector<FontChoice> fontRequests;
  std::vector<OpenFileRequest> fileRequests;

  std::deque<Answer> answers;
  std::deque<std::string> inputAnswers;
  std::deque<std::optional<std::int32_t>> colorAnswers;
  std::deque<std::optional<FontChoice>> fontAnswers;
  std::deque<std::optional<std::string>> fileAnswers;

 private:
  template <typename T>
  static T take(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
  }
};

}  // namespace tarnvale::test
