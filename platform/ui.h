#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnvale {

// A font as the font dialog offers it: face, points, colour (0x00BBGGRR) and
// style bits (1 bold, 2 italic, 4 underline, 8 strike-through).
struct FontChoice {
  std::string name;
  std::int32_t size = 12;
  std::int32_t color = 0;
  std::int32_t style = 0;
  bool operator==(const FontChoice&) const = default;
};

enum class Answer { Yes, No, Cancel };

// Modal user dialogs. Texts and captions are passed exactly as the program
// owns them; an implementation may turn "\r\n" into line breaks only for display.
class Ui {
 public:
  virtual ~Ui() = default;
  // A message box with one OK button; returns when the user has closed it.
  virtual void showMessage(const std::string& text, const std::string& caption) = 0;
  // A question box with Yes, No and Cancel; closing it otherwise is Cancel.
  virtual Answer askYesNoCancel(const std::string& text, const std::string& caption) = 0;
  // A one-line text input box; Cancel gives an empty text.
  virtual std::string inputText(const std::string& caption, const std::string& prompt,
                                const std::string& initial) = 0;
  // The colour dialog, starting at `initial` (0x00BBGGRR); empty on cancel.
  virtual std::optional<std::int32_t> chooseColor(std::int32_t initial) = 0;
  virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) = 0;
  // The file-open dialog. `filter` is description|pattern pairs separated by
  // "|", patterns separated by ";". Returns the full path, empty on cancel.
  virtual std::optional<std::string> chooseOpenFile(const std::string& filter,
                                                    const std::string& initialFolder,
                                                    const std::string& defaultExtension) = 0;
};

}  // namespace tarnvale
