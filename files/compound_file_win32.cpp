// SPDX-License-Identifier: GPL-3.0-or-later
// The compound document through ole32's structured storage, on lock bytes of our own over memory, so
// that the file itself is read and written by the safe save like every other file. Structured storage
// needs no CoInitializeEx: none of these objects is created through COM's class registry.
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string_view>

#include "core/message.h"
#include "core/wide_text.h"
#include "files/compound_file.h"
#include "files/file_texts.h"

namespace torvane::sheetfile {

namespace {

// Releases the interface it holds when it goes.
// Releases the interface it holds when it goes.
template <typename T>
class TComRef {
 public:
  TComRef() = default;
  explicit TComRef(T* adopted) : p_(adopted) {}
  ~TComRef() {
    if (p_ != nullptr) p_->Release();
  }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// The system's lock bytes on global memory grow it without clearing it, and the storage leaves the
// unused directory entries of a sector as it finds them: wine's wrote pieces of our environment into
// the file. These bytes grow with zeros, and a reader's bytes are read where they are.
class TMemoryLockBytes final : public ILockBytes {
 public:
  // Read-only over bytes that outlive it.
  explicit TMemoryLockBytes(std::string_view readable) : readable_(readable), readOnly_(true) {}
  // Empty and writable.
  TMemoryLockBytes() = default;

  const std::string& Written() const { return written_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ILockBytes)) {
      *object = static_cast<ILockBytes*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* into, ULONG count, ULONG* read) override {
    const std::string_view bytes = Bytes();
    ULONG got = 0;
    if (offset.QuadPart < bytes.size())
      got = static_cast<ULONG>(std::min<ULONGLONG>(count, bytes.size() - offset.QuadPart));
    if (got > 0) std::memcpy(into, bytes.data() + offset.QuadPart, got);
    if (read != nullptr) *read = got;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* from, ULONG count,
                                    ULONG* written) override {
    if (written != nullptr) *written = 0;
    if (readOnly_) return STG_E_ACCESSDENIED;
    if (offset.QuadPart + count > kMaxBytes) return STG_E_MEDIUMFULL;
    const size_t end = static_cast<size_t>(offset.QuadPart) + count;
    if (written_.size() < end) written_.resize(end, '\0');
    std::memcpy(written_.data() + offset.QuadPart, from, count);
    if (written != nullptr) *written = count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
    if (readOnly_) return STG_E_ACCESSDENIED;
    if (size.QuadPart > kMaxBytes) return STG_E_MEDIUMFULL;
    written_.resize(static_cast<size_t>(size.QuadPart), '\0');
    return S_OK;
  }
  // One user only, so nothing to lock; Stat says so and the storage does not ask.
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* info, DWORD) override {
    if (info == nullptr) return STG_E_INVALIDPOINTER;
    *info = STATSTG{};
    info->type = STGTY_LOCKBYTES;
    info->cbSize.QuadPart = Bytes().size();
    info->grfMode = readOnly_ ? STGM_READ : STGM_READWRITE;
    return S_OK;
  }

 private:
  ~TMemoryLockBytes() = default;
  std::string_view Bytes() const { return readOnly_ ? readable_ : std::string_view(written_); }

  // An .xls the program writes is far below this; a storage that asks for more is astray.
  static constexpr ULONGLONG kMaxBytes = 1ull << 31;
  std::atomic<ULONG> references_{1};
  std::string_view readable_;
  std::string written_;
  bool readOnly_ = false;
};

void Check(HRESULT result, const std::string& doing) {
  if (FAILED(result))
    throw ECompoundFileError(doing + ": " + WindowsErrorText(static_cast<unsigned long>(result)));
}

}  // namespace

struct TCompoundFileReader::TImpl {
  TComRef<IStorage> Storage;

  // A stream is opened only to its one user at a time: structured storage insists on it.
  HRESULT Open(const std::string& name, IStream** stream) const {
    const std::wstring wideName = WideFromUtf8(name);
    return Storage->OpenStream(wideName.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream);
  }
};

TCompoundFileReader::TCompoundFileReader(const std::string& bytes) : impl_(std::make_unique<TImpl>()) {
  if (bytes.empty()) throw ECompoundFileError("the file is empty");
  const TComRef<ILockBytes> lockBytes(new TMemoryLockBytes(bytes));
  Check(StgOpenStorageOnILockBytes(lockBytes.Get(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                   impl_->Storage.Out()),
        "it is no compound document");
}

TCompoundFileReader::~TCompoundFileReader() = default;

bool TCompoundFileReader::HasStream(const std::string& name) const {
  TComRef<IStream> stream;
  return SUCCEEDED(impl_->Open(name, stream.Out()));
}

std::string TCompoundFileReader::ReadStream(const std::string& name, size_t maxBytes) const {
  TComRef<IStream> stream;
  Check(impl_->Open(name, stream.Out()), FillText(kStreamNotOpened, {name}));
  STATSTG info{};
  Check(stream->Stat(&info, STATFLAG_NONAME), FillText(kStreamNotMeasured, {name}));
  if (info.cbSize.QuadPart > maxBytes) throw ECompoundFileError("the stream is too large");
  std::string data(static_cast<size_t>(info.cbSize.QuadPart), '\0');
  size_t done = 0;
  while (done < data.size()) {
    ULONG got = 0;
    const ULONG want = static_cast<ULONG>(std::min<size_t>(data.size() - done, 1 << 30));
    Check(stream->Read(data.data() + done, want, &got), FillText(kStreamNotRead, {name}));
    if (got == 0) throw ECompoundFileError("the stream is cut short");
    done += got;
  }
  return data;
}

std::string BuildCompoundFile(const std::vector<TCompoundStream>& streams) {
  auto* memory = new TMemoryLockBytes();
  const TComRef<ILockBytes> lockBytes(memory);
  {
    TComRef<IStorage> storage;
    Check(StgCreateDocfileOnILockBytes(lockBytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                       0, storage.Out()),
          "the compound document cannot be made");
    for (const TCompoundStream& s : streams) {
      TComRef<IStream> stream;
      const std::wstring name = WideFromUtf8(s.Name);
      Check(storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                  stream.Out()),
            FillText(kStreamNotMade, {s.Name}));
      size_t done = 0;
      while (done < s.Bytes.size()) {
        ULONG written = 0;
        const ULONG chunk = static_cast<ULONG>(std::min<size_t>(s.Bytes.size() - done, 1 << 30));
        Check(stream->Write(s.Bytes.data() + done, chunk, &written), FillText(kStreamNotWritten, {s.Name}));
        if (written == 0) throw ECompoundFileError(FillText(kStreamFull, {s.Name}));
        done += written;
      }
    }
    Check(storage->Commit(STGC_DEFAULT), "the compound document cannot be completed");
  }
  if (memory->Written().empty()) throw ECompoundFileError("the compound document came out empty");
  return memory->Written();
}

}  // namespace torvane::sheetfile
