// Bytes of a .reg file into code units, a piece at a time, and the inputs
// they come from.
#include "preview/exports/reg_text.h"

#include "preview/exports/paths.h"
#include "preview/exports/unicode.h"

#include <algorithm>
#include <cstring>

namespace regfile {

size_t MemoryInput::Read(char* out, size_t n) {
  n = std::min(n, content_.size() - at_);
  std::memcpy(out, content_.data() + at_, n);
  at_ += n;
  return n;
}

bool MemoryInput::Seek(uint64_t offset) {
  if (offset > content_.size()) return false;
  at_ = static_cast<size_t>(offset);
  return true;
}

namespace {

#ifdef _WIN32
int SeekTo(std::FILE* file, uint64_t offset, int whence) {
  return _fseeki64(file, static_cast<long long>(offset), whence);
}
long long Tell(std::FILE* file) { return _ftelli64(file); }
#else
int SeekTo(std::FILE* file, uint64_t offset, int whence) {
  return fseeko(file, static_cast<off_t>(offset), whence);
}
long long Tell(std::FILE* file) { return ftello(file); }
#endif

}  // namespace

// The path is UTF-8: on Windows the file system's own wide names, which the
// ANSI code page may not hold.
FileInput::FileInput(const std::string& path)
#ifdef _WIN32
    : file_(_wfopen(preview::PathOf(path).c_str(), L"rb")) {
#else
    : file_(std::fopen(path.c_str(), "rb")) {
#endif
  if (file_ == nullptr) return;
  long long size = -1;
  if (SeekTo(file_, 0, SEEK_END) == 0) size = Tell(file_);
  if (size < 0 || SeekTo(file_, 0, SEEK_SET) != 0) {
    std::fclose(file_);
    file_ = nullptr;
    return;
  }
  size_ = static_cast<uint64_t>(size);
}

FileInput::~FileInput() {
  if (file_ != nullptr) std::fclose(file_);
}

size_t FileInput::Read(char* out, size_t n) {
  const size_t got = std::fread(out, 1, n, file_);
  if (got < n && std::ferror(file_)) failed_ = true;
  return got;
}

bool FileInput::Seek(uint64_t offset) { return SeekTo(file_, offset, SEEK_SET) == 0; }

namespace text {

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr unsigned char kCtrlZ = 0x1A;

}  // namespace

void LineCounter::Feed(const char16_t* begin, const char16_t* end) {
  for (const char16_t* p = begin; p < end; ++p) {
    if (cr_) {
      cr_ = false;
      if (*p != kLf) ++breaks_;  // CR LF counts once, at the LF
    }
    if (*p == kLf) {
      ++breaks_;
    } else if (*p == kCr) {
      cr_ = true;
    }
  }
}

bool Decoder::ReadAt(uint64_t offset, char* out, size_t n) {
  return input_.Seek(offset) && input_.Read(out, n) == n;
}

bool Decoder::Start(Encoding* encoding, Error* error) {
  const uint64_t size = input_.Size();
  unsigned char head[3] = {};
  unsigned char last = 0;
  if (!ReadAt(0, reinterpret_cast<char*>(head), static_cast<size_t>(std::min<uint64_t>(size, 3))) ||
      (size > 0 && !ReadAt(size - 1, reinterpret_cast<char*>(&last), 1))) {
    *error = {0, "cannot read"};
    return false;
  }
  // "copy /a" ends a file with Ctrl-Z, which regedit reads past: one byte
  // even after UTF-16 text, or the code unit in a UTF-16 file.
  if (size >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    *encoding = Encoding::kUtf16;
    form_ = Form::kUtf16Le;
    begin_ = 2;
    uint64_t bytes = size - 2;
    if (bytes % 2 != 0 && last == kCtrlZ) --bytes;
    end_ = begin_ + bytes - bytes % 2;
    if (bytes % 2 != 0) {
      const int line = CountLines(error);
      if (line == 0) return false;
      *error = {line, "odd number of bytes in a UTF-16 file"};
      return false;
    }
    char unit[2];
    if (bytes >= 2) {
      if (!ReadAt(end_ - 2, unit, 2)) {
        *error = {0, "cannot read"};
        return false;
      }
      if (unit[0] == kCtrlZ && unit[1] == 0) end_ -= 2;
    }
  } else {
    end_ = size > 0 && last == kCtrlZ ? size - 1 : size;
    if (end_ >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
      *encoding = Encoding::kUtf16;
      form_ = Form::kUtf8;
      begin_ = 3;
      if (!CheckUtf8(error)) return false;
    } else {
      *encoding = Encoding::kBytes;
      form_ = Form::kBytes;
      begin_ = 0;
    }
  }
  at_ = begin_;
  pending_.clear();
  if (!input_.Seek(begin_)) {
    *error = {0, "cannot read"};
    return false;
  }
  return true;
}

uint64_t Decoder::UnitsAtMost() const {
  return form_ == Form::kUtf16Le ? (end_ - begin_) / 2 : end_ - begin_;
}

bool Decoder::ReadPiece(std::string* piece, Error* error) {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(piece_bytes_, end_ - at_));
  piece->resize(n);
  if (input_.Read(&(*piece)[0], n) != n) {
    failed_ = true;
    *error = {0, "cannot read"};
    return false;
  }
  at_ += n;
  return true;
}

bool Decoder::More(Units* out, Error* error) {
  if (failed_ || at_ >= end_) return false;
  if (!ReadPiece(&piece_, error)) return false;
  const auto* s = reinterpret_cast<const unsigned char*>(piece_.data());
  const size_t n = piece_.size();
  const size_t from = out->size();
  switch (form_) {
    case Form::kBytes:
      out->resize(from + n);
      for (size_t i = 0; i < n; ++i) (*out)[from + i] = s[i];
      return true;
    case Form::kUtf16Le:
      out->resize(from + n / 2);
      for (size_t i = 0; i < n / 2; ++i) {
        (*out)[from + i] = static_cast<char16_t>(s[2 * i] | (s[2 * i + 1] << 8));
      }
      return true;
    case Form::kUtf8:
      if (!DecodeUtf8(piece_, at_ >= end_, out)) {
        // Checked whole at the start: the file changed under the read.
        failed_ = true;
        *error = {0, "cannot read"};
        return false;
      }
      return true;
  }
  return false;
}

bool Decoder::DecodeUtf8(const std::string& piece, bool last, Units* out) {
  std::string joined;
  const std::string* bytes = &piece;
  if (!pending_.empty()) {
    joined = pending_ + piece;
    bytes = &joined;
    pending_.clear();
  }
  for (size_t i = 0; i < bytes->size();) {
    const preview::Utf8Sequence sequence = preview::NextUtf8(*bytes, i);
    if (sequence.cut && !last) {  // the rest comes with the next piece
      pending_.assign(*bytes, i, std::string::npos);
      return true;
    }
    if (sequence.length == 0) return false;
    preview::AppendUtf16(sequence.point, out);
    i += sequence.length;
  }
  return true;
}

bool Decoder::CheckUtf8(Error* error) {
  at_ = begin_;
  if (!input_.Seek(begin_)) {
    *error = {0, "cannot read"};
    return false;
  }
  LineCounter lines;
  Units units;
  while (at_ < end_) {
    if (!ReadPiece(&piece_, error)) return false;
    units.clear();
    const bool good = DecodeUtf8(piece_, at_ >= end_, &units);
    lines.Feed(units.data(), units.data() + units.size());
    if (!good) {
      *error = {lines.Line(), "invalid UTF-8"};
      return false;
    }
  }
  return true;
}

int Decoder::CountLines(Error* error) {
  at_ = begin_;
  if (!input_.Seek(begin_)) {
    *error = {0, "cannot read"};
    return 0;
  }
  LineCounter lines;
  Units units;
  while (units.clear(), More(&units, error)) lines.Feed(units.data(), units.data() + units.size());
  return failed_ ? 0 : lines.Line();
}

}  // namespace text
}  // namespace regfile
