#include "ui/drop_target.h"

#include <cwchar>
#include <new>
#include <utility>
#include <vector>

#include "catalogue/wad_inspect.h"
#include "platform/file.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

constexpr wchar_t kOpenIwad[] = L"Open IWAD %1";
constexpr wchar_t kOpenPwad[] = L"Open PWAD %1";
constexpr wchar_t kOpenArchive[] = L"Open archive %1";
constexpr wchar_t kElision[] = L"...";

// A storage medium handed over by a data object; the receiver releases it.
class ReceivedMedium {
 public:
  ReceivedMedium() = default;
  ~ReceivedMedium() {
    if (received_) ReleaseStgMedium(&medium_);
  }
  ReceivedMedium(const ReceivedMedium&) = delete;
  ReceivedMedium& operator=(const ReceivedMedium&) = delete;

  bool Get(IDataObject* data, FORMATETC* format) {
    received_ = SUCCEEDED(data->GetData(format, &medium_));
    return received_;
  }
  const STGMEDIUM& medium() const { return medium_; }

 private:
  STGMEDIUM medium_ = {};
  bool received_ = false;
};

// The name of the only file of a drop, taken whole: a name cut short would name another file.
bool ReadSingleFile(HDROP drop, std::wstring* path) {
  path->clear();
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1) return false;
  UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  if (length < 1) return false;
  std::wstring name(length, L'\0');
  if (DragQueryFileW(drop, 0, name.data(), length + 1) != length) return false;
  *path = std::move(name);
  return true;
}

// A path waiting between a drop and the window's handling of it.
struct PendingDrop {
  HWND window;
  std::wstring path;
};

// In the order of the drops. Only the user-interface thread touches it.
std::vector<PendingDrop>& PendingDrops() {
  static std::vector<PendingDrop> pending;
  return pending;
}

// Copies `text` into a description field, cut at the end if it is too long.
void CopyCut(wchar_t (&field)[MAX_PATH], const wchar_t* text) {
  size_t length = wcsnlen(text, MAX_PATH - 1);
  wmemcpy(field, text, length);
  field[length] = L'\0';
}

// Copies a path into a description field. One too long keeps its end, where the file's name is,
// after "..."; the cut never splits a surrogate pair.
void CopyKeepingEnd(wchar_t (&field)[MAX_PATH], const wchar_t* text) {
  size_t length = wcslen(text);
  if (length < MAX_PATH) {
    wmemcpy(field, text, length + 1);
    return;
  }
  constexpr size_t kElisionLength = sizeof kElision / sizeof kElision[0] - 1;
  size_t keep = MAX_PATH - 1 - kElisionLength;
  const wchar_t* tail = text + length - keep;
  if (IS_LOW_SURROGATE(*tail)) {
    ++tail;
    --keep;
  }
  wmemcpy(field, kElision, kElisionLength);
  wmemcpy(field + kElisionLength, tail, keep);
  field[kElisionLength + keep] = L'\0';
}

}  // namespace

TvlDropTarget::TvlDropTarget(HWND window) : window_(window) {
  // Without the helper, drags work without images.
  if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IDropTargetHelper,
                              reinterpret_cast<void**>(helper_.Receive())))) {
    helper_.Detach();
  }
}

HRESULT STDMETHODCALLTYPE TvlDropTarget::QueryInterface(REFIID id, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TvlDropTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE TvlDropTarget::Release() {
  LONG count = InterlockedDecrement(&references_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE TvlDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point,
                                                   DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  std::wstring path;
  const DropKind kind = ReadDroppedPath(data, &path) ? ReadDropKind(path.c_str()) : DropKind::kNone;
  if (kind == DropKind::kNone) {
    // The system then leaves this window out of the drag until the pointer enters it again.
    *effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
  // A move shows the clearest image; a source that allows only copying gets no drop at all.
  *effect &= DROPEFFECT_MOVE;
  if (helper_) {
    POINT at = {point.x, point.y};
    helper_->DragEnter(window_, data, &at, *effect);
  }
  const wchar_t* description = kind == DropKind::kArchive ? kOpenArchive
                               : kind == DropKind::kPwad  ? kOpenPwad
                                                          : kOpenIwad;
  SetDropDescription(data, description, path.c_str());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TvlDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  *effect &= DROPEFFECT_MOVE;
  if (helper_) {
    POINT at = {point.x, point.y};
    helper_->DragOver(&at, *effect);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TvlDropTarget::DragLeave() {
  if (helper_) helper_->DragLeave();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TvlDropTarget::Drop(IDataObject* data, DWORD, POINTL point,
                                              DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  std::wstring path;
  if (!ReadDroppedPath(data, &path)) {
    *effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
  // The window identifies the file once this has returned and the source runs again.
  bool handed_on = window_ && PostDroppedPath(window_, std::move(path));
  // The source hears "copied", so it never deletes the file although the drag showed a move.
  *effect = handed_on ? (*effect & DROPEFFECT_COPY) : DROPEFFECT_NONE;
  // The helper takes its drag image down in every case.
  if (helper_) {
    POINT at = {point.x, point.y};
    helper_->Drop(data, &at, *effect);
  }
  return handed_on ? S_OK : E_UNEXPECTED;
}

bool ReadDroppedPath(IDataObject* data, std::wstring* path) {
  path->clear();
  if (!data) return false;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ReceivedMedium received;
  if (!received.Get(data, &format) || received.medium().tymed != TYMED_HGLOBAL) return false;
  GlobalLocked<DROPFILES> drop(received.medium().hGlobal);
  if (!drop.get()) return false;
  return ReadSingleFile(reinterpret_cast<HDROP>(drop.get()), path);
}

bool ReadWadMagic(const wchar_t* path, bool* is_pwad) {
  const WadId id = ReadWadId(Path(path));
  if (id == WadId::kNone) return false;
  if (is_pwad) *is_pwad = id == WadId::kPwad;
  return true;
}

DropKind ReadDropKind(const wchar_t* path) {
  bool is_pwad = false;
  if (ReadWadMagic(path, &is_pwad)) return is_pwad ? DropKind::kPwad : DropKind::kIwad;
  // Only the start is read: which entry to open is asked once the drop is over.
  return IsZipFile(Path(path)) ? DropKind::kArchive : DropKind::kNone;
}

void SetDropDescription(IDataObject* data, const wchar_t* message, const wchar_t* insert) {
  if (!data) return;
  OwnedGlobal block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(DROPDESCRIPTION)));
  if (!block) return;
  {
    GlobalLocked<DROPDESCRIPTION> description(block.get());
    if (!description.get()) return;
    description->type = DROPIMAGE_MOVE;
    if (message) CopyCut(description->szMessage, message);
    if (insert) CopyKeepingEnd(description->szInsert, insert);
  }
  UINT format_id = RegisterClipboardFormatW(CFSTR_DROPDESCRIPTION);
  if (format_id == 0) return;
  FORMATETC format = {static_cast<CLIPFORMAT>(format_id), nullptr, DVASPECT_CONTENT, -1,
                      TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = block.get();
  // On success the data object owns the block.
  if (SUCCEEDED(data->SetData(&format, &medium, TRUE))) block.Detach();
}

TvlDropTarget* RegisterDropTarget(HWND window) {
  TvlDropTarget* target = new (std::nothrow) TvlDropTarget(window);
  if (target && FAILED(RegisterDragDrop(window, target))) {
    target->Release();
    target = nullptr;
  }
  if (!target) DragAcceptFiles(window, TRUE);
  return target;
}

void RevokeDropTarget(HWND window, TvlDropTarget* target) {
  if (!target) return;
  RevokeDragDrop(window);
  target->Release();
}

bool AcceptDroppedFiles(HWND window, HDROP drop, DroppedFileHandler on_file) {
  // WM_DROPFILES arrives posted, once the drag is over: identifying here holds no one up.
  std::wstring path;
  bool taken = ReadSingleFile(drop, &path);
  DragFinish(drop);
  if (!taken) return false;
  on_file(window, path);
  return true;
}

bool DeliverDroppedPath(HWND window, DroppedFileHandler on_file) {
  std::optional<std::wstring> path = TakeDroppedPath(window);
  if (!path) return false;
  on_file(window, *path);
  return true;
}

bool PostDroppedPath(HWND window, std::wstring path) {
  std::vector<PendingDrop>& pending = PendingDrops();
  pending.push_back({window, std::move(path)});
  if (PostMessageW(window, kDroppedPathMessage, 0, 0)) return true;
  pending.pop_back();
  return false;
}

std::optional<std::wstring> TakeDroppedPath(HWND window) {
  std::vector<PendingDrop>& pending = PendingDrops();
  for (auto drop = pending.begin(); drop != pending.end(); ++drop) {
    if (drop->window != window) continue;
    std::wstring path = std::move(drop->path);
    pending.erase(drop);
    return path;
  }
  return std::nullopt;
}

void DiscardDroppedPaths(HWND window) {
  std::erase_if(PendingDrops(),
                [window](const PendingDrop& drop) { return drop.window == window; });
}

}  // namespace tvl
