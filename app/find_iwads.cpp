#include "app/find_iwads.h"

#include "app/ui_calls.h"

namespace tvl {

FindIwadsSetup MainWindowFindIwadsSetup() {
  FindIwadsSetup setup;
  setup.roots = DefaultScanRoots(HostPlaceLookup());
  // Read here, on the window's thread: the identification runs on the dialog's worker, and makes
  // its temporary files with MakeTempFile, which is safe there.
  const Path temp_folder = Ui().temp_folder();
  setup.identify = [temp_folder](const Path& file, const ScanRoot& root) {
    return IdentifyFoundFile(file, root, temp_folder, {});
  };
  setup.choose_folder = [](HWND owner) {
    FileDialogRequest request;
    request.owner = owner;
    request.title = L"Search a folder for IWADs";
    request.pick_folder = true;
    return Ui().file_dialog(request);
  };
  return setup;
}

std::optional<FoundIwad> AskForFoundIwad(HWND window) {
  return ShowFindIwadsDialog(window, MainWindowFindIwadsSetup());
}

}  // namespace tvl
