// A drag source's data object for driving the drop target: it offers file names (CF_HDROP, as a
// DROPFILES block) and keeps what the target stores with SetData.
#pragma once

#include <ole2.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace tvl::testing {

// Global memory holding a DROPFILES block with these names, as the shell makes it.
HGLOBAL MakeDropFiles(const std::vector<std::wstring>& files);

class FakeDataObject final : public IDataObject {
 public:
  // Offers `files`; with `offer_files` false it offers no file names at all.
  explicit FakeDataObject(std::vector<std::wstring> files, bool offer_files = true);
  ~FakeDataObject();
  FakeDataObject(const FakeDataObject&) = delete;
  FakeDataObject& operator=(const FakeDataObject&) = delete;

  // Makes SetData fail, as some sources do.
  void RefuseSetData() { refuse_set_data_ = true; }

  // The last drag description stored, and how many were stored.
  const std::optional<DROPDESCRIPTION>& description() const { return description_; }
  int descriptions_stored() const { return descriptions_stored_; }
  // File-name media handed out and not yet released by the receiver.
  int media_outstanding() const { return media_given_ - media_released_; }
  int file_requests() const { return media_given_; }
  // References held beyond the creator's.
  LONG extra_references() const { return references_ - 1; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDataObject
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

 private:
  // Counts the receiver's ReleaseStgMedium of the file names: their pUnkForRelease.
  class MediumRelease final : public IUnknown {
   public:
    explicit MediumRelease(FakeDataObject* owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    FakeDataObject* owner_;
  };

  bool OffersFiles(const FORMATETC* format) const;

  LONG references_ = 1;
  std::vector<std::wstring> files_;
  bool offer_files_;
  bool refuse_set_data_ = false;
  std::optional<DROPDESCRIPTION> description_;
  int descriptions_stored_ = 0;
  int media_given_ = 0;
  int media_released_ = 0;
  std::vector<HGLOBAL> file_blocks_;  // ours until this object goes
  MediumRelease medium_release_{this};
};

}  // namespace tvl::testing
