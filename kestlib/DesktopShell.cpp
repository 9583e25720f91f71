#include "kestlib/DesktopShell.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>
#include <system_error>

#include <boost/exception/info.hpp>
#include <boost/throw_exception.hpp>

#include "kestlib/Holders.h"
#include "kestlib/io/SystemFile.h"

namespace kestlib {
namespace {

[[noreturn]] void Raise(const std::error_code& code, const char* text, const std::wstring& path,
                        const boost::source_location& where) {
  boost::throw_exception(boost::enable_error_info(std::system_error(code, text))
                             << tag_errinfo_code(code) << tag_errinfo_path(path),
                         where);
}

// A failed COM call: its result in the system category.
void Check(HRESULT hr, const char* text, const std::wstring& path, const boost::source_location& where) {
  if (FAILED(hr)) Raise(std::error_code(hr, std::system_category()), text, path, where);
}

// A class or interface id in its braced form, as narrow text.
std::string IdText(REFIID id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return std::string(text, text + wcslen(text));
}

// A shell object without an interface that it should have.
void CheckInterface(HRESULT hr, const char* text, const std::wstring& path, const boost::source_location& where) {
  if (FAILED(hr)) Raise(std::make_error_code(std::errc::not_supported), text, path, where);
}

// The dispatch object of the desktop window's folder view; the shell's
// automation object hangs below it.
ComPtr<IShellFolderViewDual> DesktopFolderView(const std::wstring& file) {
  ComPtr<IShellWindows> windows;
  Check(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.put_void()),
        "Could not create IShellWindows object", file, BOOST_CURRENT_LOCATION);

  UniqueVariant location;
  location.get().vt = VT_I4;
  location.get().lVal = CSIDL_DESKTOP;
  UniqueVariant root;
  long window = 0;
  ComPtr<IDispatch> desktop;
  HRESULT hr = windows->FindWindowSW(&location.get(), &root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                     desktop.put());
  // S_FALSE: the list has no desktop window.
  if (hr == S_FALSE || !desktop) hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  Check(hr, "Could not find desktop shell window", file, BOOST_CURRENT_LOCATION);

  ComPtr<IServiceProvider> services;
  CheckInterface(desktop->QueryInterface(IID_IServiceProvider, services.put_void()),
                 "Could not query interface IServiceProvider", file, BOOST_CURRENT_LOCATION);
  ComPtr<IShellBrowser> browser;
  Check(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void()),
        "Could not query service IShellBrowser", file, BOOST_CURRENT_LOCATION);
  ComPtr<IShellView> view;
  Check(browser->QueryActiveShellView(view.put()), "Could not query active IShellView", file, BOOST_CURRENT_LOCATION);
  // Used only through the interface that the view itself confirms.
  ComPtr<IShellView> shellView;
  Check(view->QueryInterface(IID_IShellView, shellView.put_void()),
        ("Could not query interface: " + IdText(IID_IShellView)).c_str(), file, BOOST_CURRENT_LOCATION);

  ComPtr<IDispatch> background;
  Check(shellView->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void()),
        "Could not get item object SVGIO_BACKGROUND from desktop folder view", file, BOOST_CURRENT_LOCATION);
  ComPtr<IShellFolderViewDual> folderView;
  Check(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void()),
        ("Could not query interface from desktop folder view: " + IdText(IID_IShellFolderViewDual)).c_str(), file,
        BOOST_CURRENT_LOCATION);
  return folderView;
}

// The desktop shell's automation object as the interface Dispatch.
template <typename Dispatch>
ComPtr<Dispatch> DesktopShellDispatch(const std::wstring& file, REFIID iid, const char* missingText) {
  const ComPtr<IShellFolderViewDual> folderView = DesktopFolderView(file);
  ComPtr<IDispatch> application;
  Check(folderView->get_Application(application.put()), "Could not get application from IShellFolderViewDual", file,
        BOOST_CURRENT_LOCATION);
  ComPtr<Dispatch> shell;
  CheckInterface(application->QueryInterface(iid, shell.put_void()), missingText, file, BOOST_CURRENT_LOCATION);
  return shell;
}

// A VARIANT string owning its copy of text.
void SetString(UniqueVariant& variant, const std::wstring& text, const std::wstring& file) {
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!copy) Check(E_OUTOFMEMORY, "Could not allocate a string", file, BOOST_CURRENT_LOCATION);
  variant.get().vt = VT_BSTR;
  variant.get().bstrVal = copy;
}

// An optional argument: the text, or the automation mark for "not given".
void SetOptional(UniqueVariant& variant, const std::optional<std::wstring>& text, const std::wstring& file) {
  if (text) return SetString(variant, *text, file);
  variant.get().vt = VT_ERROR;
  variant.get().scode = DISP_E_PARAMNOTFOUND;
}

void OpenFolder(const std::wstring& folder) {
  const ComPtr<IShellDispatch> shell =
      DesktopShellDispatch<IShellDispatch>(folder, IID_IShellDispatch, "Could not query interface IShellDispatch");
  UniqueVariant target;
  SetString(target, folder, folder);
  AllowSetForegroundWindow(ASFW_ANY);
  Check(shell->Open(target.get()), "IShellDispatch::ShellExecute failed", folder, BOOST_CURRENT_LOCATION);
}

}  // namespace

void ShellExecuteFromDesktop(const std::wstring& file, const std::optional<std::wstring>& arguments,
                             const std::optional<std::wstring>& folder, const std::optional<std::wstring>& verb,
                             int show, DesktopExecuteOptions options) {
  if (file.empty())
    Raise(std::make_error_code(std::errc::invalid_argument), "The pszFile parameter must not be nullptr", file,
          BOOST_CURRENT_LOCATION);
  if (file.back() == L'\\') return OpenFolder(file);

  const ComPtr<IShellDispatch2> shell =
      DesktopShellDispatch<IShellDispatch2>(file, IID_IShellDispatch2, "Could not query interface IShellDispatch2");
  UniqueVariant target;
  SetString(target, file, file);
  UniqueVariant argumentsValue, folderValue, verbValue, showValue;
  SetOptional(argumentsValue, arguments, file);
  SetOptional(folderValue, folder, file);
  SetOptional(verbValue, verb, file);
  showValue.get().vt = VT_I4;
  showValue.get().lVal = show;
  if ((static_cast<std::uint32_t>(options) & static_cast<std::uint32_t>(DesktopExecuteOptions::NoForeground)) == 0)
    AllowSetForegroundWindow(ASFW_ANY);
  Check(shell->ShellExecute(target.get().bstrVal, argumentsValue.get(), folderValue.get(), verbValue.get(),
                            showValue.get()),
        "IShellDispatch2::ShellExecute failed", file, BOOST_CURRENT_LOCATION);
}

std::wstring PathFromUrl(const std::wstring& url) {
  UniqueLocal<wchar_t> path;
  Check(PathCreateFromUrlAlloc(url.c_str(), path.put(), 0), "Could not create path from URL", url,
        BOOST_CURRENT_LOCATION);
  return path.get();
}

}  // namespace kestlib
