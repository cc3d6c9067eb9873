// Dropping one Doom WAD file onto the main window: the OLE drop target with the shell's drag
// image, and the plain shell drop the window falls back to without OLE.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include "ui/handle.h"

namespace tvl {

// A dropped path: up to 260 characters and a terminator.
inline constexpr UINT kDroppedPathSize = MAX_PATH + 1;

// Accepts a single file whose header is "IWAD" or "PWAD", describes it on the drag image as
// "Open IWAD %1" or "Open PWAD %1", and on a drop puts its path into the main window's input box
// and identifies it. Created with one reference (the creator's); destroys itself on the last
// Release.
class TvlDropTarget final : public IDropTarget {
 public:
  TvlDropTarget();
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
  // The shell's drag-image helper; none where the system has none.
  ComRef<IDropTargetHelper> helper_;
};

// The one file a data object offers (CF_HDROP). False for no file names, several files, or a
// name that is empty or longer than 260 characters.
bool ReadDroppedPath(IDataObject* data, wchar_t (&path)[kDroppedPathSize]);

// Whether the file begins with "IWAD" or "PWAD"; `is_pwad` (if given) tells which.
bool ReadWadMagic(const wchar_t* path, bool* is_pwad);

// Stores a drag description ("DropDescription") on the data object for the drag image: the move
// image with `message`, where the shell puts `insert` in place of %1. Either text may be null.
// An insert longer than its field shows its end, after "...".
void SetDropDescription(IDataObject* data, const wchar_t* message, const wchar_t* insert);

// The main window's drop handling, from its initialisation to its close.
//
// Creates the window's drop target and registers it. When either fails the window accepts plain
// shell drops (WM_DROPFILES) instead and the result is null. Needs OLE on this thread.
TvlDropTarget* RegisterDropTarget(HWND window);
// Revokes the registration and releases the window's reference. Null does nothing.
void RevokeDropTarget(HWND window, TvlDropTarget* target);
// WM_DROPFILES: takes a single dropped file into the input box and identifies it. Always
// releases the drop. True when a file was taken.
bool AcceptDroppedFiles(HWND window, HDROP drop);

}  // namespace tvl
