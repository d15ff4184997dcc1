// The text of a .reg file as code units, decoded a piece at a time: the
// reader's side of reading a file as a stream. Only the reader uses it.
#pragma once

#include <cstdint>
#include <string>

#include "preview/exports/reg_file.h"

namespace regfile {
namespace text {

// Bytes decoded at a time: even, for UTF-16.
constexpr size_t kPieceBytes = size_t{1} << 17;

// Lines of text fed in pieces, as the reader counts them: CR LF, CR and LF
// each end one line.
class LineCounter {
 public:
  void Feed(const char16_t* begin, const char16_t* end);
  // The line on which the text fed so far ends.
  int Line() const { return 1 + breaks_ + (cr_ ? 1 : 0); }

 private:
  int breaks_ = 0;
  bool cr_ = false;  // a CR whose next unit is not known yet
};

class Decoder {
 public:
  explicit Decoder(Input& input, size_t piece_bytes = kPieceBytes)
      : input_(input), piece_bytes_(piece_bytes) {}

  // Reads the mark and what must be checked before any line is parsed, as
  // regedit refuses such a file whole: an odd length of UTF-16 text, bad
  // UTF-8 (both with the line they are on). A final Ctrl-Z is dropped.
  bool Start(Encoding* encoding, Error* error);
  // How many code units the text has at most (for reserving).
  uint64_t UnitsAtMost() const;
  // Appends the next piece of the text to out; false when the text is over,
  // or on a read error (then Failed(), with the error).
  bool More(Units* out, Error* error);
  bool Failed() const { return failed_; }

 private:
  enum class Form { kBytes, kUtf16Le, kUtf8 };

  bool ReadAt(uint64_t offset, char* out, size_t n);
  bool ReadPiece(std::string* piece, Error* error);
  // Decodes piece (after pending_) as UTF-8; false at a bad sequence, with
  // the units before it appended.
  bool DecodeUtf8(const std::string& piece, bool last, Units* out);
  bool CheckUtf8(Error* error);
  int CountLines(Error* error);

  Input& input_;
  const size_t piece_bytes_;
  Form form_ = Form::kBytes;
  uint64_t begin_ = 0;  // the text's bytes: after the mark, before a Ctrl-Z
  uint64_t end_ = 0;
  uint64_t at_ = 0;
  std::string piece_;
  std::string pending_;  // the start of a UTF-8 sequence cut by a piece's end
  bool failed_ = false;
};

// Read (reg_file.h), every item kept, with pieces of another size (even for
// UTF-16): tests cut a text at every place with small ones.
[[nodiscard]] bool ReadInPieces(Input& input, size_t piece_bytes, File* file, Error* error);

}  // namespace text
}  // namespace regfile
