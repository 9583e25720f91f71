// The archive engine library: it registers the 7z format and exactly the
// decoders of the builder's list, it makes the paths of the portable rule,
// and it extracts real archives through the common extraction layer.

#include <Common/Common.h>

#include <Common/MyCom.h>
#include <7zip/Archive/IArchive.h>
#include <7zip/Common/RegisterCodec.h>
#include <7zip/IPassword.h>
#include <7zip/UI/Common/Extract.h>
#include <7zip/UI/Common/ExtractingFilePath.h>
#include <7zip/UI/Common/IFileExtractCallback.h>
#include <7zip/UI/Common/LoadCodecs.h>

#include <gtest/gtest.h>

#include "core/PathRules.h"
#include "core/payload/Decoders.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <string>
#include <vector>

// The engine's codec table, filled by the registration constructors.
extern unsigned g_NumCodecs;
extern const CCodecInfo *g_Codecs[];

namespace {

namespace fs = std::filesystem;

const wchar_t kPassword[] = L"engine-test-password";
// The part of the stub's file in which the archive must begin.
const UInt64 kSignatureSearchLimit = 4u << 20;

// Answers the engine's questions the simplest way: the preset password,
// overwrite everything, and any open or item failure counts.
class TestCallback final :
  public IFolderArchiveExtractCallback,
  public ICryptoGetTextPassword,
  public IExtractCallbackUI,
  public IOpenCallbackUI,
  public CMyUnknownImp
{
  Z7_COM_UNKNOWN_IMP_2(IFolderArchiveExtractCallback, ICryptoGetTextPassword)
  Z7_IFACE_COM7_IMP(IProgress)
  Z7_IFACE_COM7_IMP(IFolderArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(ICryptoGetTextPassword)
  Z7_IFACE_IMP(IExtractCallbackUI)
  Z7_IFACE_IMP(IOpenCallbackUI)

public:
  explicit TestCallback(const wchar_t *password): m_password(password) {}

  HRESULT openResult = S_OK;
  // Behind a filter, the engine reports items from its decoding thread.
  std::atomic<unsigned> failedItems{0};

private:
  const wchar_t *m_password;
};

Z7_COM7F_IMF(TestCallback::SetTotal(UInt64)) { return S_OK; }
Z7_COM7F_IMF(TestCallback::SetCompleted(const UInt64 *)) { return S_OK; }

Z7_COM7F_IMF(TestCallback::AskOverwrite(const wchar_t *, const FILETIME *, const UInt64 *,
    const wchar_t *, const FILETIME *, const UInt64 *, Int32 *answer))
{
  *answer = NOverwriteAnswer::kYesToAll;
  return S_OK;
}

Z7_COM7F_IMF(TestCallback::PrepareOperation(const wchar_t *, Int32, Int32, const UInt64 *))
{
  return S_OK;
}

Z7_COM7F_IMF(TestCallback::MessageError(const wchar_t *))
{
  ++failedItems;
  return S_OK;
}

Z7_COM7F_IMF(TestCallback::SetOperationResult(Int32 opRes, Int32))
{
  if (opRes != NArchive::NExtract::NOperationResult::kOK)
    ++failedItems;
  return S_OK;
}

Z7_COM7F_IMF(TestCallback::CryptoGetTextPassword(BSTR *password))
{
  *password = ::SysAllocString(m_password);
  return *password ? S_OK : E_OUTOFMEMORY;
}

HRESULT TestCallback::BeforeOpen(const wchar_t *, bool) { return S_OK; }

// Passing the result back makes Extract fail on an archive it cannot open;
// returning S_OK here would let it skip the archive and report success.
HRESULT TestCallback::OpenResult(const CCodecs *, const CArchiveLink &, const wchar_t *,
    HRESULT result)
{
  openResult = result;
  return result;
}

HRESULT TestCallback::ThereAreNoFiles() { return S_OK; }
HRESULT TestCallback::ExtractResult(HRESULT result) { return result; }
HRESULT TestCallback::SetPassword(const UString &) { return S_OK; }

HRESULT TestCallback::Open_CheckBreak() { return S_OK; }
HRESULT TestCallback::Open_SetTotal(const UInt64 *, const UInt64 *) { return S_OK; }
HRESULT TestCallback::Open_SetCompleted(const UInt64 *, const UInt64 *) { return S_OK; }
HRESULT TestCallback::Open_Finished() { return S_OK; }

HRESULT TestCallback::Open_CryptoGetTextPassword(BSTR *password)
{
  return CryptoGetTextPassword(password);
}

// Extracts every item of the archive into the folder through the engine's
// Extract; the open types may carry a limit for the signature search.
HRESULT ExtractAll(const fs::path &archive, const fs::path &destination,
    TestCallback &callback, const CObjectVector<COpenType> &types = {})
{
  CCodecs *codecs = new CCodecs;
  CMyComPtr<IUnknown> codecsRef = codecs;
  const HRESULT loaded = codecs->Load();
  if (loaded != S_OK)
    return loaded;

  UStringVector paths;
  paths.Add(UString(fs::absolute(archive).wstring().c_str()));
  UStringVector fullPaths = paths;

  NWildcard::CCensorNode selection;
  NWildcard::CItem everything;
  everything.PathParts.Add(L"*");
  everything.Recursive = true;
  everything.ForFile = true;
  everything.ForDir = true;
  everything.WildcardMatching = true;
  selection.AddItem(true, everything);

  // Full paths and asking before overwriting are the defaults.
  CExtractOptions options;
  options.OutputDir = us2fs(UString((destination.wstring() + L'\\').c_str()));

  UString errorMessage;
  CDecompressStat stat;
  return Extract(codecs, types, CIntVector(), paths, fullPaths, selection, options,
      &callback, &callback, &callback, errorMessage, stat);
}

std::string ReadBytes(const fs::path &file)
{
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::wstring> ListTree(const fs::path &root)
{
  std::vector<std::wstring> names;
  for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root))
    names.push_back(entry.path().lexically_relative(root).generic_wstring()
        + (entry.is_directory() ? L"/" : L""));
  std::sort(names.begin(), names.end());
  return names;
}

// The folder and file names and the bytes of every file match the tree the
// archives were packed from.
void ExpectSameTree(const fs::path &extracted)
{
  const fs::path original = "tree";
  const std::vector<std::wstring> names = ListTree(original);
  ASSERT_FALSE(names.empty());
  ASSERT_EQ(ListTree(extracted), names);
  for (const std::wstring &name : names)
  {
    if (name.back() != L'/')
    {
      EXPECT_TRUE(ReadBytes(original / name) == ReadBytes(extracted / name)) << name;
    }
  }
}

// A fresh folder below the working folder, removed again afterwards.
class ScratchFolder
{
public:
  explicit ScratchFolder(const std::wstring &name): m_path(fs::absolute(L"out") / name)
  {
    fs::remove_all(m_path);
  }
  ~ScratchFolder() { fs::remove_all(m_path); }
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;

  const fs::path &path() const { return m_path; }

private:
  fs::path m_path;
};

std::wstring TestName()
{
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::wstring wide(name.begin(), name.end());
  std::replace(wide.begin(), wide.end(), L'/', L'-');
  return wide;
}

TEST(EngineRegistry, LoadsThe7zFormatOnly)
{
  CCodecs *codecs = new CCodecs;
  CMyComPtr<IUnknown> codecsRef = codecs;
  ASSERT_EQ(codecs->Load(), S_OK);
  ASSERT_EQ(codecs->Formats.Size(), 1u);
  EXPECT_STREQ(codecs->Formats[0].Name.Ptr(), L"7z");
}

// The builder refuses archives by that list: what it lets through, the
// stub decodes.
TEST(EngineRegistry, RegistersExactlyTheListedDecoders)
{
  std::multiset<std::pair<UInt64, std::string>> registered;
  for (unsigned i = 0; i < g_NumCodecs; i++)
  {
    registered.emplace(g_Codecs[i]->Id, g_Codecs[i]->Name);
    EXPECT_NE(g_Codecs[i]->CreateDecoder, nullptr) << g_Codecs[i]->Name;
  }
  std::multiset<std::pair<UInt64, std::string>> listed;
  for (const payload::Decoder &decoder : payload::Decoders())
    listed.emplace(decoder.id, std::string(decoder.name));
  EXPECT_EQ(registered, listed);
}

// Copy and the byte swaps are their own inverse and register one factory
// for both directions; every other codec must come without its encoder.
TEST(EngineRegistry, RegistersNoEncoders)
{
  for (unsigned i = 0; i < g_NumCodecs; i++)
  {
    const CCodecInfo &codec = *g_Codecs[i];
    EXPECT_TRUE(codec.CreateEncoder == nullptr || codec.CreateEncoder == codec.CreateDecoder)
        << codec.Name;
  }
}

// The portable rule gives every name the path the engine itself makes of
// it (full paths into an output folder: not absolute, no empty prefixes).
TEST(EnginePaths, AreThePortableRulesPathsForEveryName)
{
  for (const wchar_t *name :
       {L"docs\\nested\\deep.txt", L"./dir/file", L".", L"a/./b", L"..\\x.txt", L"a\\..\\..\\x.txt",
        L"\\x.txt", L"C:\\x.txt", L"C:x.txt", L"\\\\server\\share\\x.txt", L"\\\\?\\C:\\x", L"a.txt:evil",
        L"a//b", L"dir/", L"", L"...", L"trail. ", L"q?<>|\"*.txt", L"tab\there", L"CON", L"con.txt", L"CON .txt",
        L"CON ", L"CONx", L"nul.tar.gz", L"Aux", L"PRN.", L"COM0", L"com9.log", L"COM10", L"LPT0.txt", L"lpt1 .x",
        L"COM", L"COM\u00b9", L"sub\\COM1\\x", L"\u00e9t\u00e9.txt", L"a\uf05cb.txt"}) {
    for (const bool folder : {false, true}) {
      UStringVector parts;
      SplitPathToParts(UString(name), parts);
      Correct_FsPath(false, false, parts, folder);
      EXPECT_EQ(ExtractedItemPath(name, folder), MakePathFromParts(parts).Ptr()) << name << L" " << folder;
    }
  }
}

class EngineDecoding: public ::testing::TestWithParam<const char *> {};

TEST_P(EngineDecoding, ReproducesThePackedTree)
{
  const std::string method = GetParam();
  const ScratchFolder destination(TestName());
  TestCallback *callback = new TestCallback(kPassword);
  CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;

  ASSERT_EQ(ExtractAll(fs::path("archives") / (method + ".7z"), destination.path(), *callback),
      S_OK);
  EXPECT_EQ(callback->failedItems.load(), 0u);
  ExpectSameTree(destination.path());
}

INSTANTIATE_TEST_SUITE_P(Methods, EngineDecoding,
    ::testing::Values("copy", "lzma", "lzma2-bcj", "bcj2", "ppmd", "delta", "ppc", "ia64",
        "arm", "armt", "sparc", "arm64", "riscv", "swap2", "swap4", "bzip2", "deflate", "deflate64",
        "aes"),
    [](const ::testing::TestParamInfo<const char *> &info) {
      std::string name = info.param;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// Item failures reach the callback only; Extract itself still succeeds.
TEST(EngineExtract, ReportsEncipheredItemsAsFailedWithAWrongPassword)
{
  const ScratchFolder destination(TestName());
  TestCallback *callback = new TestCallback(L"not-the-password");
  CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;

  EXPECT_EQ(ExtractAll(fs::path("archives") / "aes.7z", destination.path(), *callback), S_OK);
  EXPECT_NE(callback->failedItems.load(), 0u);
}

// Outside the system's ANSI code page: only a Unicode build gets it right.
TEST(EngineExtract, ExtractsIntoAFolderWithAGreekName)
{
  const ScratchFolder destination(TestName() + L"-\u03a9\u03bc\u03ad\u03b3\u03b1");
  TestCallback *callback = new TestCallback(kPassword);
  CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;

  ASSERT_EQ(ExtractAll(fs::path("archives") / "lzma2-bcj.7z", destination.path(), *callback),
      S_OK);
  ExpectSameTree(destination.path());
}

// Writes the archive behind the given number of filler bytes, the way it
// follows the stub's image.
fs::path WriteBehindFiller(const fs::path &folder, UInt64 fillerSize)
{
  fs::create_directories(folder);
  const fs::path file = folder / "stub.bin";
  std::ofstream out(file, std::ios::binary);
  out << std::string(fillerSize, '\0') << ReadBytes(fs::path("archives") / "lzma2-bcj.7z");
  return file;
}

CObjectVector<COpenType> LimitedSearch()
{
  COpenType type;
  type.MaxStartOffset_Defined = true;
  type.MaxStartOffset = kSignatureSearchLimit;
  CObjectVector<COpenType> types;
  types.Add(type);
  return types;
}

TEST(EngineOpen, FindsAnArchiveStartingAtTheSearchLimit)
{
  const ScratchFolder scratch(TestName());
  const fs::path file = WriteBehindFiller(scratch.path(), kSignatureSearchLimit);
  TestCallback *callback = new TestCallback(kPassword);
  CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;

  ASSERT_EQ(ExtractAll(file, scratch.path() / "out", *callback, LimitedSearch()), S_OK);
  ExpectSameTree(scratch.path() / "out");
}

TEST(EngineOpen, MissesAnArchiveStartingBeyondTheSearchLimit)
{
  const ScratchFolder scratch(TestName());
  const fs::path file = WriteBehindFiller(scratch.path(), kSignatureSearchLimit + 1);
  TestCallback *callback = new TestCallback(kPassword);
  CMyComPtr<IFolderArchiveExtractCallback> callbackRef = callback;

  EXPECT_EQ(ExtractAll(file, scratch.path() / "out", *callback, LimitedSearch()), S_FALSE);
  EXPECT_EQ(callback->openResult, S_FALSE);
}

}  // namespace
