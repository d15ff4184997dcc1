// The .reg reader as a stream: text cut into pieces anywhere (inside a line
// end, a UTF-8 sequence, continued hex data) reads as it does whole; the
// errors found before any line (odd UTF-16, bad UTF-8) name the line
// counted over every piece; files read as memory does.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "preview/exports/reg_file.h"
#include "preview/exports/reg_text.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using regfile::Encoding;
using regfile::Item;
using regfile::text::kPieceBytes;

enum class Form { kBytes, kUtf16, kUtf8 };

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The file's bytes, with the mark of its form.
std::string Encode(Form form, const std::u16string& text) {
  std::string out;
  switch (form) {
    case Form::kBytes:
      for (char16_t c : text) out += static_cast<char>(c);
      break;
    case Form::kUtf16:
      out = "\xFF\xFE";
      for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
      }
      break;
    case Form::kUtf8:
      out = "\xEF\xBB\xBF" + Utf8(text);
      break;
  }
  return out;
}


std::string Describe(const Item& item) {
  std::string text = std::to_string(static_cast<int>(item.kind)) + " line " +
                     std::to_string(item.line) + " ";
  for (char16_t c : item.key.path + u"|" + item.name + u"|" + item.data.text) {
    text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
  }
  for (unsigned char b : item.data.bytes) text += " " + std::to_string(b);
  return text + " type " + std::to_string(item.data.type);
}

// The items of content read with pieces of piece_bytes (0: whole), described.
std::vector<std::string> Items(const std::string& content, size_t piece_bytes, bool* ok,
                               regfile::Error* error) {
  regfile::File file;
  regfile::MemoryInput input(content);
  *ok = piece_bytes == 0 ? regfile::Read(input, &file, error)
                         : regfile::text::ReadInPieces(input, piece_bytes, &file, error);
  std::vector<std::string> items;
  for (const Item& item : file.items) items.push_back(Describe(item));
  return items;
}

TEST(RegFileStream, TextCutAnywhereReadsAsWhole) {
  const struct {
    const char* name;
    std::u16string eol;
  } line_ends[] = {{"CR LF", u"\r\n"}, {"LF", u"\n"}, {"CR", u"\r"}};
  const struct {
    const char* name;
    Form form;
  } forms[] = {{"bytes", Form::kBytes}, {"UTF-16LE", Form::kUtf16}, {"UTF-8", Form::kUtf8}};
  for (const auto& e : line_ends) {
    for (const auto& f : forms) {
      SCOPED_TRACE(std::string(f.name) + ", " + e.name);
      const std::u16string& n = e.eol;
      // Letters of two, three and four UTF-8 bytes where the form holds them.
      const std::u16string wide =
          f.form == Form::kBytes ? u"\u00e4\u00ff" : u"\u00e4\u20ac\U0001F600";
      const std::string content = Encode(
          f.form, u"REGEDIT4" + n + u"; a comment" + n + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\K" +
                      wide + u"]" + n + u"\"S" + wide + u"\"=\"v\\\\" + wide + u"\"" + n +
                      u"\"H\"=hex:01,02,\\" + n + n + u"  ; note" + n + u"  03,04" + n +
                      u"@=dword:0000002a" + n + u"[-HKEY_CURRENT_USER\\Software\\X]" + n);
      bool whole_ok = false;
      regfile::Error whole_error;
      const std::vector<std::string> whole = Items(content, 0, &whole_ok, &whole_error);
      ASSERT_TRUE(whole_ok) << whole_error.line << ": " << whole_error.message;
      ASSERT_EQ(5u, whole.size());
      // Small pieces put a cut at every place: inside CR LF, a UTF-8
      // sequence, a UTF-16 unit's bytes never (pieces are even there).
      for (size_t piece = 1; piece <= 40; ++piece) {
        if (f.form == Form::kUtf16 && piece % 2 != 0) continue;
        bool ok = false;
        regfile::Error error;
        const std::vector<std::string> items = Items(content, piece, &ok, &error);
        ASSERT_TRUE(ok) << "pieces of " << piece << ": line " << error.line << ": "
                        << error.message;
        ASSERT_EQ(whole, items) << "pieces of " << piece;
      }
    }
  }
}

// A text of `lines` comment lines after the header, each ended by eol.
std::u16string Lines(size_t lines, const std::u16string& eol) {
  std::u16string text = u"REGEDIT4" + eol;
  for (size_t i = 0; i < lines; ++i) text += u"; comment line to fill the pieces" + eol;
  return text;
}

TEST(RegFileStream, ErrorsBeforeAnyLineNameTheLineOverEveryPiece) {
  // Enough lines for several pieces of UTF-16 and of UTF-8.
  const size_t lines = 3 * kPieceBytes / 40;
  const struct {
    const char* name;
    std::string content;
    int line;
    const char* message;
  } cases[] = {
      // The text's last line, counted over all pieces; the header is line 1.
      {"odd UTF-16 after CR LF lines", Encode(Form::kUtf16, Lines(lines, u"\r\n")) + "x",
       static_cast<int>(lines) + 2, "odd number of bytes in a UTF-16 file"},
      {"odd UTF-16 after CR lines", Encode(Form::kUtf16, Lines(lines, u"\r")) + "x",
       static_cast<int>(lines) + 2, "odd number of bytes in a UTF-16 file"},
      {"odd UTF-16 ending inside a line",
       Encode(Form::kUtf16, Lines(lines, u"\n") + u"[HKEY") + "x", static_cast<int>(lines) + 2,
       "odd number of bytes in a UTF-16 file"},
      // A Ctrl-Z byte after UTF-16 text is no odd byte; a bad line then is
      // found where it is.
      {"Ctrl-Z after UTF-16", Encode(Form::kUtf16, Lines(lines, u"\r\n") + u"bad") + "\x1A",
       static_cast<int>(lines) + 2, "neither a key, a value nor a comment"},
      // Bad UTF-8 far into the file is found before a bad line near the top.
      {"bad UTF-8 after a bad line",
       Encode(Form::kUtf8, u"REGEDIT4\r\nbad line\r\n" + Lines(lines, u"\r\n").substr(10)) +
           "\xC3(",
       static_cast<int>(lines) + 3, "invalid UTF-8"},
      {"UTF-8 cut short at the end", Encode(Form::kUtf8, Lines(lines, u"\n")) + "\xE2\x82",
       static_cast<int>(lines) + 2, "invalid UTF-8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GT(c.content.size(), 2 * kPieceBytes);
    regfile::File file;
    regfile::Error error;
    EXPECT_FALSE(regfile::Parse(c.content, &file, &error));
    EXPECT_EQ(c.line, error.line);
    EXPECT_EQ(c.message, error.message);
  }
}

// An input whose reads fail after some bytes, as a failing disk does.
class FailingInput : public regfile::Input {
 public:
  FailingInput(std::string content, size_t good) : content_(std::move(content)), good_(good) {}
  uint64_t Size() const override { return content_.size(); }
  size_t Read(char* out, size_t n) override {
    size_t given = 0;
    while (given < n && at_ < content_.size()) {
      if (at_ >= good_) {
        failed_ = true;
        break;
      }
      out[given++] = content_[at_++];
    }
    return given;
  }
  bool Seek(uint64_t offset) override {
    at_ = static_cast<size_t>(offset);
    return true;
  }
  bool Failed() const override { return failed_; }

 private:
  std::string content_;
  size_t good_;
  size_t at_ = 0;
  bool failed_ = false;
};

TEST(RegFileStream, FilesReadAsMemoryAndFailedReadsSaySo) {
  const fs::path folder = fs::temp_directory_path() / "reg_stream_test";
  fs::remove_all(folder);
  std::u16string body = u"Windows Registry Editor Version 5.00\r\n";
  for (int k = 0; body.size() < 3 * kPieceBytes; ++k) {
    body += u"\r\n[HKEY_CURRENT_USER\\Software\\K" + std::u16string(1, u'a' + k % 26) +
            u"]\r\n\"V\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\r\n"
            u"  14,15\r\n";
  }
  const std::string content = Encode(Form::kUtf16, body);
  preview_test::Write(folder / "big.reg", content);

  regfile::File in_memory, from_file;
  regfile::Error error;
  ASSERT_TRUE(regfile::Parse(content, &in_memory, &error)) << error.message;
  regfile::FileInput input((folder / "big.reg").string());
  ASSERT_TRUE(input.Opened());
  EXPECT_EQ(content.size(), input.Size());
  ASSERT_TRUE(regfile::Read(input, &from_file, &error)) << error.message;
  ASSERT_EQ(in_memory.items.size(), from_file.items.size());
  for (size_t i = 0; i < in_memory.items.size(); ++i) {
    ASSERT_EQ(Describe(in_memory.items[i]), Describe(from_file.items[i]));
  }
  EXPECT_FALSE(regfile::FileInput((folder / "missing.reg").string()).Opened());

  // A read that fails: at the mark, in the middle, in the last piece.
  for (size_t good : {size_t{1}, content.size() / 2, content.size() - 3}) {
    SCOPED_TRACE(good);
    FailingInput failing(content, good);
    regfile::File file;
    regfile::Error failed;
    EXPECT_FALSE(regfile::Read(failing, &file, &failed));
    EXPECT_EQ(0, failed.line);
    EXPECT_EQ("cannot read", failed.message);
  }
  fs::remove_all(folder);
}

}  // namespace
