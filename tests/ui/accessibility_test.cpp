// Names for screen readers: what the dialogs ask the system's accessibility service to announce,
// read back from a recording service (Wine's keeps no annotations), and from the system's own
// where it does.
#include "ui/accessibility.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <oleacc.h>

#include <map>
#include <string>

#include "app/main_window.h"
#include "catalogue/catalogue.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "resources/supported_dialog_ids.h"
#include "resources/zip_entry_dialog_ids.h"
#include "tests/app/dialog_template.h"
#include "ui/handle.h"
#include "ui/ole_session.h"
#include "ui/supported_dialog.h"
#include "ui/zip_entry_dialog.h"

namespace tvl::testing {
namespace {

// Keeps the names it is given for windows' client objects, as oleacc's service would, and counts
// its references. Any other kind of annotation is a fault here.
class RecordingServices final : public IAccPropServices {
 public:
  std::map<HWND, std::wstring> names;
  ULONG references = 0;
  bool refuse = false;
  bool unexpected = false;

  std::wstring NameOf(HWND window) const {
    auto found = names.find(window);
    return found == names.end() ? L"(none)" : found->second;
  }

  HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IAccPropServices) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++references; }
  ULONG WINAPI Release() override { return --references; }

  HRESULT WINAPI SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property,
                                LPCWSTR text) override {
    if (refuse) return E_FAIL;
    unexpected |= !IsClientName(object, child, property);
    names[window] = text;
    return S_OK;
  }
  HRESULT WINAPI ClearHwndProps(HWND window, DWORD object, DWORD child,
                                const MSAAPROPID* properties, int count) override {
    unexpected |= count != 1 || !IsClientName(object, child, properties[0]);
    names.erase(window);
    return S_OK;
  }
  static bool IsClientName(DWORD object, DWORD child, const MSAAPROPID& property) {
    return object == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF &&
           property == PROPID_ACC_NAME;
  }

  HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                               AnnoScope) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
  HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                   AnnoScope) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
  HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                    AnnoScope) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
    return E_NOTIMPL;
  }
};

RecordingServices* g_services = nullptr;

IAccPropServices* HandOutRecorder() {
  if (!g_services) return nullptr;
  g_services->AddRef();
  return g_services;
}

class AccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_services = &services_;
    AccessibilityServices() = HandOutRecorder;
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    EXPECT_FALSE(services_.unexpected);
    AccessibilityServices() = saved_source_;
    g_services = nullptr;
  }

  HWND MakeList() {
    window_ = CreateWindowExW(0, L"ListBox", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window_, nullptr);
    return window_;
  }

  RecordingServices services_;
  AccPropServicesSource saved_source_ = AccessibilityServices();
  HWND window_ = nullptr;
};

TEST_F(AccessibilityTest, NameLastsAsLongAsTheControl) {
  HWND list = MakeList();
  ASSERT_TRUE(SetAccessibleName(list, L"Releases"));
  EXPECT_EQ(services_.NameOf(list), L"Releases");
  // Held by the control, for clearing when it goes.
  EXPECT_EQ(services_.references, 1u);

  // Named again: the same service, the new name, one clearing still to come.
  ASSERT_TRUE(SetAccessibleName(list, L"Games"));
  EXPECT_EQ(services_.NameOf(list), L"Games");
  EXPECT_EQ(services_.references, 1u);

  DestroyWindow(list);
  window_ = nullptr;
  EXPECT_TRUE(services_.names.empty());
  EXPECT_EQ(services_.references, 0u);
}

TEST_F(AccessibilityTest, NoServiceOrARefusalLeavesTheControlAsItWas) {
  HWND list = MakeList();
  LONG_PTR proc = GetWindowLongPtrW(list, GWLP_WNDPROC);
  services_.refuse = true;
  EXPECT_FALSE(SetAccessibleName(list, L"Releases"));
  EXPECT_EQ(services_.references, 0u);
  EXPECT_EQ(GetWindowLongPtrW(list, GWLP_WNDPROC), proc);

  g_services = nullptr;
  EXPECT_FALSE(SetAccessibleName(list, L"Releases"));
  EXPECT_FALSE(SetAccessibleName(nullptr, L"Releases"));
  EXPECT_EQ(GetWindowLongPtrW(list, GWLP_WNDPROC), proc);
}

TEST_F(AccessibilityTest, MainWindowNamesItsTargetListAfterTheListsLabel) {
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW),
                               nullptr, MainDialogProc, 0);
  ASSERT_NE(window_, nullptr);
  std::wstring name = services_.NameOf(GetDlgItem(window_, IDC_TARGET_LIST));
  EXPECT_EQ(name, L"Select the version you wish to patch it to:");

  // The label it names the list after is the one just above the list.
  DialogTemplate main = LoadDialogTemplate(IDD_MAIN_WINDOW);
  const TemplateItem* list = nullptr;
  const TemplateItem* label = nullptr;
  for (const TemplateItem& item : main.items) {
    if (item.id == IDC_TARGET_LIST) list = &item;
    if (item.text == name) label = &item;
  }
  ASSERT_NE(list, nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->class_name, kStaticClass);
  EXPECT_EQ(label->x, list->x);
  EXPECT_EQ(label->y + label->cy, list->y - 1);
  // Only the list needed a name.
  EXPECT_EQ(services_.names.size(), 1u);
}

TEST_F(AccessibilityTest, SupportedIwadsNamesItsFilterAndList) {
  InitIwadCatalogue();
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SUPPORTED_IWADS),
                               nullptr, SupportedIwadsDialogProc, 0);
  ASSERT_NE(window_, nullptr);
  EXPECT_EQ(services_.NameOf(GetDlgItem(window_, IDC_SUPPORTED_FILTER)), L"Game");
  EXPECT_EQ(services_.NameOf(GetDlgItem(window_, IDC_SUPPORTED_LIST)), L"Releases");
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_TRUE(services_.names.empty());
  EXPECT_EQ(services_.references, 0u);
}

TEST_F(AccessibilityTest, ChoiceOfAWadFileNamesItsListByTheArchive) {
  ZipEntryChoice choice{L"iwads.zip", {L"doom2.wad", L"tnt.wad"}};
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ZIP_ENTRY), nullptr,
                               ZipEntryDialogProc, reinterpret_cast<LPARAM>(&choice));
  ASSERT_NE(window_, nullptr);
  EXPECT_EQ(services_.NameOf(GetDlgItem(window_, IDC_ZIP_ENTRY_LIST)), L"WAD files in iwads.zip");
  EXPECT_EQ(services_.names.size(), 1u);
  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_TRUE(services_.names.empty());
}

// The system's own service, read back as a screen reader reads the name.
TEST_F(AccessibilityTest, SystemServiceAnnouncesTheName) {
  AccessibilityServices() = saved_source_;
  OleSession ole;
  HWND list = MakeList();
  if (!SetAccessibleName(list, L"Releases")) {
    GTEST_SKIP() << "the system's accessibility service keeps no names here";
  }
  ComRef<IAccessible> accessible;
  ASSERT_HRESULT_SUCCEEDED(
      AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 reinterpret_cast<void**>(accessible.Receive())));
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  ASSERT_HRESULT_SUCCEEDED(accessible->get_accName(self, &name));
  EXPECT_STREQ(name, L"Releases");
  SysFreeString(name);
}

}  // namespace
}  // namespace tvl::testing
