#include "kestlib/ui/FolderPicker.h"

#include <shobjidl.h>

#include "kestlib/Holders.h"

namespace kestlib {

std::wstring PickFolder(HWND owner, const std::wstring& initialFolder, const std::wstring& title) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              dialog.put_void())))
    return {};
  FILEOPENDIALOGOPTIONS options = 0;
  if (FAILED(dialog->GetOptions(&options)) ||
      FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_DEFAULTNOMINIMODE)))
    return {};
  if (!title.empty()) dialog->SetTitle(title.c_str());
  // Without a start folder the dialog opens in its default place.
  ComPtr<IShellItem> start;
  if (!initialFolder.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(initialFolder.c_str(), nullptr, IID_IShellItem, start.put_void())))
    dialog->SetFolder(start.get());
  if (FAILED(dialog->Show(owner))) return {};
  ComPtr<IShellItem> result;
  wchar_t* path = nullptr;
  if (FAILED(dialog->GetResult(result.put())) || FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)))
    return {};
  const UniqueCoTaskMem<wchar_t> owned(path);
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

}  // namespace kestlib
