#include "ui/find_iwads_dialog.h"

#include <commctrl.h>

#include <atomic>
#include <cwchar>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "catalogue/catalogue.h"
#include "platform/wide_text.h"
#include "resources/find_iwads_dialog_ids.h"
#include "scan/game_files.h"
#include "ui/accessibility.h"

namespace tvl {
namespace {

constexpr wchar_t kListName[] = L"Files found";
constexpr wchar_t kUnknownTitle[] = L"unknown";

std::wstring WideOf(std::string_view utf8) {
  return Path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size())).wstring();
}

// The dialog's state, shared with its worker. The worker only ever posts messages to the dialog;
// what it hands over passes under `lock`.
struct FindIwadsSession {
  explicit FindIwadsSession(FindIwadsSetup given) : setup(std::move(given)) {}
  ~FindIwadsSession() { StopAndJoin(); }

  void StopAndJoin() {
    stop = true;
    if (worker.joinable()) worker.join();
  }

  FindIwadsSetup setup;
  HWND dialog = nullptr;
  std::optional<FoundIwad> chosen;

  std::thread worker;
  std::mutex lock;
  std::deque<ScanRoot> pending;    // roots the worker has yet to search
  std::vector<FoundIwad> arrived;  // rows found, not yet listed
  bool running = false;            // the worker is searching or about to
  std::atomic<bool> stop{false};
  std::atomic<size_t> folders_searched{0};
  // One message of each kind in the queue at a time, however fast the search goes.
  std::atomic<bool> progress_posted{false};
  std::atomic<bool> rows_posted{false};

  // The dialog's thread only.
  std::vector<FoundIwad> rows;   // in list order
  std::set<std::string> listed;  // their locations: a file found again is listed once
  bool stopped = false;
};

FindIwadsSession* SessionOf(HWND dialog) {
  return reinterpret_cast<FindIwadsSession*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The search ends at the file at hand as the dialog is told to close, not when it is gone.
void Close(HWND dialog, FindIwadsSession* session, INT_PTR result) {
  if (session) session->stop = true;
  EndDialog(dialog, result);
}

void SearchOnWorker(FindIwadsSession* session) {
  size_t folders_before = 0;
  for (;;) {
    std::vector<ScanRoot> roots;
    {
      std::lock_guard<std::mutex> hold(session->lock);
      if (session->pending.empty() || session->stop) {
        session->pending.clear();
        session->running = false;
        break;
      }
      roots.assign(session->pending.begin(), session->pending.end());
      session->pending.clear();
    }
    GameFileEvents events;
    events.found = [session](const Path& file, const ScanRoot& root) {
      std::vector<FoundIwad> rows = session->setup.identify(file, root);
      if (rows.empty()) return;
      {
        std::lock_guard<std::mutex> hold(session->lock);
        for (FoundIwad& row : rows) session->arrived.push_back(std::move(row));
      }
      if (!session->rows_posted.exchange(true)) {
        PostMessageW(session->dialog, kFindIwadsRowsMessage, 0, 0);
      }
    };
    events.go_on = [session, folders_before](const GameFileSearch& search) {
      session->folders_searched = folders_before + search.folders_searched;
      if (!session->progress_posted.exchange(true)) {
        PostMessageW(session->dialog, kFindIwadsProgressMessage, 0, 0);
      }
      return !session->stop;
    };
    folders_before += FindGameFiles(roots, session->setup.list, events).folders_searched;
  }
  PostMessageW(session->dialog, kFindIwadsDoneMessage, 0, 0);
}

bool Running(FindIwadsSession* session) {
  std::lock_guard<std::mutex> hold(session->lock);
  return session->running;
}

void ShowStatus(HWND dialog, FindIwadsSession* session) {
  const bool running = Running(session);
  const wchar_t* state = running            ? L"Searching..."
                         : session->stopped ? L"Search stopped:"
                                            : L"Search finished:";
  const size_t folders = session->folders_searched.load();
  const size_t files = session->rows.size();
  wchar_t text[160] = {};
  std::swprintf(text, std::size(text), L"%ls %zu %ls searched, %zu %ls found", state, folders,
                folders == 1 ? L"folder" : L"folders", files, files == 1 ? L"file" : L"files");
  SetDlgItemTextW(dialog, IDC_FIND_IWADS_STATUS, text);

  HWND stop = GetDlgItem(dialog, IDC_FIND_IWADS_STOP);
  if (!running && GetFocus() == stop) {
    // Disabling the control with the keyboard would leave the keyboard nowhere.
    SendMessageW(dialog, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_FIND_IWADS_LIST)), TRUE);
  }
  EnableWindow(stop, running);
}

// Searches `roots` too: after the search under way, or in a new one.
void Search(HWND dialog, FindIwadsSession* session, const std::vector<ScanRoot>& roots) {
  {
    std::lock_guard<std::mutex> hold(session->lock);
    if (session->running && !session->stop) {
      session->pending.insert(session->pending.end(), roots.begin(), roots.end());
      return;
    }
  }
  // The previous worker has ended or is ending at the next file: the new search starts after it.
  if (session->worker.joinable()) session->worker.join();
  session->stop = false;
  session->stopped = false;
  session->running = true;
  session->pending.assign(roots.begin(), roots.end());
  session->worker = std::thread(SearchOnWorker, session);
  ShowStatus(dialog, session);
}

std::wstring TitleOf(const FoundIwad& found) {
  return found.release >= 0 ? AsWide(GetIwad(found.release).title) : kUnknownTitle;
}

void SetCell(HWND list, int item, int column, const std::wstring& text) {
  LVITEMW cell = {};
  cell.iSubItem = column;
  cell.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

void ListArrivedRows(HWND dialog, FindIwadsSession* session) {
  session->rows_posted = false;
  std::vector<FoundIwad> arrived;
  {
    std::lock_guard<std::mutex> hold(session->lock);
    arrived.swap(session->arrived);
  }
  HWND list = GetDlgItem(dialog, IDC_FIND_IWADS_LIST);
  for (FoundIwad& found : arrived) {
    const std::string location = FoundIwadLocation(found);
    if (!session->listed.insert(location).second) continue;
    const std::wstring title = TitleOf(found);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(session->rows.size());
    item.pszText = const_cast<wchar_t*>(title.c_str());
    item.lParam = static_cast<LPARAM>(session->rows.size());
    const int line =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (line < 0) continue;
    SetCell(list, line, 1, WideOf(location));
    SetCell(list, line, 2, WideOf(RuleDisplayName(found.rule)));
    session->rows.push_back(std::move(found));
  }
  // The first file found is selected, so Enter alone opens it.
  if (!session->rows.empty() &&
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) < 0) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  }
  ShowStatus(dialog, session);
}

int SelectedLine(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, IDC_FIND_IWADS_LIST, LVM_GETNEXTITEM,
                                              static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void UpdateOpenButton(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK), SelectedLine(dialog) >= 0);
}

// Open, Enter or a double click: the selected file, if there is one.
void Open(HWND dialog, FindIwadsSession* session) {
  const int line = SelectedLine(dialog);
  if (line < 0) return;
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = line;
  if (!SendDlgItemMessageW(dialog, IDC_FIND_IWADS_LIST, LVM_GETITEMW, 0,
                           reinterpret_cast<LPARAM>(&item)) ||
      item.lParam < 0 || static_cast<size_t>(item.lParam) >= session->rows.size()) {
    return;
  }
  session->chosen = session->rows[static_cast<size_t>(item.lParam)];
  Close(dialog, session, IDOK);
}

void AddFolder(HWND dialog, FindIwadsSession* session) {
  if (!session->setup.choose_folder) return;
  std::optional<Path> folder = session->setup.choose_folder(dialog);
  if (!folder) return;
  Search(dialog, session, {{*folder, std::string(kChosenFolderRule)}});
}

void AddColumns(HWND list) {
  // Long paths are cut short in their column; the whole shows where the mouse rests.
  const LPARAM styles = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  RECT room = {};
  GetClientRect(list, &room);
  const int width = room.right - GetSystemMetrics(SM_CXVSCROLL);
  struct Column {
    const wchar_t* heading;
    int percent;
  };
  const Column columns[] = {{L"Release", 30}, {L"Where it is", 50}, {L"Found in", 20}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].heading);
    column.cx = width * columns[i].percent / 100;
    column.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

void OnInitDialog(HWND dialog, FindIwadsSession* session) {
  if (!session) return;
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(session));
  session->dialog = dialog;
  HWND list = GetDlgItem(dialog, IDC_FIND_IWADS_LIST);
  AddColumns(list);
  SetAccessibleName(list, kListName);
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  Search(dialog, session, session->setup.roots);
}

}  // namespace

std::optional<FoundIwad> ShowFindIwadsDialog(HWND owner, FindIwadsSetup setup) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  FindIwadsSession session(std::move(setup));
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FIND_IWADS), owner,
                  FindIwadsDialogProc, reinterpret_cast<LPARAM>(&session));
  session.StopAndJoin();
  return std::move(session.chosen);
}

INT_PTR CALLBACK FindIwadsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  FindIwadsSession* session = SessionOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, reinterpret_cast<FindIwadsSession*>(lparam));
      // The list has the keyboard from the start.
      return TRUE;

    case WM_COMMAND:
      if (!session) return FALSE;
      switch (LOWORD(wparam)) {
        case IDOK:
          Open(dialog, session);
          break;
        case IDCANCEL:
          Close(dialog, session, IDCANCEL);
          break;
        case IDC_FIND_IWADS_STOP:
          session->stop = true;
          break;
        case IDC_FIND_IWADS_ADD_FOLDER:
          AddFolder(dialog, session);
          break;
        default:
          break;
      }
      return TRUE;

    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      if (!session || header->idFrom != IDC_FIND_IWADS_LIST) return FALSE;
      if (header->code == LVN_ITEMCHANGED) UpdateOpenButton(dialog);
      if (header->code == NM_DBLCLK &&
          reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem >= 0) {
        Open(dialog, session);
      }
      return TRUE;
    }

    case kFindIwadsProgressMessage:
      if (!session) return FALSE;
      session->progress_posted = false;
      ShowStatus(dialog, session);
      return TRUE;

    case kFindIwadsRowsMessage:
      if (session) ListArrivedRows(dialog, session);
      return TRUE;

    case kFindIwadsDoneMessage:
      if (!session) return FALSE;
      // Rows posted before the end are listed before the counts are final.
      ListArrivedRows(dialog, session);
      if (!Running(session)) session->stopped = session->stop;
      ShowStatus(dialog, session);
      return TRUE;

    case WM_CLOSE:
      Close(dialog, session, IDCANCEL);
      return TRUE;

    case WM_DESTROY:
      // The worker never outlives the dialog it posts to.
      if (session) session->StopAndJoin();
      return FALSE;

    default:
      return FALSE;
  }
}

}  // namespace tvl
