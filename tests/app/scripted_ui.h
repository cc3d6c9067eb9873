// Scripted stand-ins for the program's UI calls (app/ui_calls.h): message boxes answer with
// queued buttons, the file dialogs with queued paths, the choice of an archive's WAD file with
// queued indices, and everything shown is recorded.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ui_calls.h"
#include "platform/file.h"

namespace tvl::testing {

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT type = 0;
  HWND owner = nullptr;
  bool owner_visible = false;
};

// Installs itself as the UI calls for its lifetime. One at a time.
class ScriptedUi {
 public:
  ScriptedUi();
  ~ScriptedUi();
  ScriptedUi(const ScriptedUi&) = delete;
  ScriptedUi& operator=(const ScriptedUi&) = delete;

  // Answers, used in order. A message box without a queued answer returns IDOK; a file dialog
  // without one is cancelled.
  void AnswerMessage(int button) { message_answers_.push_back(button); }
  void ChooseFile(const Path& path) { file_answers_.push_back(path); }
  void CancelFileDialog() { file_answers_.push_back(std::nullopt); }
  // The choice of an archive's WAD file answers with the index, or -1 for Cancel; without a
  // queued answer it is cancelled.
  void ChooseEntry(int index) { entry_answers_.push_back(index); }
  // Runs `action` while the next message box is open, before it is answered.
  void WhileNextMessageOpen(std::function<void()> action) { while_open_ = std::move(action); }

  // Temporary files go to this folder instead of the user's.
  void SetTempFolder(const Path& folder) { temp_folder_ = folder; }
  // Every temporary file after this fails with `error`.
  void FailTempFiles(FileError error) { temp_error_ = error; }

  std::vector<ShownMessage> messages;
  std::vector<FileDialogRequest> open_dialogs;
  std::vector<FileDialogRequest> save_dialogs;
  struct EntryChoice {
    HWND owner = nullptr;
    std::wstring archive_name;
    std::vector<std::wstring> entries;
  };
  std::vector<EntryChoice> entry_choices;
  std::vector<Path> temp_files;  // every temporary file made

 private:
  static int WINAPI ShowMessage(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
  static std::optional<Path> AskForFile(const FileDialogRequest& request);
  static int ChooseScriptedEntry(HWND owner, const std::wstring& archive_name,
                                 const std::vector<std::wstring>& entries);
  static Path ScriptedTempFolder();
  static Path ScriptedMakeTempFile(const Path& folder, FileError* error);

  std::deque<int> message_answers_;
  std::function<void()> while_open_;
  std::deque<std::optional<Path>> file_answers_;
  std::deque<int> entry_answers_;
  Path temp_folder_;
  FileError temp_error_ = 0;
};

}  // namespace tvl::testing
