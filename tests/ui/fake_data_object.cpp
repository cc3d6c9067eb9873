#include "tests/ui/fake_data_object.h"

#include <cstring>

namespace tvl::testing {

HGLOBAL MakeDropFiles(const std::vector<std::wstring>& files) {
  std::wstring names;
  for (const std::wstring& file : files) names += file + L'\0';
  names += L'\0';
  size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  // Movable, as the shell's are: the receiver has to lock it.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!memory) return nullptr;
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
              names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return memory;
}

FakeDataObject::FakeDataObject(std::vector<std::wstring> files, bool offer_files)
    : files_(std::move(files)), offer_files_(offer_files) {}

FakeDataObject::~FakeDataObject() {
  for (HGLOBAL block : file_blocks_) GlobalFree(block);
}

HRESULT STDMETHODCALLTYPE FakeDataObject::QueryInterface(REFIID id, void** object) {
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDataObject::AddRef() { return ++references_; }

// Lives on the test's stack: never deletes itself.
ULONG STDMETHODCALLTYPE FakeDataObject::Release() { return --references_; }

bool FakeDataObject::OffersFiles(const FORMATETC* format) const {
  return offer_files_ && format && format->cfFormat == CF_HDROP &&
         format->dwAspect == DVASPECT_CONTENT && (format->tymed & TYMED_HGLOBAL) != 0;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (!medium) return E_INVALIDARG;
  if (!OffersFiles(format)) return DV_E_FORMATETC;
  HGLOBAL block = MakeDropFiles(files_);
  if (!block) return E_OUTOFMEMORY;
  file_blocks_.push_back(block);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  medium->pUnkForRelease = &medium_release_;
  ++media_given_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE FakeDataObject::QueryGetData(FORMATETC* format) {
  return OffersFiles(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::SetData(FORMATETC* format, STGMEDIUM* medium,
                                                  BOOL release) {
  if (refuse_set_data_) return E_NOTIMPL;
  if (!format || !medium) return E_INVALIDARG;
  UINT description_format = RegisterClipboardFormatW(CFSTR_DROPDESCRIPTION);
  if (format->cfFormat == description_format && medium->tymed == TYMED_HGLOBAL &&
      GlobalSize(medium->hGlobal) >= sizeof(DROPDESCRIPTION)) {
    DROPDESCRIPTION stored;
    std::memcpy(&stored, GlobalLock(medium->hGlobal), sizeof stored);
    GlobalUnlock(medium->hGlobal);
    description_ = stored;
    ++descriptions_stored_;
  }
  // Whatever else a drag-image helper stores is taken and dropped.
  if (release) ReleaseStgMedium(medium);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
  if (formats) *formats = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT STDMETHODCALLTYPE FakeDataObject::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises) *advises = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE FakeDataObject::MediumRelease::QueryInterface(REFIID id, void** object) {
  if (IsEqualIID(id, IID_IUnknown)) {
    *object = this;
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDataObject::MediumRelease::Release() {
  ++owner_->media_released_;
  return 1;
}

}  // namespace tvl::testing
