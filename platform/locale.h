#pragma once

#include <string>

namespace tarnvale {

// Decimal separators: the user's locale (numbers typed and shown, the settings
// file) and the system's default locale (the setup dialog's key filters).
// Each is one character, held as UTF-8.
class Locale {
 public:
  virtual ~Locale() = default;
  virtual std::string decimalSeparator() const = 0;
  virtual std::string systemDecimalSeparator() const = 0;
};

// A locale with fixed separators; the Qt-backed one reads QLocale::system().
class FixedLocale final : public Locale {
 public:
  explicit FixedLocale(std::string separator = ".", std::string systemSeparator = "")
      : separator_(std::move(separator)),
        systemSeparator_(systemSeparator.empty() ? separator_ : std::move(systemSeparator)) {}
  std::string decimalSeparator() const override { return separator_; }
  std::string systemDecimalSeparator() const override { return systemSeparator_; }

 private:
  std::string separator_;
  std::string systemSeparator_;
};

}  // namespace tarnvale
