// Dropping one Doom WAD file, or a zip archive holding one, onto the main window: the OLE drop
// target with the shell's drag image, and the plain shell drop the window falls back to without
// OLE.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "ui/handle.h"

namespace tvl {

// Posted to the main window by a drop; the window takes the path with TakeDroppedPath, puts it
// into its input box and identifies the file. Identifying hashes the whole file, which must not
// happen inside Drop: the drag source waits for Drop to return.
inline constexpr UINT kDroppedPathMessage = WM_APP + 1;

// Accepts a single file whose header is "IWAD" or "PWAD", or a zip archive's "PK\3\4",
// describes it on the drag image as "Open IWAD %1", "Open PWAD %1" or "Open archive %1", and on a
// drop hands its path to the main window (kDroppedPathMessage). Created with one reference (the
// creator's); destroys itself on the last Release.
class TvlDropTarget final : public IDropTarget {
 public:
  // Drops go to `window`, the window the target is registered for.
  explicit TvlDropTarget(HWND window);
  TvlDropTarget(const TvlDropTarget&) = delete;
  TvlDropTarget& operator=(const TvlDropTarget&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD key_state, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD key_state, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD key_state, POINTL point,
                                 DWORD* effect) override;

 private:
  ~TvlDropTarget() = default;

  LONG references_ = 1;
  HWND window_;
  // The shell's drag-image helper; none where the system has none.
  ComRef<IDropTargetHelper> helper_;
};

// The one file a data object offers (CF_HDROP), whatever its length. False for no file names,
// several files, or an empty name.
bool ReadDroppedPath(IDataObject* data, std::wstring* path);

// Whether the file begins with "IWAD" or "PWAD"; `is_pwad` (if given) tells which.
bool ReadWadMagic(const wchar_t* path, bool* is_pwad);

// What a dragged file's first bytes say it is, for its description; kNone for anything the
// window would not open.
enum class DropKind { kNone, kIwad, kPwad, kArchive };
DropKind ReadDropKind(const wchar_t* path);

// Stores a drag description ("DropDescription") on the data object for the drag image: the move
// image with `message`, where the shell puts `insert` in place of %1. Either text may be null.
// An insert longer than its field shows its end, after "...".
void SetDropDescription(IDataObject* data, const wchar_t* message, const wchar_t* insert);

// The main window's drop handling, from its initialisation to its close.
//
// Creates the window's drop target and registers it. When either fails the window accepts plain
// shell drops (WM_DROPFILES) instead and the result is null. Needs OLE on this thread.
TvlDropTarget* RegisterDropTarget(HWND window);

// What the window does with a dropped file: put it into the input box and identify it.
using DroppedFileHandler = void (*)(HWND window, const std::wstring& path);
// Revokes the registration and releases the window's reference. Null does nothing.
void RevokeDropTarget(HWND window, TvlDropTarget* target);
// WM_DROPFILES: hands a single dropped file to `on_file`. Always releases the drop. True when a
// file was taken.
bool AcceptDroppedFiles(HWND window, HDROP drop, DroppedFileHandler on_file);
// kDroppedPathMessage: hands the oldest path kept for `window` to `on_file`. False when none was
// kept (a message from elsewhere).
bool DeliverDroppedPath(HWND window, DroppedFileHandler on_file);

// Paths on their way from a drop to the window. They wait here, not in the message, so that a
// kDroppedPathMessage from anywhere else carries nothing to trust or to free.
//
// Keeps `path` for `window` and posts it kDroppedPathMessage. False, keeping nothing, when the
// message cannot be posted (the window is gone).
bool PostDroppedPath(HWND window, std::wstring path);
// The oldest path kept for `window`; none when there is none.
std::optional<std::wstring> TakeDroppedPath(HWND window);
// Forgets the paths kept for `window`, whose messages will never be handled; when it goes.
void DiscardDroppedPaths(HWND window);

}  // namespace tvl
