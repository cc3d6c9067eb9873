// The window and Patch! on files in a folder deeper than the system's usual path limit: chosen,
// identified, converted into a new file and in place, with no temporary file left behind; and the
// system's own file dialogs, driven as a user would, starting there.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/file_dialog.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/ui_calls.h"
#include "resources/main_window_ids.h"
#include "tests/app/synthetic_window_fixture.h"
#include "tests/platform/deep_folder_win32.h"
#include "tests/synthetic/synthetic_releases.h"
#include "ui/ole_session.h"

namespace tvl::testing {
namespace {

class DeepFolderTest : public SyntheticWindowTest {
 protected:
  void SetUp() override {
    SyntheticWindowTest::SetUp();
    deep_.emplace(scratch_.path(), 400);
    ASSERT_GT(deep_->path().native().size(), 400u);
    work_ = deep_->path();
  }
  void TearDown() override {
    SyntheticWindowTest::TearDown();
    deep_.reset();
  }

  // The success message last; a new file named in full, however deep.
  void ExpectSuccessOnly(size_t messages, const Path& new_file = {}) {
    ASSERT_EQ(ui_.messages.size(), messages);
    EXPECT_EQ(ui_.messages.back().text, PatchedText(new_file));
  }

  // Nothing but `names` in the deep folder, and nothing in the temporary folder.
  void ExpectOnly(const std::vector<std::wstring>& names) {
    EXPECT_EQ(deep_->Names(), names);
    for (const Path& temp : ui_.temp_files) EXPECT_FALSE(DeepFolder::Exists(temp));
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path() / "temp"));
  }

  // The file `name` in the deepest folder from the input's up to the scratch folder that has one;
  // empty when none has.
  Path WrittenOnTheWay(const wchar_t* name) const {
    for (Path at = deep_->path(); at != scratch_.path().parent_path(); at = at.parent_path()) {
      if (DeepFolder::Exists(at / name)) return at / name;
    }
    return {};
  }

  std::optional<DeepFolder> deep_;
};

TEST_F(DeepFolderTest, OpenDialogStartsBesideTheLastFile) {
  Open();
  Browse(deep_->path() / L"input.wad");
  ui_.CancelFileDialog();
  Click(IDC_BROWSE);
  ASSERT_EQ(ui_.open_dialogs.size(), 2u);
  EXPECT_EQ(ui_.open_dialogs[1].folder, deep_->path());
}

TEST_F(DeepFolderTest, InPlaceThroughTheBase) {
  Prepare(u"doom2_xbox", u"doom2_zodiac");
  SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);
  ExpectSuccessOnly(2);
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_zodiac"));
  ExpectOnly({L"input.wad"});
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 (Zodiac)");
}

TEST_F(DeepFolderTest, IntoANewFileBesideTheInput) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ui_.ChooseFile(deep_->path() / L"doom2-v19.wad");
  Click(IDC_PATCH);
  ExpectSuccessOnly(1, deep_->path() / L"doom2-v19.wad");
  EXPECT_EQ(ReadFileBytes(deep_->path() / L"doom2-v19.wad"), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  ExpectOnly({L"doom2-v19.wad", L"input.wad"});
}

void Settle(HWND window) {
  Sleep(300);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
  Sleep(300);
}

// A user at the system's file dialog titled `title`, from another thread: types `name` into its
// file name box, when given, and confirms; without `confirm`, cancels.
class DialogUser {
 public:
  DialogUser(const wchar_t* title, std::wstring name, bool confirm)
      : thread_([this, title, name, confirm] {
          for (int i = 0; i < 500 && !found_; ++i) {
            HWND window = FindProcessWindow(title);
            if (!window) {
              Sleep(20);
              continue;
            }
            found_ = true;
            // Let the dialog finish filling itself in, as a user's eyes would: its thread has
            // answered, and a moment more on a busy machine.
            Settle(window);
            if (!name.empty()) {
              HWND box = FindWindowBy(
                  {.class_name = L"Edit", .parent = window, .visible = true, .enabled = true});
              if (box) SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
              Settle(window);
            }
            PostMessageW(window, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
          }
        }) {}
  ~DialogUser() { thread_.join(); }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

// The real dialogs, with the message boxes still scripted.
class SystemDialogTest : public DeepFolderTest {
 protected:
  void SetUp() override {
    DeepFolderTest::SetUp();
    ASSERT_TRUE(ole_.initialised());
  }
  // From here on the dialogs are the system's; `Chosen` holds their last answer.
  void UseSystemDialogs() { Ui().file_dialog = AskTheSystem; }
  static std::optional<Path> AskTheSystem(const FileDialogRequest& request) {
    Chosen() = ShowFileDialog(request);
    return Chosen();
  }
  static std::optional<Path>& Chosen() {
    static std::optional<Path> chosen;
    return chosen;
  }
  OleSession ole_;
};

// Started from a file in the deep folder, the shell's dialogs open without harm, as close to that
// folder as the shell can name (Wine's shell names no folder past MAX_PATH; Windows' may reach
// it), and what the user confirms there is used.
TEST_F(SystemDialogTest, SaveDialogFromTheDeepFolderWritesAVerifiedResult) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  UseSystemDialogs();
  {
    // The suggested name, confirmed where the dialog starts.
    DialogUser user(L"Save IWAD", L"", true);
    Click(IDC_PATCH);
    EXPECT_TRUE(user.found());
  }
  ASSERT_TRUE(Chosen());
  // The shell started short of the input's folder: the message says where the file went.
  ExpectSuccessOnly(1, *Chosen());
  // On the way from the scratch folder to the input's, not where the shell starts by itself.
  const Path written = WrittenOnTheWay(L"input-doom2_v19.wad");
  ASSERT_FALSE(written.empty()) << Chosen()->string();
  EXPECT_EQ(ReadFileBytes(written), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
}

TEST_F(SystemDialogTest, OpenDialogStartsOnTheWayToTheDeepFolder) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  // A release in every folder from the scratch folder down: whichever the dialog starts in.
  for (Path at = deep_->path(); at != scratch_.path().parent_path(); at = at.parent_path()) {
    WriteFileBytes(at / L"other.wad", Bytes(u"doom2_xbox"));
  }
  UseSystemDialogs();
  {
    // Only the file's name: the folder is where the dialog starts.
    DialogUser user(L"Select an IWAD", L"other.wad", true);
    Click(IDC_BROWSE);
    EXPECT_TRUE(user.found());
  }
  EXPECT_TRUE(ui_.messages.empty());
  const std::wstring chosen = ItemText(window_, IDC_INPUT_PATH);
  EXPECT_EQ(chosen.rfind(scratch_.path().native(), 0), 0u)
      << std::string(chosen.begin(), chosen.end());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 (Xbox)");
}

// Where the shell's dialog can't be made, the classic one starts without what it can't hold.
TEST_F(SystemDialogTest, ClassicDialogIsNeverGivenALongStart) {
  FileDialogRequest request;
  request.save = true;
  request.title = L"Save IWAD";
  request.folder = deep_->path();
  request.name = L"input-doom2_v19.wad";
  request.default_extension = L"wad";
  ClassicDialogStart start = ClassicStartFor(request);
  EXPECT_EQ(start.folder, L"");
  EXPECT_EQ(start.name, request.name);
  request.name = std::wstring(300, L'n') + L".wad";
  EXPECT_EQ(ClassicStartFor(request).name, L"");
  request.folder = scratch_.path();
  request.name = L"input-doom2_v19.wad";
  EXPECT_EQ(ClassicStartFor(request).folder, scratch_.path().native());

  // The dialog itself, asked with the deep folder: it opens, and cancelling it ends it.
  request.folder = deep_->path();
  DialogUser user(L"Save IWAD", L"", false);
  EXPECT_EQ(ShowClassicFileDialog(request), std::nullopt);
  EXPECT_TRUE(user.found());
}

}  // namespace
}  // namespace tvl::testing
