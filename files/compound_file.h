// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The compound document (the OLE2 structured storage an .xls workbook lives in), held in memory: the
// .xls reader takes one named stream out of a file's bytes, the writer builds a file of named streams.
// libgsf does it on Linux, ole32's structured storage on Windows.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace torvane::sheetfile {

// what() gives the library's or the system's own words.
class ECompoundFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TCompoundFileReader {
 public:
  // Throws ECompoundFileError when `bytes` hold no compound document. The bytes are read in place, so
  // they must outlive the reader.
  explicit TCompoundFileReader(const std::string& bytes);
  ~TCompoundFileReader();
  TCompoundFileReader(const TCompoundFileReader&) = delete;
  TCompoundFileReader& operator=(const TCompoundFileReader&) = delete;

  // Whether the root holds a stream of that name.
  bool HasStream(const std::string& name) const;
  // The named stream of the root, whole; throws ECompoundFileError when it is missing, longer than
  // `maxBytes` or cannot be read.
  std::string ReadStream(const std::string& name, size_t maxBytes) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

struct TCompoundStream {
  std::string Name;
  std::string Bytes;
};

// The bytes of a compound document whose root holds `streams`, in that order; throws
// ECompoundFileError when it cannot be built.
std::string BuildCompoundFile(const std::vector<TCompoundStream>& streams);

}  // namespace torvane::sheetfile
