#include "settings/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnvale {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int32_t> parseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string_view rest = text.substr(i);
  bool hex = false;
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    hex = true;
    rest.remove_prefix(2);
  } else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    hex = true;
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;

  if (hex) {
    if (rest.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : rest) {
      const int digit = hexValue(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    // Two's complement wrap, as a 32-bit register would hold it.
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
  }

  std::int64_t value = 0;
  for (char c : rest) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<double> parseReal(std::string_view text, std::string_view separator) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

  // Validate the grammar ourselves and hand a plain "C" form to from_chars,
  // which knows no locale.
  std::string plain;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain += '-';
    ++i;
  }
  int digits = 0;
  while (i < text.size() && isDigit(text[i])) {
    plain += text[i++];
    ++digits;
  }
  if (!separator.empty() && text.substr(i).starts_with(separator)) {
    i += separator.size();
    plain += '.';
    while (i < text.size() && isDigit(text[i])) {
      plain += text[i++];
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    int expDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
      plain += text[i++];
      ++expDigits;
    }
    if (expDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size()) {
    // Underflow to a tiny value is still a number; overflow is not.
    if (ec == std::errc::result_out_of_range) {
      const double loose = std::strtod(plain.c_str(), nullptr);
      if (std::isfinite(loose)) return loose;
    }
    return std::nullopt;
  }
  return value;
}

std::string formatGeneral(double value, std::string_view separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // 15 significant digits, correctly rounded by printf.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (isDigit(*p)) digits += *p;
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = value < 0 ? "-" : "";
  if (exponent < -5 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) {
      out += separator;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent < 0) {
    out += '0';
    out += separator;
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits;
      out.append(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits);
      out += separator;
      out += digits.substr(intDigits);
    }
  }
  return out;
}

}  // namespace tarnvale
