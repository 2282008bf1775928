#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "settings/ini_file.h"

namespace tarnvale {
namespace {

using namespace std::string_literals;

struct ReadCase {
  std::string content;
  std::string section, key;
  std::optional<std::string> expected;
};

TEST(ReadProfileString, FindsEntriesByRule) {
  const ReadCase cases[] = {
      {"[Form]\nsize=50\n", "Form", "size", "50"},
      // names without regard to letter case, and without blanks around them
      {"[FORM]\nSIZE=50\n", "form", "Size", "50"},
      {"[Form]\nontop=1\n", "Form", "OnTop", "1"},
      {"[Form]\nSHow Phase=1\n", "Form", "Show Phase", "1"},
      {"  [ Form ]  \n  size  =  50  \n", "Form", "size", "50"},
      {"[Form]\nsize=50\n", " Form ", " size ", "50"},
      {"[Form]\na=\tx\t\n", "Form", "a", "x"},
      // one pair of matching quotes is removed after trimming
      {"[F]\na=\"  x  \"\n", "F", "a", "  x  "},
      {"[F]\na='  x  '\n", "F", "a", "  x  "},
      {"[F]\na=  \"x\"  \n", "F", "a", "x"},
      {"[F]\na=\"\"x\"\"\n", "F", "a", "\"x\""},
      {"[F]\na=\"x'\n", "F", "a", "\"x'"},
      {"[F]\na=\"\n", "F", "a", "\""},
      {"[F]\na=\"\"\n", "F", "a", ""},
      {"[F]\na=\"x\n", "F", "a", "\"x"},
      // present but empty is not missing
      {"[F]\na=\n", "F", "a", ""},
      {"[F]\na=   \n", "F", "a", ""},
      {"[F]\na=b=c\n", "F", "a", "b=c"},
      // missing section or key
      {"", "F", "a", std::nullopt},
      {"[F]\nb=1\n", "F", "a", std::nullopt},
      {"[G]\na=1\n", "F", "a", std::nullopt},
      {"a=1\n[F]\n", "F", "a", std::nullopt},
      {"[F]\n=x\n", "F", "", std::nullopt},
      {"[F]\nab=1\n", "F", "a", std::nullopt},
      // the first section and the first key win
      {"[F]\na=1\na=2\n", "F", "a", "1"},
      {"[F]\na=1\n[F]\na=2\nb=3\n", "F", "b", std::nullopt},
      {"[G]\n[F]\na=1\n[G]\na=2\n", "F", "a", "1"},
      // line ends
      {"[F]\r\na=1\r\n", "F", "a", "1"},
      {"[F]\r\na=1\r", "F", "a", "1"},
      {"[F]\na=1", "F", "a", "1"},
      // comments and junk are skipped; an unclosed header is not a header
      {"[F]\n;a=1\na=2\n", "F", "a", "2"},
      {"[F]\njunk\n\n   \na=2\n", "F", "a", "2"},
      {"[F\na=1\n", "F", "a", std::nullopt},
      {"[F]\n[G\na=1\n", "F", "a", "1"},
      {"[F]junk\na=1\n", "F", "a", "1"},
      // NUL bytes are ordinary bytes
      {"[F]\na=x\0y\n"s, "F", "a", "x\0y"s},
      {"\0\0\n[F]\na=1\n"s, "F", "a", "1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(readProfileString(c.content, c.section, c.key), c.expected)
        << "content: " << c.content << " key: " << c.key;
}

TEST(ReadProfileString, CutsValuesAt2047CharactersNeverInsideASequence) {
  const std::string a2046(2046, 'a');
  const struct {
    std::string value, expected;
  } cases[] = {
      {std::string(3000, 'x'), std::string(2047, 'x')},
      {std::string(2047, 'x'), std::string(2047, 'x')},
      {"\"" + std::string(3000, 'x') + "\"", std::string(2047, 'x')},
      {a2046 + "\xC3\xA9" + "b", a2046 + "\xC3\xA9"},                  // é: 2 bytes, 1 character
      {a2046 + "\xE2\x82\xAC" + "b", a2046 + "\xE2\x82\xAC"},          // €: 3 bytes
      {a2046 + "\xF0\x9F\x8E\xB5" + "b", a2046 + "\xF0\x9F\x8E\xB5"},  // 4 bytes
      {a2046 + "a\xC3\xA9", a2046 + "a"},
      {std::string(2500, '\xC3') + "\xA9", std::string(2047, '\xC3')},  // lone lead bytes
      {a2046 + "\xE2\x82" + "zz", a2046 + "\xE2"},  // a broken sequence counts per byte
      {a2046 + "\xED\xA0\x80", a2046 + "\xED"},     // a surrogate is not valid UTF-8
  };
  for (const auto& c : cases) {
    const auto read = readProfileString("[F]\nk=" + c.value + "\n", "F", "k");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, c.expected) << "value of " << c.value.size() << " bytes";
  }
}

struct WriteCase {
  std::string content;
  std::string section, key, value;
  std::string expected;
};

TEST(WriteProfileString, ReplacesInPlaceOrAddsAtTheEndOfTheSection) {
  const WriteCase cases[] = {
      {"", "F", "a", "1", "[F]\na=1\n"},
      {"[F]\na=1\n", "F", "a", "2", "[F]\na=2\n"},
      {"[F]\na=1\n", "f", "A", "2", "[F]\na=2\n"},
      // the key keeps the spelling it has in the file
      {"[Form]\nOnTop=1\n", "Form", "ontop", "0", "[Form]\nOnTop=0\n"},
      {"[F]\n  a = 1  \nb=2\n", "F", "a", "9", "[F]\na=9\nb=2\n"},
      // a replaced line keeps its own line end, every other line stays
      {"[F]\r\na=1\r\nb=2\r\n", "F", "a", "9", "[F]\r\na=9\r\nb=2\r\n"},
      {"[F]\na=1\r", "F", "a", "2", "[F]\na=2\r"},
      {"[F]\na=1", "F", "a", "2", "[F]\na=2"},
      // a new key follows the last entry, before blank lines, notes and the next header
      {"[F]\na=1\n\n; note\n[G]\nb=2\n", "F", "c", "3", "[F]\na=1\nc=3\n\n; note\n[G]\nb=2\n"},
      {"[F]\n\n[G]\n", "F", "a", "1", "[F]\na=1\n\n[G]\n"},
      {"[F]\r\na=1\r\n\r\n", "F", "b", "2", "[F]\r\na=1\r\nb=2\n\r\n"},
      {"[F]\na=1", "F", "b", "2", "[F]\na=1\nb=2\n"},
      {"[F]\na=1\r", "F", "b", "2", "[F]\na=1\r\nb=2\n"},
      {"[F]", "F", "a", "1", "[F]\na=1\n"},
      {"[F]\n[G\nb=2\n", "F", "c", "3", "[F]\n[G\nb=2\nc=3\n"},
      // only the first section of a name is written
      {"[F]\na=1\n[F]\nb=2\n", "F", "b", "3", "[F]\na=1\nb=3\n[F]\nb=2\n"},
      // a new section goes at the end, on a line of its own
      {"[F]\na=1\n", "G", "b", "2", "[F]\na=1\n[G]\nb=2\n"},
      {"[F]\na=1", "G", "b", "2", "[F]\na=1\n[G]\nb=2\n"},
      {"junk\r", "G", "b", "2", "junk\r\n[G]\nb=2\n"},
      {"a=1\n", "G", "a", "2", "a=1\n[G]\na=2\n"},
      // values are written as given, except that CR and LF would start new lines
      {"", "F", "a", "  x  ", "[F]\na=  x  \n"},
      {"", "F", "a", "x\r\ny\nz\r", "[F]\na=x  y z \n"},
      {"", " F ", " a ", "1", "[F]\na=1\n"},
      {"[F]\n\0junk\n\xFF\xFE=\0\n"s, "F", "a", "1", "[F]\n\0junk\n\xFF\xFE=\0\na=1\n"s},
  };
  for (const auto& c : cases)
    EXPECT_EQ(writeProfileString(c.content, c.section, c.key, c.value), c.expected)
        << "content: " << c.content << " key: " << c.key;
}

TEST(WriteProfileString, WrittenValuesReadBackByTheReadingRule) {
  const struct {
    std::string value, expected;
  } cases[] = {
      {"plain", "plain"},
      {"  blanks  ", "blanks"},
      {"\"  quoted  \"", "  quoted  "},
      {"two\nlines", "two lines"},
      {std::string(3000, 'q'), std::string(2047, 'q')},
      {"", ""},
  };
  const std::string file = "; note\n[F]\nx=1\n[G]\ny=2\n";
  for (const auto& c : cases) {
    const std::string written = writeProfileString(file, "F", "k", c.value);
    EXPECT_EQ(readProfileString(written, "F", "k"), c.expected) << c.value;
    EXPECT_EQ(readProfileString(written, "F", "x"), "1");
    EXPECT_EQ(readProfileString(written, "G", "y"), "2");
    // Writing the same again changes nothing.
    EXPECT_EQ(writeProfileString(written, "F", "k", c.value), written);
  }
}

TEST(WriteProfileString, RefusesNamesThatCouldNotBeReadBack) {
  const struct {
    std::string section, key;
  } cases[] = {
      {"", "a"},    {"  ", "a"}, {"F]", "a"}, {"F\n", "a"},  {"F", ""},
      {"F", "a=b"}, {"F", "[a"}, {"F", ";a"}, {"F", "a\rb"}, {"F", "  "},
  };
  for (const auto& c : cases)
    EXPECT_THROW(writeProfileString("[F]\n", c.section, c.key, "1"), std::invalid_argument)
        << "[" << c.section << "] " << c.key;
}

}  // namespace
}  // namespace tarnvale
