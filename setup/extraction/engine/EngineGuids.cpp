// Defines the engine's interface identifiers. The engine declares each one
// in its interface headers; this is the single unit that sees those
// declarations after MyInitGuid.h and so emits their definitions.

#include <Common/MyInitGuid.h>

#include <7zip/Archive/IArchive.h>
#include <7zip/ICoder.h>
#include <7zip/IPassword.h>
#include <7zip/IProgress.h>
#include <7zip/IStream.h>
#include <7zip/UI/Common/IFileExtractCallback.h>
