#include "setup/extraction/ExtractCompletion.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <stdexcept>
#include <system_error>

#include "core/PathRules.h"
#include "kestlib/ErrorText.h"
#include "kestlib/Holders.h"
#include "kestlib/Log.h"
#include "kestlib/MessageBox.h"
#include "kestlib/ui/BigMessageBox.h"

namespace {

constexpr int kOk = 1;
constexpr DWORD kUrlChars = 2084;
// PKEY_ItemNameDisplay, which the MinGW headers lack.
constexpr PROPERTYKEY kItemNameDisplay = {{0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}},
                                          10};

using UniquePidl = kestlib::UniqueCoTaskMem<ITEMIDLIST>;

std::string Narrow(const std::wstring& text) {
  // The messages are for the error box only; ASCII keeps them readable.
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

[[noreturn]] void Fail(HRESULT code, const std::wstring& message) {
  throw std::system_error(code, std::system_category(), Narrow(message));
}

std::wstring DisplayName(const std::wstring& folder) {
  kestlib::ComPtr<IShellItem2> item;
  if (FAILED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem2, item.put_void())))
    throw std::runtime_error("Could not get display name from path");
  wchar_t* name = nullptr;
  // Where the property is missing (Wine), the shell's plain display name
  // serves; an empty name would make a link nobody can see.
  if (FAILED(item->GetString(kItemNameDisplay, &name)) || !name || !*name) {
    CoTaskMemFree(name);
    name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_NORMALDISPLAY, &name))) name = nullptr;
  }
  const kestlib::UniqueCoTaskMem<wchar_t> owned(name);
  if (!name || !*name) throw std::runtime_error("Could not get display name from path");
  return name;
}

std::wstring FileUrl(const std::wstring& folder) {
  wchar_t url[kUrlChars] = {};
  DWORD length = kUrlChars;
  if (FAILED(UrlCreateFromPathW(folder.c_str(), url, &length, 0)))
    throw std::runtime_error("Could not create URL from path");
  return url;
}

// A link to the folder, or its plain path when the shell cannot name it.
std::wstring FolderContent(const std::wstring& folder) {
  try {
    return L"<LINK " + DisplayName(folder) + L"|" + FileUrl(folder) + L">";
  } catch (const std::exception&) {
    return folder;
  }
}

UniquePidl ParsePath(const std::wstring& path, const wchar_t* failure) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  const HRESULT parsed = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
  if (FAILED(parsed)) Fail(parsed, failure + path + L"\"");
  return UniquePidl(pidl);
}

}  // namespace

void OpenExtractFolder(const ExtractCompletion& completion, const kestlib::IStringResources& strings) {
  try {
    const UniquePidl folder = ParsePath(completion.folder, L"Could not convert extract folder to PIDL:\n\"");
    std::vector<UniquePidl> owned;
    std::vector<PCUITEMID_CHILD> children;
    for (const std::wstring& name : TopLevelItems(completion.items)) {
      owned.push_back(ParsePath(CombinePath(completion.folder, name), L"Could not convert path to PIDL:\n\""));
      // The item's last id is its id relative to the folder.
      children.push_back(ILFindLastID(owned.back().get()));
    }
    const HRESULT opened = SHOpenFolderAndSelectItems(folder.get(), static_cast<UINT>(children.size()),
                                                      children.empty() ? nullptr : children.data(), 0);
    if (FAILED(opened)) Fail(opened, L"Could not open folder:\n\"" + completion.folder + L"\"");
  } catch (const std::exception&) {
    const std::wstring report = kestlib::ExceptionDescription(0);
    kestlib::ShowMessageBox(report.c_str(), MB_ICONERROR, 0, completion.uiLevel, strings);
  }
}

void ShowExtractCompletion(const ExtractCompletion& completion, const kestlib::IStringResources& strings) {
  const std::wstring instruction = strings.GetText(L"ExtractSuccess");
  kestlib::WriteLog(kestlib::Severity::Info, instruction + L" " + completion.folder);
  if (!kestlib::MessageBoxShown(completion.uiLevel, MB_ICONINFORMATION)) return;
  const std::wstring content = FolderContent(completion.folder);
  kestlib::CBigMessageBox box(completion.owner, completion.productName.c_str(), instruction.c_str(), content.c_str(),
                              kestlib::IconInformation, kestlib::CBigMessageBox::FlashOnShow);
  box.AddButton(kOk, strings.GetText(L"OK"), false);
  box.SetLinkHandler([&](const std::wstring&, const std::wstring&) {
    OpenExtractFolder(completion, strings);
    return true;
  });
  box.Run();
}
