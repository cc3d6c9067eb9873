// Conversions on the worker thread: the window goes on answering while one runs, stopping it at
// any point leaves the original and no temporary file, the worker never outlives the window, and
// what a killed run left behind is cleared the next time.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/conversion_worker.h"
#include "app/failure_text.h"
#include "app/patch_command.h"
#include "app/program.h"
#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "resources/main_window_ids.h"
#include "tests/app/synthetic_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kStopQuestion[] = L"Stop the conversion?\nThe original file stays as it was.";
constexpr int kProgressId = 1008;
constexpr wchar_t kStoppedText[] = L"Stopped: nothing was written";

bool Shown(HWND window, int id) {
  return (GetWindowLongW(GetDlgItem(window, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// Holds the worker at its `hold_at`-th progress report (1-based) until released; counts reports.
class Gate {
 public:
  explicit Gate(int hold_at)
      : hold_at_(hold_at), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    SetConversionProbe([this](uint64_t, uint64_t) {
      if (++reports_ == hold_at_) {
        held_ = true;
        // Never forever: a test that forgets to release fails instead of hanging.
        WaitForSingleObject(release_, 20000);
      }
    });
  }
  ~Gate() {
    Release();
    SetConversionProbe(nullptr);
    CloseHandle(release_);
  }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  void Release() { SetEvent(release_); }
  bool held() const { return held_; }
  int reports() const { return reports_; }

 private:
  int hold_at_;
  HANDLE release_;
  std::atomic<int> reports_{0};
  std::atomic<bool> held_{false};
};

class ConversionTest : public SyntheticWindowTest {
 protected:
  void Prepare(std::u16string_view id, std::u16string_view target, bool in_place) {
    SyntheticWindowTest::Prepare(id, target);
    if (in_place) {
      SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
      ui_.AnswerMessage(IDYES);
    } else {
      ui_.ChooseFile(work_ / "output.wad");
    }
  }

  std::vector<std::string> FilesIn(const Path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // How many progress reports a whole conversion of this kind makes.
  int CountReports(std::u16string_view id, std::u16string_view target) {
    Gate counter(-1);
    Prepare(id, target, false);
    Click(IDC_PATCH);
    DestroyWindow(window_);
    window_ = nullptr;
    std::filesystem::remove(work_ / "output.wad");
    std::filesystem::remove(work_ / "input.wad");
    ui_.messages.clear();
    return counter.reports();
  }
};

TEST_F(ConversionTest, WindowAnswersWhileAConversionRuns) {
  Gate gate(1);
  Prepare(u"doom2_xbox", u"doom2_zodiac", false);
  StartPatch();
  // The click has returned with the worker held: the conversion is not on this thread.
  ASSERT_TRUE(PumpUntil([&] { return gate.held(); }));
  EXPECT_TRUE(ConversionRunning());
  for (int id : {IDC_BROWSE, IDC_FIND_IWADS, IDC_TARGET_LIST, IDC_IN_PLACE}) {
    EXPECT_FALSE(ItemEnabled(window_, id)) << id;
  }
  // Patch! is Stop meanwhile, and the default button.
  EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
  EXPECT_EQ(ItemText(window_, IDC_PATCH), L"Stop");
  EXPECT_EQ(LOWORD(SendMessageW(window_, DM_GETDEFID, 0, 0)), IDC_PATCH);
  EXPECT_FALSE(Shown(window_, IDC_RUN_STATUS));
  HWND bar = GetDlgItem(window_, kProgressId);
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE);
  // The bar covers none of the designed controls.
  RECT bar_rect = {}, other = {}, overlap = {};
  GetWindowRect(bar, &bar_rect);
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == bar || !(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    GetWindowRect(child, &other);
    EXPECT_FALSE(IntersectRect(&overlap, &bar_rect, &other)) << GetDlgCtrlID(child);
  }

  // Another thread's message is answered at once while this one runs the loop.
  std::atomic<bool> answered{false};
  std::thread asker([&] {
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
  });
  EXPECT_TRUE(PumpUntil([&] { return answered.load(); }, 5000));
  asker.join();
  // A drop meanwhile changes nothing.
  DropFiles({work_ / "other.wad"});
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), input_.native());

  gate.Release();
  ASSERT_TRUE(PumpUntil([] { return !ConversionRunning(); }));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, PatchedText(work_ / "output.wad"));
  EXPECT_EQ(ReadFileBytes(work_ / "output.wad"), Bytes(u"doom2_zodiac"));
  EXPECT_EQ(GetDlgItem(window_, kProgressId), nullptr);
  EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
  EXPECT_EQ(ItemText(window_, IDC_PATCH), L"Patch!");
  EXPECT_FALSE(Shown(window_, IDC_RUN_STATUS));
  for (int id : {IDC_BROWSE, IDC_FIND_IWADS, IDC_TARGET_LIST}) {
    EXPECT_TRUE(ItemEnabled(window_, id)) << id;
  }
}

TEST_F(ConversionTest, StoppingAtAnyPointLeavesTheOriginalAndNoTemporaryFile) {
  const int reports = CountReports(u"doom2_xbox", u"doom2_zodiac");
  ASSERT_GE(reports, 3) << "a two-step route reports at least once per step and before the move";
  for (bool in_place : {true, false}) {
    // The first window, the middle of the route, and the last moment before the result moves;
    // asked with Escape, or with the Stop button.
    for (int point : {1, reports / 2, reports}) {
      const int stop = point == reports / 2 ? IDC_PATCH : IDCANCEL;
      SCOPED_TRACE(::testing::Message()
                   << (in_place ? "in place" : "new file") << ", report " << point << " of "
                   << reports << ", " << (stop == IDC_PATCH ? "Stop" : "Escape"));
      Gate gate(point);
      ui_.messages.clear();
      Prepare(u"doom2_xbox", u"doom2_zodiac", in_place);
      StartPatch();
      ASSERT_TRUE(PumpUntil([&] { return gate.held(); }));
      // Escape or Stop asks; "No" goes on, "Yes" stops.
      ui_.AnswerMessage(IDNO);
      SendMessageW(window_, WM_COMMAND, MAKEWPARAM(stop, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(stop)));
      EXPECT_TRUE(ConversionRunning());
      EXPECT_EQ(ItemText(window_, IDC_PATCH), L"Stop");
      ui_.AnswerMessage(IDYES);
      SendMessageW(window_, WM_COMMAND, MAKEWPARAM(stop, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(stop)));
      gate.Release();
      ASSERT_TRUE(PumpUntil([] { return !ConversionRunning(); }));

      // The questions, nothing else.
      const size_t asked = in_place ? 1 : 0;
      ASSERT_EQ(ui_.messages.size(), asked + 2);
      EXPECT_EQ(ui_.messages[asked].text, kStopQuestion);
      EXPECT_EQ(ui_.messages[asked].type, UINT{MB_ICONQUESTION | MB_YESNO});
      EXPECT_EQ(ui_.messages[asked + 1].text, kStopQuestion);
      EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_xbox"));
      EXPECT_EQ(FilesIn(work_), (std::vector<std::string>{"input.wad"}));
      EXPECT_TRUE(FilesIn(scratch_.path() / "temp").empty());
      EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 (Xbox)");
      EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
      // The window itself says how it ended, there being no message box.
      EXPECT_EQ(ItemText(window_, IDC_PATCH), L"Patch!");
      EXPECT_EQ(ItemText(window_, IDC_RUN_STATUS), kStoppedText);
      EXPECT_TRUE(Shown(window_, IDC_RUN_STATUS));
      // Until another file is opened.
      Browse(input_);
      EXPECT_FALSE(Shown(window_, IDC_RUN_STATUS));
      DestroyWindow(window_);
      window_ = nullptr;
    }
  }
}

// The question holds the work: the worker, let go while the question is open at its last window
// or just before its result would take its place, waits for the answer and puts nothing in place
// meanwhile. "Yes" then leaves the original and no file; "No" ends in the verified result.
TEST_F(ConversionTest, NothingMovesWhileTheStopQuestionIsOpen) {
  const int reports = CountReports(u"doom2_xbox", u"doom2_zodiac");
  for (bool in_place : {true, false}) {
    for (int point : {reports - 1, reports}) {
      for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(::testing::Message()
                     << (in_place ? "in place" : "new file") << ", report " << point << " of "
                     << reports << ", " << (answer == IDYES ? "yes" : "no"));
        Gate gate(point);
        ui_.messages.clear();
        Prepare(u"doom2_xbox", u"doom2_zodiac", in_place);
        StartPatch();
        ASSERT_TRUE(PumpUntil([&] { return gate.held(); }));
        ui_.WhileNextMessageOpen([&] {
          gate.Release();
          // Ample time for the rest of the work, had it gone on.
          Sleep(700);
          EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_xbox"));
          EXPECT_FALSE(std::filesystem::exists(work_ / "output.wad"));
        });
        ui_.AnswerMessage(answer);
        SendMessageW(window_, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(PumpUntil([] { return !ConversionRunning(); }));

        const size_t asked = in_place ? 1 : 0;
        const Path result = in_place ? input_ : work_ / "output.wad";
        if (answer == IDYES) {
          ASSERT_EQ(ui_.messages.size(), asked + 1);
          EXPECT_EQ(ui_.messages[asked].text, kStopQuestion);
          EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_xbox"));
          EXPECT_EQ(FilesIn(work_), (std::vector<std::string>{"input.wad"}));
        } else {
          ASSERT_EQ(ui_.messages.size(), asked + 2);
          EXPECT_EQ(ui_.messages[asked + 1].text, PatchedText(in_place ? Path() : result));
          EXPECT_EQ(ReadFileBytes(result), Bytes(u"doom2_zodiac"));
          std::filesystem::remove(work_ / "output.wad");
        }
        EXPECT_TRUE(FilesIn(scratch_.path() / "temp").empty());
        DestroyWindow(window_);
        window_ = nullptr;
        std::filesystem::remove(input_);
      }
    }
  }
}

// Once the result has taken its place there is nothing to stop: Escape asks nothing, and the
// report says what happened.
TEST_F(ConversionTest, AFinishedConversionIsNotOfferedToStop) {
  Prepare(u"doom2_v1666", u"doom2_v19", true);
  StartPatch();
  // The worker is done, but the window has not yet heard of it.
  MSG done = {};
  for (int i = 0; i < 2000 && !PeekMessageW(&done, window_, kConversionDoneMessage,
                                            kConversionDoneMessage, PM_NOREMOVE);
       ++i) {
    Sleep(10);
  }
  ASSERT_EQ(done.message, kConversionDoneMessage);
  SendMessageW(window_, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(PumpUntil([] { return !ConversionRunning(); }));
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text, L"IWAD patched successfully!");
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v19"));
}

TEST_F(ConversionTest, TheCloseBoxStopsAndThenCloses) {
  Gate gate(1);
  input_ = WriteSyntheticRelease(work_, u"doom2_xbox", "input.wad");
  ui_.ChooseFile(work_ / "output.wad");
  ui_.AnswerMessage(IDYES);  // stop
  bool was_held = false;
  INT_PTR result =
      RunModal(input_.c_str(),
               {[&](HWND window) {
                  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
                  std::vector<std::wstring> lines = ListTexts(list);
                  auto zodiac = std::find(lines.begin(), lines.end(), L"Doom 2 (Zodiac)");
                  ASSERT_NE(zodiac, lines.end());
                  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(zodiac - lines.begin()), 0);
                  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TARGET_LIST, LBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(list));
                  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_PATCH, BN_CLICKED), 0);
                },
                [&](HWND) {}, [&](HWND) {}, [&](HWND) {}, [&](HWND) {}, [&](HWND) {},
                [&](HWND window) {
                  was_held = gate.held();
                  // The dialog's own loop has run these ticks while the conversion waited.
                  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                },
                [&](HWND) { gate.Release(); }});
  EXPECT_TRUE(was_held);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, kStopQuestion);
  EXPECT_EQ(FilesIn(work_), (std::vector<std::string>{"input.wad"}));
  EXPECT_TRUE(FilesIn(scratch_.path() / "temp").empty());
  EXPECT_FALSE(ConversionRunning());
}

// A keyboard user: the focus is on Stop while the conversion runs, Enter asks, and the window
// then says it stopped and gives Patch! back.
TEST_F(ConversionTest, StopHasTheFocusAndEnterAsks) {
  Gate gate(1);
  input_ = WriteSyntheticRelease(work_, u"doom2_xbox", "input.wad");
  ui_.ChooseFile(work_ / "output.wad");
  ui_.AnswerMessage(IDYES);  // stop
  bool was_held = false;
  int focus = 0;
  std::wstring during, after, status;
  bool status_shown = false;
  auto idle = [](HWND) {};
  // The dialog's loop goes on meanwhile, as it would between steps.
  auto pump_until = [](HWND window, const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window, &message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
      Sleep(10);
    }
  };
  INT_PTR result =
      RunModal(input_.c_str(),
               {[&](HWND window) {
                  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
                  std::vector<std::wstring> lines = ListTexts(list);
                  auto zodiac = std::find(lines.begin(), lines.end(), L"Doom 2 (Zodiac)");
                  ASSERT_NE(zodiac, lines.end());
                  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(zodiac - lines.begin()), 0);
                  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TARGET_LIST, LBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(list));
                  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_PATCH, BN_CLICKED), 0);
                },
                idle, idle, idle, idle, idle,
                [&](HWND window) {
                  pump_until(window, [&] { return gate.held(); });
                  was_held = gate.held();
                  focus = GetDlgCtrlID(GetFocus());
                  during = ItemText(window, IDC_PATCH);
                  // Enter on the focused button, through the dialog's own loop.
                  PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
                  PostMessageW(GetFocus(), WM_KEYUP, VK_RETURN, 0);
                },
                [&](HWND) { gate.Release(); },
                [&](HWND window) {
                  pump_until(window, [] { return !ConversionRunning(); });
                  after = ItemText(window, IDC_PATCH);
                  status = ItemText(window, IDC_RUN_STATUS);
                  status_shown = Shown(window, IDC_RUN_STATUS);
                  PostMessageW(window, WM_CLOSE, 0, 0);
                }});
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(was_held);
  EXPECT_EQ(focus, IDC_PATCH);
  EXPECT_EQ(during, L"Stop");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, kStopQuestion);
  EXPECT_EQ(after, L"Patch!");
  EXPECT_EQ(status, kStoppedText);
  EXPECT_TRUE(status_shown);
  EXPECT_EQ(FilesIn(work_), (std::vector<std::string>{"input.wad"}));
  EXPECT_FALSE(ConversionRunning());
}

TEST_F(ConversionTest, TheWorkerNeverOutlivesTheWindow) {
  Gate gate(2);
  Prepare(u"doom2_xbox", u"doom2_zodiac", true);
  StartPatch();
  ASSERT_TRUE(PumpUntil([&] { return gate.held(); }));
  // Let the worker go a moment after the window starts going: destroying it waits for it.
  std::thread releaser([&] {
    Sleep(200);
    gate.Release();
  });
  DestroyWindow(window_);
  window_ = nullptr;
  releaser.join();
  EXPECT_FALSE(ConversionRunning());
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_xbox"));
  EXPECT_EQ(FilesIn(work_), (std::vector<std::string>{"input.wad"}));
  EXPECT_TRUE(FilesIn(scratch_.path() / "temp").empty());
}

void Age(const Path& file, int seconds) {
  HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time = {{now.dwLowDateTime, now.dwHighDateTime}};
  time.QuadPart -= static_cast<ULONGLONG>(seconds) * 10'000'000;
  FILETIME then = {time.LowPart, time.HighPart};
  SetFileTime(handle, nullptr, nullptr, &then);
  CloseHandle(handle);
}

TEST_F(ConversionTest, LeftoversOfAKilledRunGoTheNextTime) {
  Prepare(u"doom2_v1666", u"doom2_v19", false);
  const Path temp = scratch_.path() / "temp";
  WriteFileText(work_ / "Tarvelline-0123456789abcdef.tmp", "left by a killed run");
  WriteFileText(temp / "Tarvelline-fedcba9876543210.tmp", "left by a killed run");
  Age(work_ / "Tarvelline-0123456789abcdef.tmp", 3600);
  Age(temp / "Tarvelline-fedcba9876543210.tmp", 3600);
  // Young ones may be another run's; other names are not ours; one held open is in use.
  WriteFileText(work_ / "Tarvelline-00000000000000aa.tmp", "another run's, just made");
  WriteFileText(work_ / "Tarvelline-notes.txt", "the user's");
  WriteFileText(work_ / "Tarvelline-0000000000000bbb.tmp", "open elsewhere");
  Age(work_ / "Tarvelline-notes.txt", 3600);
  Age(work_ / "Tarvelline-0000000000000bbb.tmp", 3600);
  HANDLE held =
      CreateFileW((work_ / "Tarvelline-0000000000000bbb.tmp").c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Click(IDC_PATCH);
  CloseHandle(held);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, PatchedText(work_ / "output.wad"));
  std::vector<std::string> files = FilesIn(work_);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Tarvelline-00000000000000aa.tmp",
                                             "Tarvelline-0000000000000bbb.tmp",
                                             "Tarvelline-notes.txt", "input.wad", "output.wad"}));
  EXPECT_TRUE(FilesIn(temp).empty());
}

// An in-place swap is one move: ended just before it, the input never left its path. An earlier
// version's swap, ended between its two moves, left the original and the result under names that
// say what they are: the next conversion in that folder long after puts the original back, keeps
// the converted release and a killed run's intermediate one under such names, and tells the user.
TEST_F(ConversionTest, ASwapCutShortIsPutRightByTheNextConversion) {
  Prepare(u"doom2_v1666", u"doom2_v19", true);
  {
    FileFaultPlan plan;
    plan.op = FileOp::kSwap;
    plan.nth = 1;
    plan.cut_short = true;
    ScopedFileFaultPlan installed(&plan);
    Click(IDC_PATCH);
    EXPECT_TRUE(plan.hit);
  }
  EXPECT_EQ(FilesIn(work_), std::vector<std::string>{"input.wad"});
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));

  std::filesystem::rename(input_, work_ / "input.wad.tarvelline-backup");
  WriteSyntheticRelease(work_, u"doom2_v19", "input.wad.tarvelline-new");
  const Path temp = scratch_.path() / "temp";
  WriteFileBytes(temp / "Tarvelline-00000000000000cc.tmp", Bytes(u"doom2_v19"));
  for (const Path& file :
       {work_ / "input.wad.tarvelline-backup", work_ / "input.wad.tarvelline-new",
        temp / "Tarvelline-00000000000000cc.tmp"}) {
    Age(file, 3600);
  }

  ui_.messages.clear();
  const Path other = WriteSyntheticRelease(work_, u"doom2_xbox", "other.wad");
  Browse(other);
  ClickTarget(LineOf(u"Doom 2 retail v1.9"));
  SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_UNCHECKED, 0);
  ui_.ChooseFile(work_ / "v19.wad");
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text,
            L"A conversion that was cut short had left files behind:\n\"" + input_.wstring() +
                L"\" is back under its name (Doom 2 retail v1.666).\n\"" +
                (work_ / "input.wad.tarvelline-new").wstring() +
                L"\" holds Doom 2 retail v1.9; it keeps that name, as \"input.wad\" exists.\n\"" +
                (temp / "doom2_v19.tarvelline-kept.wad").wstring() +
                L"\" holds Doom 2 retail v1.9.");
  EXPECT_EQ(ui_.messages[0].caption, L"Tarvelline");
  EXPECT_EQ(ui_.messages[1].text, PatchedText(work_ / "v19.wad"));
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  EXPECT_EQ(ReadFileBytes(work_ / "input.wad.tarvelline-new"), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(temp / "doom2_v19.tarvelline-kept.wad"), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(work_ / "v19.wad"), Bytes(u"doom2_v19"));
}

// The window's in-place swap failing, or ended, at each of its steps: the path keeps the whole
// original, nothing is left beside it, and the user is told in words a player understands.
TEST_F(ConversionTest, AnInPlaceSwapFailingAtAnyStepKeepsTheOriginal) {
  struct Case {
    const char* name;
    FileOp op;
    bool cut_short;
    FileError error;
  };
  const Case cases[] = {
      {"flush", FileOp::kFlush, false, ERROR_DISK_FULL},
      {"rename", FileOp::kRename, false, ERROR_SHARING_VIOLATION},
      {"swap", FileOp::kSwap, false, ERROR_SHARING_VIOLATION},
      {"swap cut short", FileOp::kSwap, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Prepare(u"doom2_v1666", u"doom2_v19", true);
    FileFaultPlan plan;
    plan.op = c.op;
    plan.nth = 1;
    plan.error = c.error;
    plan.cut_short = c.cut_short;
    {
      ScopedFileFaultPlan installed(&plan);
      Click(IDC_PATCH);
    }
    EXPECT_TRUE(plan.hit);
    EXPECT_EQ(FilesIn(work_), std::vector<std::string>{"input.wad"});
    EXPECT_TRUE(FilesIn(scratch_.path() / "temp").empty());
    EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
    ASSERT_FALSE(ui_.messages.empty());
    const ShownMessage& shown = ui_.messages.back();
    EXPECT_EQ(shown.caption, L"Error");
    EXPECT_EQ(FirstLine(shown.text), L"An error occurred while replacing the file:");
    if (c.error == ERROR_SHARING_VIOLATION) {
      EXPECT_EQ(ReasonLines(shown.text),
                L"\"" + input_.wstring() +
                    L"\" is in use by another program (close the game or the launcher and try "
                    L"again).\r\n");
    }
    EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
    DestroyWindow(window_);
    window_ = nullptr;
    std::filesystem::remove(input_);
    ui_.messages.clear();
  }
}

// An earlier version's swap, cut short, left "x.wad" as its two pieces. Opening the file (or one
// of its pieces) puts it back first and says so; the window shows the file under its own name.
TEST_F(ConversionTest, OpeningAFileWhoseSwapWasCutShortPutsItBack) {
  enum class How { kCommandLine, kBrowse, kDrop };
  struct Case {
    const char* name;
    How how;
    const char* opened;       // the name opened, in the folder
    bool backup;              // whether "x.wad.tarvelline-backup" (Doom 2 v1.666) is there
    const wchar_t* release;   // what the window then shows
    const char* left_beside;  // the piece that stays as it is, or null
  };
  const Case cases[] = {
      {"argument", How::kCommandLine, "x.wad", true, L"Doom 2 retail v1.666",
       "x.wad.tarvelline-new"},
      {"argument is the backup", How::kCommandLine, "x.wad.tarvelline-backup", true,
       L"Doom 2 retail v1.666", "x.wad.tarvelline-new"},
      {"argument is the new file", How::kCommandLine, "x.wad.tarvelline-new", false,
       L"Doom 2 retail v1.9", nullptr},
      {"browse", How::kBrowse, "x.wad.tarvelline-backup", true, L"Doom 2 retail v1.666",
       "x.wad.tarvelline-new"},
      {"drop", How::kDrop, "x.wad", true, L"Doom 2 retail v1.666", "x.wad.tarvelline-new"},
  };
  const Path x = work_ / "x.wad";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.backup) WriteSyntheticRelease(work_, u"doom2_v1666", "x.wad.tarvelline-backup");
    WriteSyntheticRelease(work_, u"doom2_v19", "x.wad.tarvelline-new");
    const Path opened = work_ / c.opened;
    switch (c.how) {
      case How::kCommandLine:
        Open(opened.c_str());
        break;
      case How::kBrowse:
        Open();
        Browse(opened);
        break;
      case How::kDrop:
        Open();
        DropFiles({opened});
        break;
    }
    ASSERT_TRUE(IsWindow(window_)) << "the window ended";
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].caption, L"Tarvelline");
    EXPECT_EQ(ui_.messages[0].type, UINT{MB_ICONINFORMATION | MB_OK});
    std::wstring expected = L"A conversion that was cut short had left files behind:\n\"" +
                            x.wstring() + L"\" is back under its name (" + c.release + L").";
    if (c.left_beside) {
      expected += L"\n\"" + (work_ / c.left_beside).wstring() +
                  L"\" holds Doom 2 retail v1.9; it keeps that name, as \"x.wad\" exists.";
    }
    EXPECT_EQ(ui_.messages[0].text, expected);
    EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), x.wstring());
    EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), c.release);
    EXPECT_EQ(ReadFileBytes(x), Bytes(c.backup ? u"doom2_v1666" : u"doom2_v19"));
    if (c.left_beside) {
      EXPECT_EQ(ReadFileBytes(work_ / c.left_beside), Bytes(u"doom2_v19"));
    }
    std::vector<std::string> files = FilesIn(work_);
    std::sort(files.begin(), files.end());
    std::vector<std::string> expected_files = {"x.wad"};
    if (c.left_beside) expected_files.push_back(c.left_beside);
    EXPECT_EQ(files, expected_files);
    DestroyWindow(window_);
    window_ = nullptr;
    for (const auto& entry : std::filesystem::directory_iterator(work_)) {
      std::filesystem::remove(entry.path());
    }
    ui_.messages.clear();
  }
}

// With no piece of a swap beside the file, opening it runs no clean-up: an old temporary file
// in its folder stays (the next conversion takes it), and nothing is said.
TEST_F(ConversionTest, OpeningAFileWithNothingToPutRightCleansNothing) {
  const Path input = WriteSyntheticRelease(work_, u"doom2_v1666", "input.wad");
  WriteSyntheticRelease(work_, u"doom2_v19", "Tarvelline-00000000000000dd.tmp");
  Age(work_ / "Tarvelline-00000000000000dd.tmp", 3600);
  // Another file's piece is that file's to put right.
  WriteSyntheticRelease(work_, u"doom2_v19", "other.wad.tarvelline-new");
  Open(input.c_str());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
  std::vector<std::string> files = FilesIn(work_);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Tarvelline-00000000000000dd.tmp", "input.wad",
                                             "other.wad.tarvelline-new"}));
}

}  // namespace
}  // namespace tvl::testing
