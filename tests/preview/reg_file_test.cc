// The .reg reader and writer: every value form in both versions and all
// three text encodings, the errors with their lines, and round trips.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "preview/exports/reg_file.h"

namespace {

using regfile::Data;
using regfile::Encoding;
using regfile::Error;
using regfile::File;
using regfile::Item;
using regfile::Root;
using regfile::Units;
using regfile::Version;

enum class Text { kBytes, kUtf16, kUtf8 };

// The file content for text in the given encoding, with its mark.
std::string Encode(const std::u16string& text, Text how) {
  std::string out;
  switch (how) {
    case Text::kBytes:
      for (char16_t c : text) out.push_back(static_cast<char>(c));
      break;
    case Text::kUtf16:
      out = "\xFF\xFE";
      for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
      }
      break;
    case Text::kUtf8:
      out = "\xEF\xBB\xBF";
      for (size_t i = 0; i < text.size(); ++i) {
        unsigned c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
          c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
          out.push_back(static_cast<char>(0xF0 | (c >> 18)));
          out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
          out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else if (c >= 0x800) {
          out.push_back(static_cast<char>(0xE0 | (c >> 12)));
          out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else if (c >= 0x80) {
          out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        }
        out.push_back(static_cast<char>(c < 0x80 ? c : 0x80 | (c & 0x3F)));
      }
      break;
  }
  return out;
}

std::string Show(const Units& u) {
  std::string s;
  for (char16_t c : u) {
    if (c >= 0x20 && c < 0x7F) {
      s.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      s += buf;
    }
  }
  return s;
}

// Everything an item says but its line, for comparisons with readable
// failures.
std::string Show(const Item& item) {
  static const char* const kKinds[] = {"key", "delete-key", "value",
                                       "delete-value"};
  std::string s = kKinds[static_cast<int>(item.kind)];
  s += std::string(" ") + regfile::RootName(item.key.root) + "\\" +
       Show(item.key.path);
  if (item.kind == Item::Kind::kValue || item.kind == Item::Kind::kDeleteValue)
    s += " name=" + Show(item.name);
  if (item.kind == Item::Kind::kValue) {
    static const char* const kForms[] = {"string", "dword", "hex"};
    s += std::string(" ") + kForms[static_cast<int>(item.data.form)] +
         " type=" + std::to_string(item.data.type) +
         " text=" + Show(item.data.text) + " bytes=";
    for (unsigned char b : item.data.bytes) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02x ", b);
      s += buf;
    }
  }
  return s;
}

Item Key(Root root, const Units& path, bool deletion = false) {
  Item item;
  item.kind = deletion ? Item::Kind::kDeleteKey : Item::Kind::kKey;
  item.key = {root, path};
  return item;
}

Item Value(const Units& path, const Units& name, Data::Form form,
           uint32_t type, const Units& text, const std::string& bytes) {
  Item item;
  item.kind = Item::Kind::kValue;
  item.key = {Root::kLocalMachine, path};
  item.name = name;
  item.data.form = form;
  item.data.type = type;
  item.data.text = text;
  item.data.bytes = bytes;
  return item;
}

Item String(const Units& name, const Units& text) {
  return Value(u"Software\\Test", name, Data::Form::kString, 1, text, "");
}
Item Dword(const Units& name, const std::string& le) {
  return Value(u"Software\\Test", name, Data::Form::kDword, 4, u"", le);
}
Item Hex(const Units& name, uint32_t type, const std::string& bytes) {
  return Value(u"Software\\Test", name, Data::Form::kHex, type, u"", bytes);
}
Item DeleteValue(const Units& name) {
  Item item = String(name, u"");
  item.kind = Item::Kind::kDeleteValue;
  return item;
}

const char16_t* HeaderOf(Version v) {
  return v == Version::k4 ? u"REGEDIT4"
                          : u"Windows Registry Editor Version 5.00";
}

TEST(RegFileRead, EveryValueFormInEveryVersionEncodingAndLineEnd) {
  const struct {
    const char16_t* line;
    Item expected;
  } cases[] = {
      {u"\"Name\"=\"text\"", String(u"Name", u"text")},
      {u"@=\"default\"", String(u"", u"default")},
      {u"\"a\\\\b\\\"c\\n\\r\"=\"x\\\\y\\\"z\\r\\n\"",
       String(u"a\\b\"c\n\r", u"x\\y\"z\r\n")},
      {u"\"Caf\u00e9\"=\"\u00fc \u00ff\"", String(u"Caf\u00e9", u"\u00fc \u00ff")},
      {u"\"Empty\"=\"\"", String(u"Empty", u"")},
      {u"  \"Spaced\" \t=  \"v\"  \t", String(u"Spaced", u"v")},
      {u"\"Noted\"=\"v\" ; why", String(u"Noted", u"v")},
      {u"\"Semi\"=\"a;b\"", String(u"Semi", u"a;b")},
      {u"\"Count\"=dword:0000002a", Dword(u"Count", std::string("\x2a\0\0\0", 4))},
      {u"\"Mixed\"=dword:DeadBeef", Dword(u"Mixed", "\xef\xbe\xad\xde")},
      {u"\"Short\"=dword:7 ; seven", Dword(u"Short", std::string("\x07\0\0\0", 4))},
      {u"\"Bin\"=hex:01,ab,FF", Hex(u"Bin", 3, "\x01\xab\xff")},
      {u"\"Blank\"=hex:", Hex(u"Blank", 3, "")},
      {u"\"Loose\"=hex: 01 ,02\t,03, ", Hex(u"Loose", 3, "\x01\x02\x03")},
      {u"\"Exp\"=hex(2):25,00,00,00", Hex(u"Exp", 2, std::string("%\0\0\0", 4))},
      {u"\"Multi\"=hex(7):61,00,00,00,00,00",
       Hex(u"Multi", 7, std::string("a\0\0\0\0\0", 6))},
      {u"\"None\"=hex(0):", Hex(u"None", 0, "")},
      {u"\"Q\"=hex(b):01,02,03,04,05,06,07,08", Hex(u"Q", 11, "\1\2\3\4\5\6\7\x08")},
      {u"\"Big\"=hex(FFFFFFFF):00 ; c", Hex(u"Big", 0xFFFFFFFF, std::string(1, '\0'))},
      {u"\"Gone\"=-", DeleteValue(u"Gone")},
      {u"@ = - ; default gone", DeleteValue(u"")},
  };
  for (Version version : {Version::k4, Version::k5}) {
    for (Text text : {Text::kBytes, Text::kUtf16, Text::kUtf8}) {
      for (const char16_t* eol : {u"\r\n", u"\n", u"\r"}) {
        for (const auto& c : cases) {
          const std::u16string content = std::u16string(HeaderOf(version)) +
                                         eol + u"[HKEY_LOCAL_MACHINE\\Software\\Test]" +
                                         eol + c.line + eol;
          SCOPED_TRACE(Show(content) + " as " + std::to_string(int(text)));
          File file;
          Error error;
          ASSERT_TRUE(regfile::Parse(Encode(content, text), &file, &error))
              << error.line << ": " << error.message;
          EXPECT_EQ(version, file.version);
          EXPECT_EQ(text == Text::kBytes ? Encoding::kBytes : Encoding::kUtf16,
                    file.encoding);
          ASSERT_EQ(2u, file.items.size());
          EXPECT_EQ(2, file.items[0].line);
          EXPECT_EQ(3, file.items[1].line);
          EXPECT_EQ(Show(c.expected), Show(file.items[1]));
        }
      }
    }
  }
}

TEST(RegFileRead, KeyLines) {
  const Units long_name(255, u'k');
  const struct {
    std::u16string line;
    Item expected;
  } cases[] = {
      {u"[HKEY_LOCAL_MACHINE\\Software\\Vendor]",
       Key(Root::kLocalMachine, u"Software\\Vendor")},
      {u"[hkey_Current_User\\SoftWare\\MiXed]",
       Key(Root::kCurrentUser, u"SoftWare\\MiXed")},
      {u"[HKEY_LOCAL_MACHINE]", Key(Root::kLocalMachine, u"")},
      {u"[HKEY_CURRENT_USER\\]", Key(Root::kCurrentUser, u"")},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Vendor\\]",
       Key(Root::kLocalMachine, u"Software\\Vendor")},
      {u"[HKEY_LOCAL_MACHINE\\Soft]ware\\[x]]",
       Key(Root::kLocalMachine, u"Soft]ware\\[x]")},
      {u"  [HKEY_LOCAL_MACHINE\\A B\\C ]  ; note",
       Key(Root::kLocalMachine, u"A B\\C ")},
      {u"[-HKEY_CURRENT_USER\\Software\\Old]",
       Key(Root::kCurrentUser, u"Software\\Old", true)},
      {u"[-HKEY_LOCAL_MACHINE\\Software\\Old\\]\t",
       Key(Root::kLocalMachine, u"Software\\Old", true)},
      {u"[HKEY_LOCAL_MACHINE\\" + long_name + u"]",
       Key(Root::kLocalMachine, long_name)},
  };
  for (Text text : {Text::kBytes, Text::kUtf16}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(Show(c.line));
      File file;
      Error error;
      ASSERT_TRUE(regfile::Parse(Encode(u"REGEDIT4\r\n" + c.line, text),
                                 &file, &error))
          << error.line << ": " << error.message;
      ASSERT_EQ(1u, file.items.size());
      EXPECT_EQ(Show(c.expected), Show(file.items[0]));
      EXPECT_EQ(2, file.items[0].line);
    }
  }
}

TEST(RegFileRead, ContinuedHexData) {
  const struct {
    const char16_t* lines;  // after the key line (line 2)
    std::string bytes;
    int next_line;  // of the value after it
  } cases[] = {
      {u"\"h\"=hex:01,02,\\\n  03,04\n", "\x01\x02\x03\x04", 5},
      {u"\"h\"=hex(7):01,\t\\ \n\t 02 ,\\\n  03\n", "\x01\x02\x03", 6},
      {u"\"h\"=hex:\\\n  0a,0b\n", "\x0a\x0b", 5},
      // Blank and comment lines inside are skipped, as Wine does.
      {u"\"h\"=hex:01,\\\n\n; note\n   ;indented note\n  02\n", "\x01\x02", 8},
      {u"\"h\"=hex:01,\\\n  02, ; end\n", "\x01\x02", 5},
      {u"\"h\"=hex:01,\\\r\n  02,\\\r  03,\r\n", "\x01\x02\x03", 6},
  };
  for (Text text : {Text::kBytes, Text::kUtf16}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(Show(c.lines));
      const std::u16string content =
          std::u16string(u"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n") + c.lines +
          u"\"next\"=\"x\"\n";
      File file;
      Error error;
      ASSERT_TRUE(regfile::Parse(Encode(content, text), &file, &error))
          << error.line << ": " << error.message;
      ASSERT_EQ(3u, file.items.size());
      EXPECT_EQ(c.bytes, file.items[1].data.bytes);
      EXPECT_EQ(3, file.items[1].line);
      EXPECT_EQ(c.next_line, file.items[2].line);
      EXPECT_EQ(u"next", file.items[2].name);
    }
  }
  // The end of the file ends a continued value.
  File file;
  Error error;
  ASSERT_TRUE(regfile::Parse("REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n"
                             "\"h\"=hex:01,\\\r\n",
                             &file, &error));
  ASSERT_EQ(2u, file.items.size());
  EXPECT_EQ("\x01", file.items[1].data.bytes);
}

TEST(RegFileRead, KeepsOrderAndLinesWithoutMerging) {
  File file;
  Error error;
  ASSERT_TRUE(regfile::Parse(
      "  Windows Registry Editor Version 5.00\r\n"
      "; comment\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\A]\r\n"
      "\"v\"=\"1\"\r\n"
      "   \t\r\n"
      "[-HKEY_LOCAL_MACHINE\\A]\r\n"
      "[HKEY_LOCAL_MACHINE\\A]\r\n"
      "\"v\"=\"2\"\r\n"
      "\"v\"=-\r\n"
      "[HKEY_CURRENT_USER\\B]\r\n",
      &file, &error))
      << error.line << ": " << error.message;
  const struct {
    Item::Kind kind;
    int line;
  } expected[] = {
      {Item::Kind::kKey, 4},       {Item::Kind::kValue, 5},
      {Item::Kind::kDeleteKey, 7}, {Item::Kind::kKey, 8},
      {Item::Kind::kValue, 9},     {Item::Kind::kDeleteValue, 10},
      {Item::Kind::kKey, 11},
  };
  ASSERT_EQ(std::size(expected), file.items.size());
  for (size_t i = 0; i < file.items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].kind, file.items[i].kind);
    EXPECT_EQ(expected[i].line, file.items[i].line);
  }
  EXPECT_EQ(u"1", file.items[1].data.text);
  EXPECT_EQ(u"2", file.items[4].data.text);
  EXPECT_EQ(Root::kCurrentUser, file.items[6].key.root);
}

std::string Utf16(const std::u16string& text) { return Encode(text, Text::kUtf16); }
std::string Bytes(const std::u16string& text) { return Encode(text, Text::kBytes); }

TEST(RegFileRead, RejectsBadInputAtItsLine) {
  const std::u16string h = u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
  const std::string h8 = "\xEF\xBB\xBFREGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
  const std::string not_reg =
      "not a .reg file: the first line is neither REGEDIT4 nor Windows "
      "Registry Editor Version 5.00";
  const struct {
    std::string content;
    int line;
    std::string message;
  } cases[] = {
      {"", 0, "empty file"},
      {"\xFF\xFE", 0, "empty file"},
      {"Hello\r\nREGEDIT4\r\n", 1, not_reg},
      {"\r\nREGEDIT4\r\n", 1, not_reg},
      {"; comment\r\nREGEDIT4\r\n", 1, not_reg},
      {"REGEDIT5\r\n", 1, not_reg},
      {"REGEDIT4 \r\n", 1, not_reg},
      {"regedit4\r\n", 1, not_reg},
      {Utf16(u"Windows Registry Editor Version 5.0\r\n"), 1, not_reg},
      {"\xFE\xFFREGEDIT4\r\n", 1, not_reg},  // big-endian is no mark here
      {Bytes(u"REGEDIT4\r\n\"v\"=\"x\"\r\n"), 2, "value outside a key"},
      {Bytes(h + u"[-HKEY_LOCAL_MACHINE\\K]\r\n\r\n@=\"x\"\r\n"), 5,
       "value outside a key"},
      {Bytes(h + u"\"v=\"x\"\r\n"), 3, "expected = after the value name"},
      {Bytes(h + u"\"v=1\r\n"), 3, "unclosed string"},
      {Bytes(h + u"\"v\"=\"abc\r\n\"\r\n"), 3, "unclosed string"},
      {Bytes(h + u"\"v\"=\"abc\\\r\n"), 3, "unclosed string"},
      {Bytes(h + u"\r\n[HKEY_LOCAL_MACHINE\\K\r\n"), 4, "unclosed bracket"},
      {Bytes(h + u"[-HKEY_LOCAL_MACHINE\r\n"), 3, "unclosed bracket"},
      {Bytes(h + u"[HKEY_FOO\\x]\r\n"), 3, "unknown root HKEY_FOO"},
      {Bytes(h + u"[garbage]\r\n"), 3, "unknown root garbage"},
      {Bytes(h + u"[HKLM\\Software]\r\n"), 3, "unknown root HKLM"},
      {Bytes(h + u"[HKCR\\.txt]\r\n"), 3, "unknown root HKCR"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINEX\\a]\r\n"), 3,
       "unknown root HKEY_LOCAL_MACHINEX"},
      {Bytes(h + u"[HKEY_USERSX\\a]\r\n"), 3, "unknown root HKEY_USERSX"},
      {Bytes(h + u"[HKEY_PERFORMANCE_DATA]\r\n"), 3,
       "unknown root HKEY_PERFORMANCE_DATA"},
      {Utf16(u"REGEDIT4\r\n[HKEY_CLASSES_ROOT\\a]\r\n[HKEY_FO\\b]\r\n"), 3,
       "unknown root HKEY_FO"},
      // Keys of other roots are skipped, but read as strictly as the rest.
      {Bytes(h + u"[-HKEY_CLASSES_ROOT]\r\n"), 3, "cannot delete a root key"},
      {Bytes(h + u"[HKEY_USERS\\a\\\\b]\r\n"), 3, "empty key name component"},
      {Bytes(h + u"[HKEY_USERS\\a]\r\n\"d\"=dword:xyz\r\n"), 4, "bad dword"},
      {Bytes(h + u"[HKEY_CLASSES_ROOT\\a]\r\n@=\"x\r\n"), 4, "unclosed string"},
      {Bytes(h + u"[-HKEY_USERS\\a]\r\n@=\"x\"\r\n"), 4, "value outside a key"},
      {Bytes(h + u"[-HKEY_LOCAL_MACHINE]\r\n"), 3, "cannot delete a root key"},
      {Bytes(h + u"[-HKEY_CURRENT_USER\\]\r\n"), 3, "cannot delete a root key"},
      {Bytes(h + u"[ HKEY_LOCAL_MACHINE\\a]\r\n"), 3,
       "blank at the start of the key name"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINE\\a] x\r\n"), 3,
       "unexpected text after the key name"},
      {Bytes(h + u"[]\r\n"), 3, "empty key name"},
      {Bytes(h + u"[\\Software]\r\n"), 3, "missing root key"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINE\\a\\\\b]\r\n"), 3,
       "empty key name component"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINE\\\\a]\r\n"), 3, "empty key name component"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINE\\\\]\r\n"), 3, "empty key name component"},
      {Bytes(h + u"[HKEY_LOCAL_MACHINE\\a\\" + Units(256, u'k') + u"]\r\n"), 3,
       "key name component longer than 255 characters"},
      {Bytes(h + u"\"d\"=dword:123456789\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"d\"=dword:xyz\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"d\"=dword:12 x\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"d\"=dword:0x12\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"d\"=dword:\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"d\"=dword:-1\r\n"), 3, "bad dword"},
      {Bytes(h + u"\"h\"=hex:1\r\n"), 3, "odd number of hex digits in a byte"},
      {Bytes(h + u"\"h\"=hex:01,2,03\r\n"), 3, "odd number of hex digits in a byte"},
      {Bytes(h + u"\"h\"=hex:012\r\n"), 3, "odd number of hex digits in a byte"},
      {Bytes(h + u"\"h\"=hex:01,\\\r\n  02,\\\r\n\r\n  003\r\n"), 6,
       "odd number of hex digits in a byte"},
      {Bytes(h + u"\"h\"=hex:0102\r\n"), 3, "bad hex byte"},
      {Bytes(h + u"\"h\"=hex:zz\r\n"), 3, "bad hex byte"},
      {Bytes(h + u"\"h\"=hex:01,,02\r\n"), 3, "bad hex byte"},
      {Bytes(h + u"\"h\"=hex:01,\\\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"), 4,
       "bad hex byte"},
      {Bytes(h + u"\"h\"=hex:01 02\r\n"), 3, "expected a comma after a hex byte"},
      {Bytes(h + u"\"h\"=hex:01\\\r\n  02\r\n"), 3,
       "expected a comma after a hex byte"},
      {Bytes(h + u"\"h\"=hex:01,\\ 02\r\n"), 3,
       "unexpected text after the line continuation"},
      {Bytes(h + u"\"s\"=\"b\" c\r\n"), 3, "unexpected text after the data"},
      {Bytes(h + u"\"s\"=\"b\"\"\r\n"), 3, "unexpected text after the data"},
      {Bytes(h + u"\"s\"=-x\r\n"), 3, "unexpected text after the data"},
      {Bytes(h + u"\"s\"=str:x\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=foo\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=hex(2)01\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=hex(0x2):01\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=hex():01\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=hex(123456789):01\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=DWORD:1\r\n"), 3, "unknown data type"},
      {Bytes(h + u"\"s\"=\r\n"), 3, "missing value data"},
      {Bytes(h + u"\"s\" \"x\"\r\n"), 3, "expected = after the value name"},
      {Bytes(h + u"@\"x\"\r\n"), 3, "expected = after the value name"},
      {Bytes(h + u"\"s\"=\"a\\tb\"\r\n"), 3, "unknown escape \\t"},
      {Bytes(h + u"\"a\\'\"=\"\"\r\n"), 3, "unknown escape \\'"},
      {Bytes(h + u"Software=1\r\n"), 3, "neither a key, a value nor a comment"},
      // '#' is a comment only where a line starts.
      {Bytes(h + u"\"s\"=\"b\" # c\r\n"), 3, "unexpected text after the data"},
      {Bytes(h + u"\"h\"=hex:01,\\\r\n  # c\r\n  02\r\n"), 4, "bad hex byte"},
      {"# comment\r\nREGEDIT4\r\n", 1, not_reg},
      // Only one Ctrl-Z at the very end is no text.
      {Bytes(h + u"\x1a\r\n"), 3, "neither a key, a value nor a comment"},
      {Bytes(h + u"\x1a\x1a"), 3, "neither a key, a value nor a comment"},
      {Bytes(h + u"\"v\"=\"x\"\x1a\r\n"), 3, "unexpected text after the data"},
      {Utf16(h + u"\x1a\x1a"), 3, "neither a key, a value nor a comment"},
      {Utf16(h) + "\x1b", 3, "odd number of bytes in a UTF-16 file"},
      {Bytes(h + u"-\"v\"\r\n"), 3, "neither a key, a value nor a comment"},
      {Utf16(h + u"\"v\"=\"x\"\r\n") + "A", 4,
       "odd number of bytes in a UTF-16 file"},
      {Utf16(u"REGEDIT4") + "\n", 1, "odd number of bytes in a UTF-16 file"},
      {h8 + "\"v\"=\"\xC3\x28\"\n", 3, "invalid UTF-8"},
      {h8 + "\n\"v\"=\"\xC0\xAF\"\n", 4, "invalid UTF-8"},      // overlong
      {h8 + "\"v\"=\"\xED\xA0\x80\"\n", 3, "invalid UTF-8"},    // surrogate
      {h8 + "\"v\"=\"\xF4\x90\x80\x80\"\n", 3, "invalid UTF-8"},  // > U+10FFFF
      {h8 + "\"v\"=\"\xFF\"\n", 3, "invalid UTF-8"},
      {h8 + "\"v\"=\"\xE2\x82", 3, "invalid UTF-8"},  // cut short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    File file;
    Error error;
    EXPECT_FALSE(regfile::Parse(c.content, &file, &error));
    EXPECT_EQ(c.line, error.line);
    EXPECT_EQ(0u, error.message.rfind(c.message, 0)) << error.message;
  }
}

bool PrintableAscii(const std::string& s) {
  for (char c : s)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// Input quoted in a message comes out as printable ASCII, whatever the
// file's bytes: \xNN for a file of bytes, \uNNNN for a Unicode one.
TEST(RegFileRead, MessagesQuoteInputInPrintableAscii) {
  const std::u16string h = u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
  const struct {
    std::string content;
    std::string message;
  } cases[] = {
      {Bytes(h + u"[HKEY_\u00e9T\x01\x7f\\a]\r\n"),
       "unknown root HKEY_\\xE9T\\x01\\x7F"},
      {Bytes(h + u"[X\t\u00ff]\r\n"), "unknown root X\\x09\\xFF"},
      {Utf16(h + u"[\u4e2d\u6587\\x]\r\n"), "unknown root \\u4E2D\\u6587"},
      {Utf16(h + u"[\U0001F600]\r\n"), "unknown root \\uD83D\\uDE00"},
      {Utf16(h + u"[\xdc00x]\r\n"), "unknown root \\uDC00x"},
      {Encode(h + u"[Caf\u00e9]\r\n", Text::kUtf8), "unknown root Caf\\u00E9"},
      {Bytes(h + u"\"s\"=\"a\\\u00e9\"\r\n"), "unknown escape \\\\xE9"},
      {Utf16(h + u"\"s\"=\"a\\\u2603\"\r\n"), "unknown escape \\\\u2603"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    File file;
    Error error;
    EXPECT_FALSE(regfile::Parse(c.content, &file, &error));
    EXPECT_EQ(3, error.line);
    EXPECT_EQ(c.message, error.message);
    EXPECT_TRUE(PrintableAscii(error.message)) << error.message;
  }
}

// "copy /a" appends Ctrl-Z; the file reads as without it.
TEST(RegFileRead, FinalCtrlZIsNoText) {
  const std::u16string k4 = u"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
  const std::u16string k5 =
      u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
  const struct {
    std::string content;
    Version version;
    Encoding encoding;
    size_t items;
    std::string last;  // the last value's text, or its bytes for hex
  } cases[] = {
      {Bytes(k4 + u"\"v\"=\"x\"\r\n\x1a"), Version::k4, Encoding::kBytes, 2, "x"},
      {Bytes(k4 + u"\"v\"=\"x\"\x1a"), Version::k4, Encoding::kBytes, 2, "x"},
      {Bytes(k4 + u"\"h\"=hex:01,\\\r\n\x1a"), Version::k4, Encoding::kBytes, 2, "\x01"},
      {Bytes(u"REGEDIT4\x1a"), Version::k4, Encoding::kBytes, 0, ""},
      {Utf16(k5 + u"\"v\"=\"x\"\r\n\x1a"), Version::k5, Encoding::kUtf16, 2, "x"},
      {Utf16(k5 + u"\"v\"=\"y\"\x1a"), Version::k5, Encoding::kUtf16, 2, "y"},
      {Utf16(k5 + u"\"v\"=\"x\"\r\n") + "\x1a", Version::k5, Encoding::kUtf16, 2, "x"},
      {Utf16(k5 + u"\"v\"=\"z\"") + "\x1a", Version::k5, Encoding::kUtf16, 2, "z"},
      {Encode(k5 + u"\"v\"=\"\u00e9\"\r\n", Text::kUtf8) + "\x1a", Version::k5,
       Encoding::kUtf16, 2, "\xe9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    File file;
    Error error;
    ASSERT_TRUE(regfile::Parse(c.content, &file, &error))
        << error.line << ": " << error.message;
    EXPECT_EQ(c.version, file.version);
    EXPECT_EQ(c.encoding, file.encoding);
    ASSERT_EQ(c.items, file.items.size());
    if (c.items == 0) continue;
    const Data& data = file.items.back().data;
    std::string last;
    for (char16_t u : data.text) last.push_back(static_cast<char>(u));
    EXPECT_EQ(c.last, data.form == Data::Form::kHex ? data.bytes : last);
  }
}

// A line whose first non-blank character is '#' is a comment, as one
// starting with ';'; elsewhere '#' is text.
TEST(RegFileRead, HashLinesAreComments) {
  const struct {
    const char16_t* lines;  // after the header (line 1)
    std::vector<int> item_lines;
    std::string last;  // the last value as Show gives it
  } cases[] = {
      {u"# why\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"v\"=\"x\"\r\n", {3, 4},
       Show(String(u"v", u"x"))},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n  \t#indented\r\n#\r\n@=\"x\"\r\n",
       {2, 5}, Show(String(u"", u"x"))},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n#~ [HKEY_CURRENT_USER\\X]\r\n"
       u"\"#v\"=\"#x\"\r\n",
       {2, 4}, Show(String(u"#v", u"#x"))},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"v\"=\"a\" ; # x\r\n", {2, 3},
       Show(String(u"v", u"a"))},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"h\"=hex:01,\\\r\n; c\r\n  02\r\n"
       u"# c\r\n",
       {2, 3}, Show(Hex(u"h", 3, "\x01\x02"))},
  };
  for (Text text : {Text::kBytes, Text::kUtf16, Text::kUtf8}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(Show(c.lines));
      File file;
      Error error;
      ASSERT_TRUE(regfile::Parse(Encode(std::u16string(u"REGEDIT4\r\n") + c.lines, text),
                                 &file, &error))
          << error.line << ": " << error.message;
      std::vector<int> lines;
      for (const Item& item : file.items) lines.push_back(item.line);
      EXPECT_EQ(c.item_lines, lines);
      ASSERT_FALSE(file.items.empty());
      EXPECT_EQ(c.last, Show(file.items.back()));
    }
  }
}

Item InUser(Item item) {
  item.key.root = Root::kCurrentUser;
  return item;
}

// Keys of other roots, with their values and deletions, are left out and
// counted; the two roots the launcher reads are kept around them.
TEST(RegFileRead, KeysOfOtherRootsAreSkippedAndCounted) {
  const struct {
    const char16_t* lines;  // after the header (line 1)
    int skipped;
    std::vector<std::string> kept;  // Show of each item kept
    std::vector<int> kept_lines;
  } cases[] = {
      {u"[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\"\r\n\"Content Type\"=\"text/plain\"\r\n",
       1, {}, {}},
      {u"[HKEY_USERS\\.DEFAULT\\Software\\Test]\r\n\"v\"=dword:00000001\r\n"
       u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"v\"=\"kept\"\r\n",
       1,
       {Show(Key(Root::kLocalMachine, u"Software\\Test")), Show(String(u"v", u"kept"))},
       {4, 5}},
      {u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"a\"=\"1\"\r\n"
       u"[-HKEY_CURRENT_CONFIG\\Software\\Old]\r\n[-hkey_users\\S-1-5-18\\X]\r\n"
       u"[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"b\"=-\r\n",
       2,
       {Show(Key(Root::kLocalMachine, u"Software\\Test")), Show(String(u"a", u"1")),
        Show(Key(Root::kLocalMachine, u"Software\\Test")), Show(DeleteValue(u"b"))},
       {2, 3, 6, 7}},
      {u"[hkey_dyn_data\\PerfStats]\r\n[HKEY_CLASSES_ROOT]\r\n[HKEY_USERS\\]\r\n"
       u"\"h\"=hex(7):61,00,\\\r\n  00,00\r\n",
       3, {}, {}},
      // regedit /e all.reg: every root, one after the other.
      {u"\r\n[HKEY_CLASSES_ROOT]\r\n\r\n[HKEY_CLASSES_ROOT\\*]\r\n\"AlwaysShowExt\"=\"\"\r\n"
       u"\r\n[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
       u"\"v\"=hex:01,02\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_USERS]\r\n\r\n"
       u"[HKEY_USERS\\.DEFAULT]\r\n@=\"x\"\r\n\r\n[HKEY_CURRENT_CONFIG]\r\n\r\n"
       u"[HKEY_CURRENT_CONFIG\\Software]\r\n",
       6,
       {Show(Key(Root::kCurrentUser, u"")),
        Show(Key(Root::kCurrentUser, u"Software\\Test")),
        Show(InUser(Hex(u"v", 3, "\x01\x02"))),
        Show(Key(Root::kLocalMachine, u""))},
       {8, 10, 11, 13}},
  };
  for (Text text : {Text::kBytes, Text::kUtf16}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(Show(c.lines));
      File file;
      Error error;
      ASSERT_TRUE(regfile::Parse(Encode(std::u16string(u"REGEDIT4\r\n") + c.lines, text),
                                 &file, &error))
          << error.line << ": " << error.message;
      EXPECT_EQ(c.skipped, file.skipped_other_root_keys);
      std::vector<std::string> kept;
      std::vector<int> lines;
      for (const Item& item : file.items) {
        lines.push_back(item.line);
        kept.push_back(Show(item));
      }
      EXPECT_EQ(c.kept, kept);
      EXPECT_EQ(c.kept_lines, lines);
    }
  }
  // A file without keys of other roots counts none.
  File file;
  Error error;
  ASSERT_TRUE(regfile::Parse("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n", &file, &error));
  EXPECT_EQ(0, file.skipped_other_root_keys);
}

// What Write makes of one item after the header and the key line.
TEST(RegFileWrite, ValueForms) {
  const struct {
    Item item;
    const char* line;
  } cases[] = {
      {String(u"Name", u"text"), "\"Name\"=\"text\""},
      {String(u"", u"default"), "@=\"default\""},
      {String(u"a\\b\"c", u"x\r\ny\\\""), "\"a\\\\b\\\"c\"=\"x\\r\\ny\\\\\\\"\""},
      {Dword(u"d", std::string("\x2a\0\0\0", 4)), "\"d\"=dword:0000002a"},
      {Dword(u"d", "\xef\xbe\xad\xde"), "\"d\"=dword:deadbeef"},
      {Hex(u"b", 3, "\x01\xAB"), "\"b\"=hex:01,ab"},
      {Hex(u"b", 3, ""), "\"b\"=hex:"},
      {Hex(u"e", 2, std::string("%\0", 2)), "\"e\"=hex(2):25,00"},
      {Hex(u"q", 11, "\xff"), "\"q\"=hex(b):ff"},
      {Hex(u"z", 0, ""), "\"z\"=hex(0):"},
      {Hex(u"s", 1, "a"), "\"s\"=hex(1):61"},  // a string stays hex
      {Hex(u"x", 0xFFFFFFFF, ""), "\"x\"=hex(ffffffff):"},
      {DeleteValue(u"gone"), "\"gone\"=-"},
      {DeleteValue(u""), "@=-"},
      // 14 columns before the bytes: 21 on the first line, 25 on the next.
      {Hex(u"Path", 2, std::string(30, '\x11')),
       "\"Path\"=hex(2):11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,"
       "11,11,11,\\\r\n  11,11,11,11,11,11,11,11,11"},
      {Hex(u"", 3, std::string(50, '\x22')),
       "@=hex:22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,"
       "22,22,22,\\\r\n  22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,22,"
       "22,22,22,22,22,22,22,\\\r\n  22"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string expected =
        std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n") +
        c.line + "\r\n\r\n";
    EXPECT_EQ(expected, regfile::Write(Version::k4, Encoding::kBytes, {c.item}));
  }
}

TEST(RegFileWrite, KeyLinesEncodingsAndEnd) {
  const std::vector<Item> items = {
      String(u"v", u"1"),  // no key item before it: gets its key line
      Key(Root::kLocalMachine, u"Software\\Test", true),
      DeleteValue(u"v"),  // after the deletion the key is opened again
      Key(Root::kCurrentUser, u""),
      String(u"\u0100", u"\u4e2d"),
  };
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"v\"=\"1\"\r\n"
      u"\r\n[-HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"v\"=-\r\n"
      u"\r\n[HKEY_CURRENT_USER]\r\n"
      u"\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"\u0100\"=\"\u4e2d\"\r\n"
      u"\r\n";
  EXPECT_EQ(Encode(text, Text::kUtf16),
            regfile::Write(Version::k5, Encoding::kUtf16, items));
  std::u16string narrowed = text;
  for (char16_t& c : narrowed)
    if (c > 0xFF) c = u'?';
  EXPECT_EQ(Encode(narrowed, Text::kBytes),
            regfile::Write(Version::k5, Encoding::kBytes, items));
  EXPECT_STREQ("HKEY_LOCAL_MACHINE", regfile::RootName(Root::kLocalMachine));
  EXPECT_STREQ("HKEY_CURRENT_USER", regfile::RootName(Root::kCurrentUser));
}

TEST(RegFileRoundTrip, ItemsSurviveWriteAndParse) {
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes.push_back(static_cast<char>(i));
  const Units long_name(90, u'n');  // past the wrapping column by itself
  std::vector<Item> latin = {
      Key(Root::kLocalMachine, u"Software\\Test"),
      String(u"", u""),
      String(u"Name", u"a \"quoted\" \\ back\\slash; not a comment"),
      String(u"Line\r\nBreaks", u"\r\n\n\r"),
      String(u"[brackets]=", u"@=-"),
      String(u"Caf\u00e9", u"\u00e0\u00ff"),
      Dword(u"d0", std::string(4, '\0')),
      Dword(u"d1", "\xff\xff\xff\xff"),
      Hex(u"bin", 3, all_bytes),
      Hex(long_name, 7, std::string(200, 'x')),
      Hex(u"one", 2, "\x01"),
      Hex(u"none", 0, ""),
      DeleteValue(u"gone"),
      DeleteValue(u""),
      Key(Root::kCurrentUser, u"Software\\A]B\\C", true),
      Key(Root::kCurrentUser, u""),
      Key(Root::kCurrentUser, u"Software\\Acme Wireless"),
      Value(u"Software\\Other", u"v", Data::Form::kDword, 4, u"", "\1\2\3\4"),
  };
  std::vector<Item> wide = latin;
  wide.push_back(Key(Root::kLocalMachine, u"Software\\Test"));
  wide.push_back(String(u"\u4e2d\u6587", u"\u0100 \U0001F600 \uFFFF"));
  wide.push_back(Key(Root::kLocalMachine, u"Software\\\u0416"));

  for (Version version : {Version::k4, Version::k5}) {
    for (Encoding encoding : {Encoding::kBytes, Encoding::kUtf16}) {
      const std::vector<Item>& items =
          encoding == Encoding::kBytes ? latin : wide;
      File file;
      Error error;
      ASSERT_TRUE(regfile::Parse(regfile::Write(version, encoding, items),
                                 &file, &error))
          << error.line << ": " << error.message;
      EXPECT_EQ(version, file.version);
      EXPECT_EQ(encoding, file.encoding);
      // The writer adds a key line for the value whose key was not opened.
      std::vector<std::string> expected, got;
      for (const Item& item : items) expected.push_back(Show(item));
      for (const Item& item : file.items)
        if (item.kind != Item::Kind::kKey ||
            item.key.path != u"Software\\Other")
          got.push_back(Show(item));
      EXPECT_EQ(expected, got);
    }
  }
}

// A regedit export written by hand: Write(Parse(file)) gives it back.
TEST(RegFileRoundTrip, RegeditExportsComeBackByteForByte) {
  const std::u16string v5 =
      u"Windows Registry Editor Version 5.00\r\n"
      u"\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme Wireless]\r\n"
      u"\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme Wireless\\Client]\r\n"
      u"@=\"Acme Wireless Client\"\r\n"
      u"\"InstallPath\"=\"C:\\\\Program Files\\\\Acme\\\\Wireless\"\r\n"
      u"\"Version\"=dword:00030002\r\n"
      u"\"Flags\"=hex:01,00,00,80\r\n"
      u"\"DisplayIcon\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,"
      u"6f,00,6f,\\\r\n"
      u"  00,74,00,25,00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,"
      u"5c,00,\\\r\n"
      u"  61,00,63,00,6d,00,65,00,77,00,6c,00,61,00,6e,00,2e,00,64,00,6c,00,6c,"
      u"00,00,\\\r\n"
      u"  00\r\n"
      u"\"Profiles\"=hex(7):48,00,6f,00,6d,00,65,00,00,00,4f,00,66,00,66,00,69,"
      u"00,63,00,\\\r\n"
      u"  65,00,00,00,00,00\r\n"
      u"\"Greeting\"=\"say \\\"hi\\\" \u00fcber \u4e2d\"\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Acme Wireless]\r\n"
      u"\"LastProfile\"=\"Home\"\r\n"
      u"\"Empty\"=hex:\r\n"
      u"\"Timeout\"=dword:ffffffff\r\n"
      u"\r\n";
  const std::u16string v4 =
      u"REGEDIT4\r\n"
      u"\r\n"
      u"[HKEY_LOCAL_MACHINE\\Software\\Acme Wireless\\Client]\r\n"
      u"\"Path\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,73,79,73,74,65,"
      u"6d,33,32,\\\r\n"
      u"  5c,61,63,6d,65,77,6c,61,6e,2e,64,6c,6c,00\r\n"
      u"\"Key\"=hex:10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,"
      u"24,25,26,\\\r\n"
      u"  27,28,29,2a,2b,2c,2d,2e,2f,30,31,32,33,34,35,36,37\r\n"
      u"\"Caf\u00e9\"=\"\u00e0 la carte\"\r\n"
      u"\r\n"
      u"[-HKEY_CURRENT_USER\\Software\\Acme Wireless\\Old]\r\n"
      u"\r\n";
  const struct {
    std::string content;
    Version version;
    Encoding encoding;
  } cases[] = {
      {Encode(v5, Text::kUtf16), Version::k5, Encoding::kUtf16},
      {Encode(v4, Text::kBytes), Version::k4, Encoding::kBytes},
  };
  for (const auto& c : cases) {
    File file;
    Error error;
    ASSERT_TRUE(regfile::Parse(c.content, &file, &error))
        << error.line << ": " << error.message;
    EXPECT_EQ(c.version, file.version);
    EXPECT_EQ(c.encoding, file.encoding);
    EXPECT_EQ(c.content, regfile::Write(file.version, file.encoding, file.items));
  }
}

}  // namespace

namespace {

// Text without a mark is in the machine's code page: with its lead bytes, a
// double-byte character is one character of a key name, its trail byte no
// separator, and the 255-character limit counts characters.
TEST(RegFileDoubleByte, KeyNamesCountCharacters) {
  const regfile::LeadBytes cp932 = {{0x81, 0x9F}, {0xE0, 0xFC}};
  std::string long_name;
  for (int i = 0; i < 255; ++i) long_name += "\x93\xFA";  // 255 characters, 510 bytes
  const struct {
    const char* name;
    std::string key;
    regfile::LeadBytes lead;
    const char* path;  // nullptr: refused
  } cases[] = {
      {"trail byte 0x5C inside", "\x95\x5C\x8E\xA6", cp932, nullptr},
      // Last, it is no trailing backslash to drop; in a single-byte code
      // page it is, and two of them make an empty component.
      {"trail byte 0x5C last", "\x95\x5C", cp932, nullptr},
      {"trail byte 0x5C last, single-byte", "\x95\x5C", {}, "\x95"},
      {"trail byte 0x5C, then a backslash", "\x95\x5C\\", cp932, "\x95\x5C"},
      {"the same, single-byte", "\x95\x5C\\", {}, ""},
      {"255 double-byte characters", long_name, cp932, nullptr},
      {"the same in a single-byte code page", long_name, {}, ""},
      {"256 double-byte characters", long_name + "\x93\xFA", cp932, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + c.key + "]\r\n";
    regfile::File file;
    regfile::Error error;
    const bool read = regfile::Parse(text, &file, &error, c.lead);
    const bool refused = c.path != nullptr && std::string(c.path).empty();
    EXPECT_EQ(!refused, read) << error.message;
    if (refused) {
      EXPECT_NE(std::string::npos, error.message.find("key name component")) << error.message;
      continue;
    }
    ASSERT_EQ(1u, file.items.size());
    std::string path;
    for (char16_t u : file.items[0].key.path) path += static_cast<char>(u);
    EXPECT_EQ("SOFTWARE\\" + (c.path != nullptr ? std::string(c.path) : c.key), path);
  }
}

}  // namespace
