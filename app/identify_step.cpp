#include "app/identify_step.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "app/failure_text.h"
#include "app/leftover_text.h"
#include "app/program.h"
#include "app/target_list.h"
#include "app/ui_calls.h"
#include "app/wait_cursor.h"
#include "catalogue/identify.h"
#include "patching/leftovers.h"
#include "platform/file_ops.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

constexpr wchar_t kInPlaceText[] = L"Patch in-place (overwrite original file)";
constexpr wchar_t kInPlaceArchiveText[] = L"Patch in-place (not for a zip archive)";

// The archive's entry the window shows; none for a plain file.
std::unique_ptr<ZipInput> ArchiveInput;
// Whether the input box names a zip archive, identified or not.
bool ArchiveNamed = false;
bool Identifying = false;

// Disabling the control that has the keyboard focus leaves the keyboard with nowhere to go;
// hand the focus to the browse button, which is always enabled. `focus` is the focus from before
// the change, since disabling may already have taken it away.
void KeepFocusUsable(HWND window, HWND focus) {
  if (focus && IsChild(window, focus) && !IsWindowEnabled(focus)) {
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_BROWSE)),
                 TRUE);
  }
}

// An archive is never replaced: the check box says so rather than vanish.
void ShowInPlaceChoice(HWND window, bool archive) {
  HWND box = GetDlgItem(window, IDC_IN_PLACE);
  if (archive) SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(box, !archive);
  SetWindowTextW(box, archive ? kInPlaceArchiveText : kInPlaceText);
}

// Empties what the window showed of the previous input.
void ClearRelease(HWND window, bool archive) {
  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  HWND focus = GetFocus();
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  EnableWindow(list, FALSE);
  EnableWindow(GetDlgItem(window, IDC_PATCH), FALSE);
  ShowInPlaceChoice(window, archive);
  KeepFocusUsable(window, focus);
  SetDlgItemTextW(window, IDC_RELEASE_LABEL, L"");
  ResetTargetList(window);
  CurrentIwad = nullptr;
}

IdentifyResult ShowFailure(HWND window, const std::wstring& reason,
                           const wchar_t* first_line = kIdentifyFailedText) {
  std::wstring text = std::wstring(first_line) + L"\n" + reason;
  Ui().message_box(window, text.c_str(), L"Error", MB_ICONERROR | MB_OK);
  return IdentifyResult::kFailed;
}

IdentifyResult ShowRelease(HWND window, int index) {
  CurrentIwad = &GetIwad(index);
  FillTargetList(window);
  SetDlgItemTextW(window, IDC_RELEASE_LABEL, AsWide(CurrentIwad->title));
  return IdentifyResult::kIdentified;
}

IdentifyResult IdentifyArchive(HWND window, const Path& archive, const std::string& entry) {
  ZipOpenResult opened = OpenZipInput(window, archive, entry);
  if (opened.status == ZipOpenStatus::kNotChosen) return IdentifyResult::kNotChosen;
  if (opened.status != ZipOpenStatus::kUnpacked) return ShowFailure(window, opened.reason);
  const std::string sha1 = FormatDigest(opened.digest.bytes);
  const int index = FindIwadByDigest(sha1);
  if (index < 0) {
    // What the entry is, read from its copy, which goes once the message has been read.
    return ShowFailure(window, WideFromUtf8(opened.input->entry) + L": " +
                                   UnknownFileReason(opened.input->unpacked.path(), sha1));
  }
  ArchiveInput = std::move(opened.input);
  return ShowRelease(window, index);
}

IdentifyResult IdentifyPath(HWND window, const Path& path, const std::string& entry) {
  // The copy of the archive's entry shown so far goes with it.
  ArchiveInput.reset();
  // A file whose start can't be read is no archive here: hashing it says why.
  bool archive = false;
  FileError error = 0;
  ArchiveNamed = OpensAsArchive(path, &archive, &error) && archive;
  ClearRelease(window, ArchiveNamed);
  if (ArchiveNamed) return IdentifyArchive(window, path, entry);

  // Hashes the whole file here, on the user-interface thread.
  WaitCursor wait;
  FileDigest digest = Sha1OfFile(path);
  const std::string sha1 = FormatDigest(digest.bytes);
  const int index = digest.complete ? FindIwadByDigest(sha1) : -1;
  // A file that exists but could not be read whole (another program holds it, a drive gave out)
  // may be a valid IWAD: the user is told why, not to try another.
  std::error_code status_error;
  if (!digest.complete && digest.error != 0 &&
      std::filesystem::is_regular_file(path, status_error)) {
    return ShowFailure(window, UnreadFileReason(path, digest.error), kIdentifyUnreadText);
  }
  if (index < 0) {
    // The digest lets users report a release we lack; of an unreadable file it means nothing.
    return ShowFailure(window, UnknownFileReason(path, digest.complete ? sha1 : std::string()));
  }
  return ShowRelease(window, index);
}

constexpr std::string_view kSwapSuffixes[] = {kSwapBackupSuffix, kSwapNewSuffix};

// The file that `path` is a swap's piece of, or `path` itself.
Path SwapOrigin(const Path& path) {
  for (std::string_view suffix : kSwapSuffixes) {
    const Path origin = SiblingOrigin(path, suffix);
    if (!origin.empty()) return origin;
  }
  return path;
}

bool SameName(const Path& a, const Path& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Whether the folder of `origin` holds a swap's piece made for it. Names only: nothing is
// opened or hashed, so opening a file in a folder with nothing to put right costs one listing.
bool HasSwapPieces(const Path& origin) {
  const Path name = origin.filename();
  std::error_code error;
  for (std::filesystem::directory_iterator it(FolderOf(origin), error), end; !error && it != end;
       it.increment(error)) {
    for (std::string_view suffix : kSwapSuffixes) {
      const Path piece_of = SiblingOrigin(it->path().filename(), suffix);
      if (!piece_of.empty() && SameName(piece_of, name)) return true;
    }
  }
  return false;
}

}  // namespace

Path RepairInterruptedSwap(HWND window, const Path& path) {
  const Path origin = SwapOrigin(path);
  if (!HasSwapPieces(origin)) return path;
  // The message runs a message loop of its own: a drop meanwhile waits, as during identification.
  Identifying = true;
  LeftoverReport report;
  {
    WaitCursor wait;
    report = CleanUpLeftovers(FolderOf(origin));
  }
  if (!report.kept.empty()) {
    Ui().message_box(window, LeftoverText(report).c_str(), L"Tarvelline",
                     MB_ICONINFORMATION | MB_OK);
  }
  Identifying = false;
  // The piece the user opened went back under its name: the window follows it there.
  std::error_code error;
  if (origin != path && !std::filesystem::exists(path, error)) {
    for (const KeptFile& kept : report.kept) {
      if (kept.restored && SameFile(kept.file, origin)) return origin;
    }
  }
  return path;
}

Path ReadInputPath(HWND window) {
  HWND input = GetDlgItem(window, IDC_INPUT_PATH);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(input)), L'\0');
  if (!text.empty()) {
    int got = GetWindowTextW(input, text.data(), static_cast<int>(text.size()) + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  return Path(text);
}

const ZipInput* InputFromArchive() { return ArchiveInput.get(); }

Path ConversionInputPath(HWND window) {
  return ArchiveInput ? ArchiveInput->unpacked.path() : ReadInputPath(window);
}

bool IsInPlaceChecked(HWND window) {
  return !ArchiveNamed &&
         SendMessageW(GetDlgItem(window, IDC_IN_PLACE), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ForgetInput() {
  ArchiveInput.reset();
  ArchiveNamed = false;
}

bool IdentifyingInput() { return Identifying; }

IdentifyResult IdentifyInputFile(HWND window, const std::string& entry) {
  Identifying = true;
  const IdentifyResult result = IdentifyPath(window, ReadInputPath(window), entry);
  Identifying = false;
  return result;
}

}  // namespace tvl
