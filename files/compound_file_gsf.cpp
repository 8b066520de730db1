// SPDX-License-Identifier: GPL-3.0-or-later
// The compound document through libgsf.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <mutex>

#include "core/message.h"
#include "files/compound_file.h"
#include "files/file_texts.h"

namespace torvane::sheetfile {

namespace {

std::once_flag gsfReady;

void InitGsf() {
  std::call_once(gsfReady, [] { gsf_init(); });
}

[[noreturn]] void Fail(GError* error, const std::string& otherwise) {
  std::string reason = error != nullptr && error->message != nullptr ? error->message : otherwise;
  if (error != nullptr) g_error_free(error);
  throw ECompoundFileError(reason);
}

}  // namespace

struct TCompoundFileReader::TImpl {
  GsfInfile* Compound = nullptr;
  ~TImpl() {
    if (Compound != nullptr) g_object_unref(Compound);
  }
};

TCompoundFileReader::TCompoundFileReader(const std::string& bytes) : impl_(std::make_unique<TImpl>()) {
  InitGsf();
  GsfInput* memory = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                          static_cast<gsf_off_t>(bytes.size()), FALSE);
  if (memory == nullptr) throw ECompoundFileError("the file's bytes cannot be read");
  GError* error = nullptr;
  impl_->Compound = gsf_infile_msole_new(memory, &error);
  g_object_unref(memory);
  if (impl_->Compound == nullptr) Fail(error, "it is no compound document");
  if (error != nullptr) g_error_free(error);
}

TCompoundFileReader::~TCompoundFileReader() = default;

bool TCompoundFileReader::HasStream(const std::string& name) const {
  GsfInput* stream = gsf_infile_child_by_name(impl_->Compound, name.c_str());
  if (stream == nullptr) return false;
  g_object_unref(stream);
  return true;
}

std::string TCompoundFileReader::ReadStream(const std::string& name, size_t maxBytes) const {
  GsfInput* stream = gsf_infile_child_by_name(impl_->Compound, name.c_str());
  if (stream == nullptr) throw ECompoundFileError(FillText(kStreamMissing, {name}));
  const gsf_off_t size = gsf_input_size(stream);
  std::string data;
  const char* problem = nullptr;
  if (size < 0 || static_cast<unsigned long long>(size) > maxBytes) {
    problem = "the stream is too large";
  } else {
    data.resize(static_cast<size_t>(size));
    if (size > 0 &&
        gsf_input_read(stream, static_cast<size_t>(size), reinterpret_cast<guint8*>(data.data())) == nullptr)
      problem = "the stream is cut short";
  }
  g_object_unref(stream);
  if (problem != nullptr) throw ECompoundFileError(problem);
  return data;
}

std::string BuildCompoundFile(const std::vector<TCompoundStream>& streams) {
  InitGsf();
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* compound = gsf_outfile_msole_new(memory);
  bool ok = compound != nullptr;
  for (size_t i = 0; ok && i < streams.size(); ++i) {
    GsfOutput* stream = gsf_outfile_new_child(compound, streams[i].Name.c_str(), FALSE);
    ok = stream != nullptr && gsf_output_write(stream, streams[i].Bytes.size(),
                                               reinterpret_cast<const guint8*>(streams[i].Bytes.data()));
    if (stream != nullptr) {
      ok = gsf_output_close(stream) && ok;
      g_object_unref(stream);
    }
  }
  if (compound != nullptr) {
    ok = gsf_output_close(GSF_OUTPUT(compound)) && ok;
    g_object_unref(compound);
  }
  std::string bytes;
  if (ok) {
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    bytes.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(gsf_output_size(memory)));
  }
  // The compound file closes its sink itself.
  if (!gsf_output_is_closed(memory)) gsf_output_close(memory);
  g_object_unref(memory);
  if (!ok || bytes.empty()) throw ECompoundFileError("libgsf could not assemble the compound document");
  return bytes;
}

}  // namespace torvane::sheetfile
