// Registers the 7z format in place of the engine's own registration unit.
// The handler is the engine's, except that every item answers the current
// time as its modification time: the engine then stamps each file through
// its own output handle as it closes it, and no file needs a second open to
// carry the extraction time.

#include <Common/Common.h>

#include <Common/MyCom.h>
#include <Windows/PropVariant.h>
#include <7zip/Archive/7z/7zHandler.h>
#include <7zip/Common/RegisterArc.h>

#include "setup/extraction/engine/ExtractionTime.h"

namespace {

class CStampingHandler final : public IInArchive, public IArchiveGetRawProps, public CMyUnknownImp {
  Z7_COM_UNKNOWN_IMP_2(IInArchive, IArchiveGetRawProps)
  Z7_IFACE_COM7_IMP(IInArchive)
  Z7_IFACE_COM7_IMP(IArchiveGetRawProps)

 public:
  CStampingHandler() {
    NArchive::N7z::CHandler* handler = new NArchive::N7z::CHandler;
    m_archive = handler;
    m_rawProps = handler;
  }

 private:
  CMyComPtr<IInArchive> m_archive;
  CMyComPtr<IArchiveGetRawProps> m_rawProps;
};

Z7_COM7F_IMF(CStampingHandler::Open(IInStream* stream, const UInt64* maxCheckStartPosition,
                                    IArchiveOpenCallback* openCallback)) {
  return m_archive->Open(stream, maxCheckStartPosition, openCallback);
}

Z7_COM7F_IMF(CStampingHandler::Close()) { return m_archive->Close(); }

Z7_COM7F_IMF(CStampingHandler::GetNumberOfItems(UInt32* numItems)) {
  return m_archive->GetNumberOfItems(numItems);
}

Z7_COM7F_IMF(CStampingHandler::GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value)) {
  if (propID != kpidMTime) return m_archive->GetProperty(index, propID, value);
  NWindows::NCOM::CPropVariant now(ToFileTime(ExtractionTime()));
  return now.Detach(value);
}

Z7_COM7F_IMF(CStampingHandler::Extract(const UInt32* indices, UInt32 numItems, Int32 testMode,
                                       IArchiveExtractCallback* extractCallback)) {
  return m_archive->Extract(indices, numItems, testMode, extractCallback);
}

Z7_COM7F_IMF(CStampingHandler::GetArchiveProperty(PROPID propID, PROPVARIANT* value)) {
  return m_archive->GetArchiveProperty(propID, value);
}

Z7_COM7F_IMF(CStampingHandler::GetNumberOfProperties(UInt32* numProps)) {
  return m_archive->GetNumberOfProperties(numProps);
}

Z7_COM7F_IMF(CStampingHandler::GetPropertyInfo(UInt32 index, BSTR* name, PROPID* propID,
                                               VARTYPE* varType)) {
  return m_archive->GetPropertyInfo(index, name, propID, varType);
}

Z7_COM7F_IMF(CStampingHandler::GetNumberOfArchiveProperties(UInt32* numProps)) {
  return m_archive->GetNumberOfArchiveProperties(numProps);
}

Z7_COM7F_IMF(CStampingHandler::GetArchivePropertyInfo(UInt32 index, BSTR* name, PROPID* propID,
                                                      VARTYPE* varType)) {
  return m_archive->GetArchivePropertyInfo(index, name, propID, varType);
}

Z7_COM7F_IMF(CStampingHandler::GetParent(UInt32 index, UInt32* parent, UInt32* parentType)) {
  return m_rawProps->GetParent(index, parent, parentType);
}

Z7_COM7F_IMF(CStampingHandler::GetRawProp(UInt32 index, PROPID propID, const void** data,
                                          UInt32* dataSize, UInt32* propType)) {
  return m_rawProps->GetRawProp(index, propID, data, dataSize, propType);
}

Z7_COM7F_IMF(CStampingHandler::GetNumRawProps(UInt32* numProps)) {
  return m_rawProps->GetNumRawProps(numProps);
}

Z7_COM7F_IMF(CStampingHandler::GetRawPropInfo(UInt32 index, BSTR* name, PROPID* propID)) {
  return m_rawProps->GetRawPropInfo(index, name, propID);
}

IInArchive* CreateArc() { return new CStampingHandler; }

// Kept one above its first byte until registration, as the engine keeps it:
// the stub's own image must not hold the signature the archive search
// looks for.
Byte g_signature[] = {'7' + 1, 'z', 0xBC, 0xAF, 0x27, 0x1C};

// The engine's flags for 7z: the handler searches for its signature itself.
REGISTER_ARC_V("7z", "7z", nullptr, 7, sizeof(g_signature), g_signature, 0,
               NArcInfoFlags::kFindSignature | NArcInfoFlags::kCTime | NArcInfoFlags::kATime |
                   NArcInfoFlags::kMTime | NArcInfoFlags::kMTime_Default,
               TIME_PREC_TO_ARC_FLAGS_MASK(NFileTimeType::kWindows) |
                   TIME_PREC_TO_ARC_FLAGS_TIME_DEFAULT(NFileTimeType::kWindows),
               CreateArc, nullptr, nullptr)

struct CRegistration {
  CRegistration() {
    g_signature[0]--;
    RegisterArc(&g_ArcInfo);
  }
} g_registration;

}  // namespace
