// The drop target driven as OLE drives it, with a data object offering file names, and the plain
// shell drop the window falls back to; files are identified by the test catalogue.
#include "ui/drop_target.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"
#include "tests/platform/deep_folder_win32.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/ui/fake_data_object.h"
#include "tests/ui/modal_dialog.h"
#include "tests/zip_maker.h"
#include "ui/ole_session.h"
#include "ui/zip_entry_dialog.h"

namespace tvl::testing {
namespace {

constexpr DWORD kAnyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
constexpr POINTL kPoint = {10, 10};
constexpr wchar_t kIdentifyFailedText[] =
    L"Could not identify the specified WAD file. Please try a valid IWAD.";

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The smallest PWAD: its header and an empty directory.
std::vector<uint8_t> EmptyPwad() { return {'P', 'W', 'A', 'D', 0, 0, 0, 0, 12, 0, 0, 0}; }

// A PWAD with one lump, as map editors write them: header, the lump, the directory.
std::vector<uint8_t> OneLumpPwad() {
  return {'P', 'W', 'A', 'D', 1, 0, 0, 0, 16,  0,   0,   0,   'd', 'a', 't', 'a',
          12,  0,   0,   0,   4, 0, 0, 0, 'D', 'A', 'T', 'A', 0,   0,   0,   0};
}

struct DragResult {
  HRESULT result;
  DWORD effect;
};

class DropTargetTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(ole_.initialised());
  }
  void TearDown() override {
    if (target_) {
      EXPECT_EQ(target_->Release(), 0u);
      target_ = nullptr;
    }
    MainWindowTest::TearDown();
  }

  Path Write(std::string_view name, const std::vector<uint8_t>& bytes) {
    Path file = scratch_ / name;
    WriteFileBytes(file, bytes);
    return file;
  }

  DragResult Enter(FakeDataObject& data, DWORD allowed = kAnyEffect) {
    DWORD effect = allowed;
    HRESULT result = target()->DragEnter(&data, MK_LBUTTON, kPoint, &effect);
    return {result, effect};
  }
  DragResult Drop(FakeDataObject& data, DWORD allowed = kAnyEffect) {
    DWORD effect = allowed;
    HRESULT result = target()->Drop(&data, 0, kPoint, &effect);
    return {result, effect};
  }

  // Handles what the drop posted, as the window's message loop would once the source runs again.
  // Returns the number of drops handed on.
  int HandlePosted() {
    int handled = 0;
    MSG message;
    while (PeekMessageW(&message, nullptr, kDroppedPathMessage, kDroppedPathMessage, PM_REMOVE)) {
      DispatchMessageW(&message);
      ++handled;
    }
    return handled;
  }

  // The drag of `file` is accepted with a move and described with `message`.
  void ExpectDescribed(const Path& file, const wchar_t* message) {
    FakeDataObject data({file.native()});
    DragResult entered = Enter(data);
    EXPECT_EQ(entered.result, S_OK);
    EXPECT_EQ(entered.effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    ASSERT_TRUE(data.description().has_value());
    EXPECT_EQ(data.description()->type, DROPIMAGE_MOVE);
    EXPECT_STREQ(data.description()->szMessage, message);
    EXPECT_STREQ(data.description()->szInsert, file.c_str());
    EXPECT_EQ(data.media_outstanding(), 0);
    EXPECT_EQ(target()->DragLeave(), S_OK);
  }

  // The drag is refused in DragEnter and nothing is stored on the source.
  void ExpectRefused(FakeDataObject& data, const char* what) {
    SCOPED_TRACE(what);
    DragResult entered = Enter(data);
    EXPECT_EQ(entered.result, E_UNEXPECTED);
    EXPECT_EQ(entered.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(data.description().has_value());
    EXPECT_EQ(data.media_outstanding(), 0);
  }

  OleSession ole_;
  // Made at first use, for the window open by then (none: a drop with nowhere to go).
  TvlDropTarget* target() {
    if (!target_) target_ = new TvlDropTarget(window_);
    return target_;
  }
  TvlDropTarget* target_ = nullptr;
};

TEST_F(DropTargetTest, IsADropTargetAndCountsItsReferences) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(target()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  IDropTarget* drop_target = nullptr;
  ASSERT_EQ(target()->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&drop_target)),
            S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(target()));
  EXPECT_EQ(drop_target, static_cast<IDropTarget*>(target()));
  IDataObject* other = reinterpret_cast<IDataObject*>(1);
  EXPECT_EQ(target()->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&other)),
            E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  // The creator's reference and the two just taken.
  EXPECT_EQ(target()->AddRef(), 4u);
  EXPECT_EQ(target()->Release(), 3u);
  EXPECT_EQ(unknown->Release(), 2u);
  EXPECT_EQ(drop_target->Release(), 1u);
}

TEST_F(DropTargetTest, DescribesAnIwadOrAPwadAsAMove) {
  ExpectDescribed(Write("doom2.wad", Bytes("IWAD and whatever follows")), L"Open IWAD %1");
  ExpectDescribed(Write("empty.wad", EmptyPwad()), L"Open PWAD %1");
  ExpectDescribed(Write("map01.wad", OneLumpPwad()), L"Open PWAD %1");
  // The header alone decides; the catalogue is not asked while dragging.
  ExpectDescribed(Write("four.wad", Bytes("PWAD")), L"Open PWAD %1");
  // Nor is the archive read past its start: which entry to open is asked after the drop.
  ExpectDescribed(Write("doom2.zip", Bytes("PK\x03\x04 a zip archive")), L"Open archive %1");
}

TEST_F(DropTargetTest, RefusesAnythingButOneWadFile) {
  const std::wstring iwad = Write("doom2.wad", Bytes("IWAD0000")).native();
  const std::wstring pwad = Write("map01.wad", OneLumpPwad()).native();
  const Path folder = scratch_ / "folder.wad";
  std::filesystem::create_directory(folder);
  const struct {
    const char* what;
    std::vector<std::wstring> files;
    bool offer_files = true;
  } rows[] = {
      {"two files", {iwad, pwad}},
      {"no file", {}},
      {"a source without file names", {iwad}, false},
      {"a folder", {folder.native()}},
      {"a missing file", {(scratch_ / "missing.wad").native()}},
      {"an empty file", {Write("empty.wad", {}).native()}},
      {"a 3-byte file", {Write("short.wad", Bytes("IWA")).native()}},
      {"a lower-case header", {Write("lower.wad", Bytes("iwad1234")).native()}},
      {"another header", {Write("doom2.rar", Bytes("Rar!\x1a\x07\x00 an archive")).native()}},
      {"an empty zip archive, which holds no IWAD",
       {Write("doom2.zip", Bytes("PK\x05\x06")).native()}},
      {"an empty name", {L""}},
  };
  for (const auto& row : rows) {
    FakeDataObject data(row.files, row.offer_files);
    ExpectRefused(data, row.what);
  }
}

TEST_F(DropTargetTest, CopyOnlySourceGetsNoDropEffect) {
  Path iwad = Write("doom2.wad", Bytes("IWAD0000"));
  FakeDataObject data({iwad.native()});
  DragResult entered = Enter(data, DROPEFFECT_COPY);
  EXPECT_EQ(entered.result, S_OK);
  EXPECT_EQ(entered.effect, static_cast<DWORD>(DROPEFFECT_NONE));

  // Moving over the window only narrows the effect; the data is not looked at again.
  int requests = data.file_requests();
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target()->DragOver(0, kPoint, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = kAnyEffect;
  EXPECT_EQ(target()->DragOver(0, kPoint, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(data.file_requests(), requests);
  EXPECT_EQ(target()->DragLeave(), S_OK);
}

TEST_F(DropTargetTest, DropReturnsFirstAndTheWindowIdentifiesAfterwards) {
  Path file = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  Open();
  FakeDataObject data({file.native()});
  ASSERT_EQ(Enter(data).result, S_OK);
  DragResult dropped = Drop(data);
  EXPECT_EQ(dropped.result, S_OK);
  // The source is told the file was copied, so it never deletes it.
  EXPECT_EQ(dropped.effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(data.media_outstanding(), 0);
  // Nothing was read or shown while the source waited for Drop.
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), L"");
  EXPECT_EQ(CurrentIwad, nullptr);

  EXPECT_EQ(HandlePosted(), 1);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
  ASSERT_NE(CurrentIwad, nullptr);
  EXPECT_EQ(std::u16string_view(CurrentIwad->version_id), u"v1666");
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(DropTargetTest, DroppedPwadOutsideTheCatalogueGetsTheIdentificationError) {
  Path pwad = Write("map01.wad", OneLumpPwad());
  Open();
  FakeDataObject data({pwad.native()});
  ASSERT_EQ(Enter(data).result, S_OK);
  EXPECT_EQ(Drop(data).result, S_OK);
  // The error shows once the drop is over, not while the source waits.
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(HandlePosted(), 1);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), pwad.native());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"");
  EXPECT_EQ(CurrentIwad, nullptr);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
  EXPECT_EQ(ui_.messages[0].caption, L"Error");
}

TEST_F(DropTargetTest, DropOfSeveralFilesChangesNothing) {
  Path first = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  Path second = WriteSyntheticRelease(scratch_.path(), u"tnt_v19", "tnt.wad");
  Open();
  FakeDataObject data({first.native(), second.native()});
  DragResult dropped = Drop(data);
  EXPECT_EQ(dropped.result, E_UNEXPECTED);
  EXPECT_EQ(dropped.effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(HandlePosted(), 0);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), L"");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(DropTargetTest, DropsAreHandledInOrderAndForeignMessagesCarryNothing) {
  Path first = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  Path second = WriteSyntheticRelease(scratch_.path(), u"tnt_v19", "tnt.wad");
  Open();
  // Another program's message of the same number, with a value that is no pointer of ours.
  PostMessageW(window_, kDroppedPathMessage, 0x1234, 0x5678);
  FakeDataObject one({first.native()});
  FakeDataObject two({second.native()});
  EXPECT_EQ(Drop(one).result, S_OK);
  EXPECT_EQ(Drop(two).result, S_OK);
  // The foreign message takes the first drop along; the last message finds nothing left.
  EXPECT_EQ(HandlePosted(), 3);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), second.native());
  ASSERT_NE(CurrentIwad, nullptr);
  EXPECT_EQ(std::u16string_view(CurrentIwad->game_id), u"tnt");
  EXPECT_FALSE(TakeDroppedPath(window_).has_value());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(DropTargetTest, PathOfAWindowThatGoesIsNotKept) {
  Path file = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  Open();
  FakeDataObject data({file.native()});
  EXPECT_EQ(Drop(data).result, S_OK);
  HWND gone = window_;
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_FALSE(TakeDroppedPath(gone).has_value());
  HandlePosted();

  // A drop after the window went cannot be handed on: refused, with nothing kept for it.
  MainWindow = gone;
  DragResult late = Drop(data);
  EXPECT_EQ(late.result, E_UNEXPECTED);
  EXPECT_EQ(late.effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_FALSE(TakeDroppedPath(gone).has_value());
  MainWindow = nullptr;
  EXPECT_EQ(Drop(data).result, E_UNEXPECTED);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(DropTargetTest, ModalWindowIdentifiesTheDropFromItsOwnLoop) {
  Path file = WriteSyntheticRelease(scratch_.path(), u"tnt_v19", "tnt.wad");
  FakeDataObject data({file.native()});
  std::wstring label;
  INT_PTR result = RunModal(nullptr, {[&](HWND window) {
                                        // The target registered for this window.
                                        target_ = new TvlDropTarget(window);
                                        EXPECT_EQ(Drop(data).result, S_OK);
                                        EXPECT_EQ(ItemText(window, IDC_INPUT_PATH), L"");
                                      },
                                      [&](HWND window) {
                                        label = ItemText(window, IDC_RELEASE_LABEL);
                                        EndDialog(window, 0);
                                      }});
  EXPECT_EQ(result, 0);
  ASSERT_NE(CurrentIwad, nullptr);
  EXPECT_EQ(label, AsWide(CurrentIwad->title));
}

TEST_F(DropTargetTest, NameOfAnyLengthIsTakenWhole) {
  // A name cut short would name another file.
  for (size_t length : {size_t{260}, size_t{261}, size_t{1000}}) {
    std::wstring name = L"C:\\" + std::wstring(length - 7, L'a') + L".wad";
    ASSERT_EQ(name.size(), length);
    std::wstring path = L"unchanged";
    FakeDataObject data({name});
    EXPECT_TRUE(ReadDroppedPath(&data, &path));
    EXPECT_EQ(path, name);
    EXPECT_EQ(data.media_outstanding(), 0);
  }
}

TEST_F(DropTargetTest, FileInADeepFolderIsDescribedAndIdentified) {
  DeepFolder deep(scratch_.path(), 300);
  Path file = WriteSyntheticRelease(deep.path(), u"doom2_v1666", "doom2.wad");
  Open();
  FakeDataObject data({file.native()});
  ASSERT_EQ(Enter(data).result, S_OK);
  ASSERT_TRUE(data.description().has_value());
  EXPECT_STREQ(data.description()->szMessage, L"Open IWAD %1");
  EXPECT_EQ(Drop(data).result, S_OK);
  EXPECT_EQ(HandlePosted(), 1);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
  EXPECT_TRUE(ui_.messages.empty());
}

// A file of exactly `length` characters in the \\?\ form, which opens paths past the usual
// limit, with its folders; removed when the object goes.
class LongPathFile {
 public:
  LongPathFile(const Path& folder, size_t length, std::string_view content) {
    path_ = L"\\\\?\\" + folder.native();
    while (length - path_.size() > 150) {
      path_ += L"\\" + std::wstring(100, L'd');
      if (CreateDirectoryW(path_.c_str(), nullptr)) folders_.push_back(path_);
    }
    // The name takes what is left: "\\", padding, ".wad".
    path_ += L"\\" + std::wstring(length - path_.size() - 5, L'f') + L".wad";
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~LongPathFile() {
    DeleteFileW(path_.c_str());
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
      RemoveDirectoryW(folder->c_str());
    }
  }
  LongPathFile(const LongPathFile&) = delete;
  LongPathFile& operator=(const LongPathFile&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  std::vector<std::wstring> folders_;
};

TEST_F(DropTargetTest, LongestPathIsDescribedByItsEnd) {
  LongPathFile file(scratch_.path(), 260, "IWAD");
  const std::wstring& path = file.path();
  ASSERT_EQ(path.size(), 260u);
  FakeDataObject data({path});
  EXPECT_EQ(Enter(data).result, S_OK);
  ASSERT_TRUE(data.description().has_value());
  std::wstring insert = data.description()->szInsert;
  EXPECT_EQ(insert.size(), 259u);
  EXPECT_EQ(insert, L"..." + path.substr(path.size() - 256));
  EXPECT_EQ(target()->DragLeave(), S_OK);
}

TEST_F(DropTargetTest, DescriptionCutsNeverSplitACharacter) {
  // A pair of surrogates where the kept end of the insert would begin.
  std::wstring insert = std::wstring(40, L'x') + L"\xD83D\xDE00" + std::wstring(255, L'y');
  FakeDataObject data({});
  SetDropDescription(&data, L"Open IWAD %1", insert.c_str());
  ASSERT_TRUE(data.description().has_value());
  EXPECT_EQ(std::wstring(data.description()->szInsert), L"..." + std::wstring(255, L'y'));

  std::wstring message(300, L'm');
  SetDropDescription(&data, message.c_str(), nullptr);
  EXPECT_EQ(std::wstring(data.description()->szMessage), std::wstring(259, L'm'));
  EXPECT_STREQ(data.description()->szInsert, L"");
  EXPECT_EQ(data.description()->type, DROPIMAGE_MOVE);
  EXPECT_EQ(data.descriptions_stored(), 2);

  // A source that takes no description still gets its drag.
  Path iwad = Write("doom2.wad", Bytes("IWAD0000"));
  FakeDataObject refusing({iwad.native()});
  refusing.RefuseSetData();
  EXPECT_EQ(Enter(refusing).result, S_OK);
  EXPECT_EQ(target()->DragLeave(), S_OK);
}

TEST_F(DropTargetTest, DroppedArchiveIsOpenedWithTheRealChoiceOfItsWadFile) {
  Path archive =
      WriteTestZip(scratch_ / "iwads.zip", {{"doom2.wad", SyntheticReleaseBytes(u"doom2_v1666")},
                                            {"tnt.wad", SyntheticReleaseBytes(u"tnt_v19")}});
  Open();
  Ui().choose_zip_entry = ShowZipEntryDialog;
  FakeDataObject data({archive.native()});
  ASSERT_EQ(Enter(data).result, S_OK);
  ASSERT_EQ(Drop(data).result, S_OK);
  // The choice opens once the drop is over, from the window's handling of it, and is made with
  // the keyboard. A file dropped while it is open is not taken: the archive is being opened.
  Path other = WriteSyntheticRelease(scratch_.path(), u"doom2_xbox", "doom2.wad");
  FakeDataObject later({other.native()});
  RunModalDialog(L"Choose an IWAD", [&] { return static_cast<INT_PTR>(HandlePosted()); },
                 {[&](HWND) { EXPECT_EQ(Drop(later).result, S_OK); },
                  [](HWND dialog) { PressKey(dialog, VK_DOWN); },
                  [](HWND dialog) { PressKey(dialog, VK_RETURN); }});
  EXPECT_FALSE(TakeDroppedPath(window_).has_value());
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), archive.native());
  ASSERT_NE(CurrentIwad, nullptr);
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), AsWide(CurrentIwad->title));
  EXPECT_EQ(std::u16string_view(CurrentIwad->game_id), u"tnt");
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(DropTargetTest, ReadWadMagicTellsTheKind) {
  bool is_pwad = true;
  EXPECT_TRUE(ReadWadMagic(Write("i.wad", Bytes("IWAD")).c_str(), &is_pwad));
  EXPECT_FALSE(is_pwad);
  EXPECT_TRUE(ReadWadMagic(Write("p.wad", OneLumpPwad()).c_str(), &is_pwad));
  EXPECT_TRUE(is_pwad);
  EXPECT_TRUE(ReadWadMagic(Write("p2.wad", EmptyPwad()).c_str(), nullptr));
  EXPECT_FALSE(ReadWadMagic(Write("x.wad", Bytes("XWAD")).c_str(), &is_pwad));

  EXPECT_EQ(ReadDropKind(Write("i2.wad", Bytes("IWAD")).c_str()), DropKind::kIwad);
  EXPECT_EQ(ReadDropKind(Write("p3.wad", EmptyPwad()).c_str()), DropKind::kPwad);
  EXPECT_EQ(ReadDropKind(Write("a.zip", Bytes("PK\x03\x04")).c_str()), DropKind::kArchive);
  EXPECT_EQ(ReadDropKind(Write("short.zip", Bytes("PK\x03")).c_str()), DropKind::kNone);
  EXPECT_EQ(ReadDropKind((scratch_ / "missing.zip").c_str()), DropKind::kNone);
}

// The main window's own drop handling: registration at initialisation, revocation at close.
class DropRegistrationTest : public MainWindowTest {};

// A window of its own: the main window may register its target itself.
HWND MakePlainWindow() {
  return CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                         nullptr);
}

TEST_F(DropRegistrationTest, RegisteredTargetIsReleasedAtRevocation) {
  OleSession ole;
  ASSERT_TRUE(ole.initialised());
  HWND window = MakePlainWindow();
  TvlDropTarget* target = RegisterDropTarget(window);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(RegisterDragDrop(window, target), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  target->AddRef();  // this test's own, to see the others go
  RevokeDropTarget(window, target);
  EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(target->Release(), 0u);
  RevokeDropTarget(window, nullptr);
  DestroyWindow(window);
}

TEST_F(DropRegistrationTest, WithoutOleTheWindowTakesPlainShellDrops) {
  // A thread that never initialised OLE, with a window of its own.
  bool accepted = false;
  bool created = false;
  std::thread([&] {
    HWND window = MakePlainWindow();
    created = window != nullptr;
    created = created && RegisterDropTarget(window) == nullptr;
    accepted = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
    DestroyWindow(window);
  }).join();
  EXPECT_TRUE(created);
  EXPECT_TRUE(accepted);
}

TEST_F(DropRegistrationTest, PlainShellDropOfOneFileIsIdentified) {
  Path file = WriteSyntheticRelease(scratch_.path(), u"tnt_v19", "tnt.wad");
  Open();
  EXPECT_TRUE(
      AcceptDroppedFiles(window_, reinterpret_cast<HDROP>(MakeDropFiles({file})), OpenDroppedFile));
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
  ASSERT_NE(CurrentIwad, nullptr);
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), AsWide(CurrentIwad->title));
  EXPECT_EQ(std::u16string_view(CurrentIwad->game_id), u"tnt");

  // Two files are ambiguous: nothing changes.
  Path other = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  EXPECT_FALSE(AcceptDroppedFiles(window_, reinterpret_cast<HDROP>(MakeDropFiles({other, file})),
                                  OpenDroppedFile));
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
  EXPECT_EQ(std::u16string_view(CurrentIwad->game_id), u"tnt");
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace tvl::testing
